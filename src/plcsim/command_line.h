// The command lines of plcsim and pxn32: getopt_long over a program's own options and
// the simulated store's, so that both programs read the store's options alike. Long
// options only, as "--name value" or "--name=value", unique prefixes accepted.
#pragma once
#include <span>
#include <string>

#include "plcsim/options.h"

namespace plcsim {

// One of a program's own options: its value, a path that doesn't begin with '-', goes
// to `value` (null for a switch), and `given` (if not null) is set when it appears.
struct ProgramOption {
  const char* name;
  std::string* value;
  bool* given;
};

// Parses argv; the store's options go into `sim` and are counted in `simGiven`. Usage
// errors are printed to stderr as Linux tools print them ("program: ...", then "Try
// 'program --help' for more information."); returns false after one.
bool ParseCommandLine(int argc, char** argv, const char* program,
                      std::span<const ProgramOption> own, SimOptions& sim, int& simGiven);

// Prints a usage error as ParseCommandLine does and returns the exit code for it, 2.
int UsageError(const char* program, const std::string& message);

}  // namespace plcsim
