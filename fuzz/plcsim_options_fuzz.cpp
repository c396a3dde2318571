// plcsim's command line, any arguments (the input split at its zero bytes): a usage
// error is told as Linux tools tell it, "plcsim: ..." and the hint to --help, and only
// then; accepted options hold values inside their ranges and plates inside the
// store; a second scan of the same line reads it alike, and "--name=value" reads as
// "--name value" where the name means an option with a value.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "plcsim/command_line.h"
#include "plcsim/options.h"

namespace {

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

struct Outcome {
  bool ok = false;
  std::string options;   // everything the options set, as text
  std::string messages;  // what went to stderr
};

std::string Text(const plcsim::SimOptions& o, const std::string& link, bool help, bool version) {
  const plcsim::SimConfig& c = o.config;
  std::string text =
      "link " + link + " help " + std::to_string(help) + " version " + std::to_string(version) +
      " positions " + std::to_string(c.positions) + " levels " + std::to_string(c.levels) +
      " serial " + std::to_string(c.serialNo) + " 1703 " + std::to_string(c.threePlateRoute) +
      " 3003 " + std::to_string(c.twoCarousels) + " powered " + std::to_string(c.poweredSeconds) +
      " on " + std::to_string(c.onSeconds) + " gate " + std::to_string(c.gateCycles) + " plates";
  for (const plcsim::Slot& slot : c.plates)
    text += " " + std::to_string(slot.position) + "." + std::to_string(slot.level);
  const plcsim::LineFaults& l = o.lineFaults;
  text += " stuck " + std::to_string(o.modelFaults.readyStuck) + " wrong " +
          std::to_string(o.modelFaults.wrongPosition) + " lift " +
          std::to_string(o.modelFaults.liftHit) + " silent " + std::to_string(l.silent) +
          " errors " + std::to_string(l.errorAnswers) + " garbled " + std::to_string(l.garbled) +
          " overlong " + std::to_string(l.overlong) + " late " + std::to_string(l.lateMicros) +
          " gone " + std::to_string(o.goneAfterMicros) + " paced " + std::to_string(o.paced) +
          " active " + std::to_string(o.activated);
  return text;
}

bool InRange(const plcsim::SimOptions& o) {
  const plcsim::SimConfig& c = o.config;
  bool in = c.positions >= 1 && c.positions <= 56 && c.levels >= 1 && c.levels <= 99 &&
            c.serialNo >= 0 && c.serialNo <= 65535 && o.lineFaults.errorAnswers >= 0 &&
            o.lineFaults.errorAnswers <= 1000000 && o.lineFaults.lateMicros >= 0 &&
            o.lineFaults.lateMicros <= 600000000 && o.goneAfterMicros >= -1 &&
            o.goneAfterMicros <= 1000000000000;
  for (const plcsim::Slot& slot : c.plates)
    in = in && slot.position >= 1 && slot.position <= c.positions && slot.level >= 1 &&
         slot.level <= c.levels;
  return in;
}

// Parses the arguments as plcsim does, its messages caught.
Outcome Parse(std::vector<std::string> args) {
  std::string link;
  bool help = false, version = false;
  const plcsim::ProgramOption own[] = {
      {"link", &link, nullptr}, {"help", nullptr, &help}, {"version", nullptr, &version}};
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  char* const typed = argv[0];
  plcsim::SimOptions sim;
  int simGiven = 0;

  char* caught = nullptr;
  size_t length = 0;
  FILE* const console = stderr;
  stderr = open_memstream(&caught, &length);
  const bool ok = plcsim::ParseCommandLine(static_cast<int>(args.size()), argv.data(), "plcsim",
                                           own, sim, simGiven);
  std::fclose(stderr);
  stderr = console;
  Outcome outcome{ok, Text(sim, link, help, version), std::string(caught, length)};
  std::free(caught);

  Check(argv[0] == typed);
  if (ok) {
    Check(InRange(sim));
    Check(link.empty() || link[0] != '-');
  }
  return outcome;
}

void CheckMessages(const Outcome& outcome) {
  if (outcome.ok) {
    Check(outcome.messages.empty());
    return;
  }
  // One message (an argument quoted in it may hold line ends of its own), then the hint.
  constexpr std::string_view kHint = "\nTry 'plcsim --help' for more information.\n";
  const std::string_view messages = outcome.messages;
  Check(messages.starts_with("plcsim: ") && messages.ends_with(kHint));
}

// Whether "--name" names an option that takes a value: exactly, or as the beginning of
// the one option it can mean.
bool TakesValue(std::string_view name) {
  struct Named {
    std::string_view name;
    bool value;
  };
  std::vector<Named> all = {{"link", true}, {"help", false}, {"version", false}};
  for (const plcsim::SimOption& option : plcsim::kSimOptions)
    if (option.name) all.push_back({option.name, option.value != nullptr});
  const Named* meant = nullptr;
  int meaning = 0;
  for (const Named& option : all) {
    if (option.name == name) return option.value;
    if (option.name.starts_with(name)) meant = &option, ++meaning;
  }
  return meaning == 1 && meant->value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args = {"./plcsim"};
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  for (size_t at = 0; at < input.size() && args.size() < 24;) {
    const size_t end = std::min(input.find('\0', at), input.size());
    args.emplace_back(input.substr(at, end - at));
    at = end + 1;
  }

  const Outcome first = Parse(args);
  CheckMessages(first);
  const Outcome again = Parse(args);
  Check(again.ok == first.ok && again.options == first.options && again.messages == first.messages);

  std::vector<std::string> split;
  for (const std::string& arg : args) {
    const size_t equals = arg.find('=');
    if (arg.starts_with("--") && equals != std::string::npos && equals > 2 &&
        TakesValue(std::string_view(arg).substr(2, equals - 2))) {
      split.push_back(arg.substr(0, equals));
      split.push_back(arg.substr(equals + 1));
    } else {
      split.push_back(arg);
    }
  }
  const Outcome parted = Parse(split);
  CheckMessages(parted);
  Check(parted.ok == first.ok && (!first.ok || parted.options == first.options));
  return 0;
}
