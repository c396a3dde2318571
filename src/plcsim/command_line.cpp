#include "plcsim/command_line.h"

#include <getopt.h>

#include <cstdio>
#include <vector>

namespace plcsim {

namespace {

// getopt_long reports an option by its code: the program's own from kFirstOwnCode on,
// the store's from kFirstSimCode on, both clear of its own '?'.
constexpr int kFirstOwnCode = 256;
constexpr int kFirstSimCode = 1024;

std::vector<option> OptionTable(std::span<const ProgramOption> own) {
  std::vector<option> table;
  for (size_t i = 0; i < own.size(); ++i)
    table.push_back({own[i].name, own[i].value ? required_argument : no_argument, nullptr,
                     kFirstOwnCode + static_cast<int>(i)});
  for (size_t i = 0; i < kSimOptions.size(); ++i)
    if (kSimOptions[i].name)
      table.push_back({kSimOptions[i].name, kSimOptions[i].value ? required_argument : no_argument,
                       nullptr, kFirstSimCode + static_cast<int>(i)});
  table.push_back({nullptr, 0, nullptr, 0});
  return table;
}

void TryHelp(const char* program) {
  std::fprintf(stderr, "Try '%s --help' for more information.\n", program);
}

// Takes the option getopt_long reported as `code` with its `value`; false after printing
// what was wrong.
bool TakeOption(int code, const char* value, const char* program,
                std::span<const ProgramOption> own, SimOptions& sim, int& simGiven) {
  if (code < kFirstOwnCode) {  // getopt_long has printed its message
    TryHelp(program);
    return false;
  }
  const bool ours = code >= kFirstSimCode;
  const std::string name =
      ours ? kSimOptions[code - kFirstSimCode].name : own[code - kFirstOwnCode].name;
  if (value && *value == '\0') {
    UsageError(program, "option '--" + name + "' wants a value, not an empty one");
    return false;
  }
  // The programs' own values are paths: "--link --silent" lacks its path rather than
  // naming a file "--silent" (./-name still names one).
  if (!ours && value && *value == '-') {
    UsageError(program, "option '--" + name + "' needs a path, not the option '" + value + "'");
    return false;
  }
  if (!ours) {
    const ProgramOption& option = own[code - kFirstOwnCode];
    if (option.value) *option.value = value;
    if (option.given) *option.given = true;
    return true;
  }
  ++simGiven;
  std::string wanted;
  if (kSimOptions[code - kFirstSimCode].take(value, sim, wanted)) return true;
  UsageError(program, "invalid value '" + std::string(value) + "' for '--" + name + "': " + wanted +
                          " is wanted");
  return false;
}

}  // namespace

int UsageError(const char* program, const std::string& message) {
  std::fprintf(stderr, "%s: %s\n", program, message.c_str());
  TryHelp(program);
  return 2;
}

bool ParseCommandLine(int argc, char** argv, const char* program,
                      std::span<const ProgramOption> own, SimOptions& sim, int& simGiven) {
  const std::vector<option> table = OptionTable(own);
  // getopt_long names the program by argv[0] in its messages; we name it by its own name.
  char* const typedName = argv[0];
  argv[0] = const_cast<char*>(program);
  optind = 0;  // a fresh scan, also when called again
  // a fresh scan, also when called again
  opterr = 1;
  bool ok = true;
  for (int code; ok && (code = getopt_long(argc, argv, "", table.data(), nullptr)) != -1;)
    ok = TakeOption(code, optarg, program, own, sim, simGiven);
  argv[0] = typedName;
  if (!ok) return false;
  if (optind < argc) {
    UsageError(program, "unexpected argument '" + std::string(argv[optind]) + "'");
    return false;
  }
  if (std::string error; !CheckSimOptions(sim, error)) {
    UsageError(program, error);
    return false;
  }
  return true;
}

}  // namespace plcsim
