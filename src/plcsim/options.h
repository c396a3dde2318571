// Command-line options of the simulated plate store, shared by plcsim and pxn32 --sim:
// geometry, plates, storage variants and faults. One table lists them, with their help;
// the programs read them with getopt_long beside options of their own (command_line.h).
#pragma once
#include <cstdint>
#include <span>
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

// One option of the simulated store. `take` gets the value (null for a switch); for a
// value it cannot use it returns false and says in `wanted` what it wants instead.
struct SimOption {
  const char* name;   // without its dashes; null for a heading line of the help
  const char* value;  // the value's name in the help; null for a switch
  const char* help;   // more lines after a '\n'
  bool (*take)(const char* value, SimOptions& options, std::string& wanted);
};

extern const std::span<const SimOption> kSimOptions;

// Checks what only the whole set can tell (plates inside the store); false with `error`.
bool CheckSimOptions(const SimOptions& options, std::string& error);

// Sets up `model` and `line` from the options for serving that starts at `nowMicros`.
void ApplySimOptions(const SimOptions& options, PlcModel& model, SimLine& line, int64_t nowMicros);

// The help of every store option, one per line indented by two blanks, under headings.
std::string SimOptionsHelp();

}  // namespace plcsim
