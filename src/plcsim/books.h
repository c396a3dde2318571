// The simulated store's books in one line, for the programs to print when they stop:
// where every plate is, how many moves were refused, how many plates went missing.
#pragma once
#include <string>

#include "plcsim/model.h"

namespace plcsim {

// "simulated store: plates at 1.1 1.2 handler, moves refused 0, plates lost 0"
std::string BooksLine(const PlcModel& model);

}  // namespace plcsim
