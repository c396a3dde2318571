// Command-line options of the simulated plate store, shared by plcsim and pxn32 --sim:
// geometry, plates, storage variants and faults.
#pragma once
#include <cstdint>
#include <string>

#include "plcsim/line.h"
#include "plcsim/model.h"

namespace plcsim {

struct SimOptions {
  SimConfig config;
  ModelFaults modelFaults;
  LineFaults lineFaults;
  int64_t goneAfterMicros = -1;  // the line goes away this long after serving starts
  bool paced = false;
  bool activated = true;     // carousel activation (relay 1801) on at start
  bool platesGiven = false;  // the first --plate replaces the default plate in 1.1
};

enum class OptionResult { kTaken, kNotOurs, kBad };

// Takes the simulator option at argv[i], with its value (then i is left on the value).
// kNotOurs leaves i alone, so a program can mix these with options of its own; kBad
// sets `error`.
OptionResult TakeSimOption(int argc, char** argv, int& i, SimOptions& options, std::string& error);

// Checks what only the whole set can tell (plates inside the store); false with `error`.
bool CheckSimOptions(const SimOptions& options, std::string& error);

// Sets up `model` and `line` from the options for serving that starts at `nowMicros`.
void ApplySimOptions(const SimOptions& options, PlcModel& model, SimLine& line, int64_t nowMicros);

// One line per option, indented by two blanks, for a program's --help.
extern const char kSimOptionsHelp[];

}  // namespace plcsim
