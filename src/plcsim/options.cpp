#include "plcsim/options.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace plcsim {

namespace {

// The largest figure a pair of words holds (65535 * 65535 + 65534), and the powered time
// whose whole hours still fit DM110.
constexpr long kMaxPairValue = 4294901759;
constexpr long kMaxPoweredSeconds = 65535L * 3600 + 3599;

bool ParseInt(const char* text, long min, long max, long& value) {
  char* end = nullptr;
  errno = 0;
  value = std::strtol(text, &end, 10);
  return errno == 0 && end != text && *end == '\0' && value >= min && value <= max;
}

// A whole number from min to max into `target`.
template <class T>
bool Whole(const char* text, long min, long max, T& target, std::string& wanted) {
  long value = 0;
  if (ParseInt(text, min, max, value)) {
    target = static_cast<T>(value);
    return true;
  }
  wanted = "a whole number from " + std::to_string(min) + " to " + std::to_string(max);
  return false;
}

bool Seconds(const char* text, int64_t& micros, std::string& wanted) {
  char* end = nullptr;
  double seconds = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(seconds) || seconds < 0 || seconds > 1e6) {
    wanted = "seconds, from 0 to 1000000";
    return false;
  }
  micros = static_cast<int64_t>(seconds * 1e6);
  return true;
}

bool Plate(const char* text, SimOptions& o, std::string& wanted) {
  std::string_view s = text;
  size_t dot = s.find('.');
  long p = 0, l = 0;
  if (dot == std::string_view::npos || !ParseInt(std::string(s.substr(0, dot)).c_str(), 1, 99, p) ||
      !ParseInt(std::string(s.substr(dot + 1)).c_str(), 1, 99, l)) {
    wanted = "a slot as position.level, such as 1.1";
    return false;
  }
  if (!o.platesGiven) o.config.plates.clear();
  o.platesGiven = true;
  o.config.plates.push_back(Slot{static_cast<int>(p), static_cast<int>(l)});
  return true;
}

using W = std::string;

// A switch sets its flag and returns true; an option with a value takes it or says what
// it wants instead.
// clang-format off
const SimOption kTable[] = {
    {nullptr, nullptr, "Store:", nullptr},
    {"positions", "N", "carousel positions, 1..56 (default 9)",
     [](const char* v, SimOptions& o, W& w) { return Whole(v, 1, 56, o.config.positions, w); }},
    {"levels", "N", "levels per position, 1..99 (default 10)",
     [](const char* v, SimOptions& o, W& w) { return Whole(v, 1, 99, o.config.levels, w); }},
    {"serial", "N", "serial number, 0..65535 (default 1234)",
     [](const char* v, SimOptions& o, W& w) { return Whole(v, 0, 65535, o.config.serialNo, w); }},
    {"plate", "P.L", "a plate in slot P.L; repeatable; the first replaces the\n"
                     "default single plate in 1.1", Plate},
    {"no-plates", nullptr, "start with an empty store",
     [](const char*, SimOptions& o, W&) { o.config.plates.clear(); return o.platesGiven = true; }},
    {"three-plate", nullptr, "three-plate route variant (relay 1703 on)",
     [](const char*, SimOptions& o, W&) { return o.config.threePlateRoute = true; }},
    {"two-carousels", nullptr, "two carousels (relay 3003 on)",
     [](const char*, SimOptions& o, W&) { return o.config.twoCarousels = true; }},
    {"inactive", nullptr, "carousel activation (relay 1801) off at start; a DM0\n"
                          "write turns nothing until ST 1801",
     [](const char*, SimOptions& o, W&) { o.activated = false; return true; }},
    {nullptr, nullptr, "Operating counters at start (they go on counting as the store works):",
     nullptr},
    {"hours", "H", "hours powered on, DM110 (default 812); DM119/120 become\n"
                   "H hours in seconds",
     [](const char* v, SimOptions& o, W& w) {
       long h = 0;
       return Whole(v, 0, 65535, h, w) && (o.config.poweredSeconds = static_cast<uint32_t>(h) * 3600, true); }},
    {"powered", "S", "seconds powered on, DM119/120; DM110 its whole hours",
     [](const char* v, SimOptions& o, W& w) {
       return Whole(v, 0, kMaxPoweredSeconds, o.config.poweredSeconds, w); }},
    {"on-time", "S", "seconds in motion, DM117/118 (default 1082040)",
     [](const char* v, SimOptions& o, W& w) { return Whole(v, 0, kMaxPairValue, o.config.onSeconds, w); }},
    {"gate-cycles", "N", "gate cycles, DM111/112 (default 23456); a figure of two\n"
                         "words is high * 65535 + low: 65540 is 1 and 5",
     [](const char* v, SimOptions& o, W& w) {
       return Whole(v, 0, kMaxPairValue, o.config.gateCycles, w); }},
    {nullptr, nullptr, "Faults:", nullptr},
    {"silent", nullptr, "the controller never answers",
     [](const char*, SimOptions& o, W&) { return o.lineFaults.silent = true; }},
    {"error-answers", "K", "the first K requests are answered with an error",
     [](const char* v, SimOptions& o, W& w) {
       return Whole(v, 0, 1000000, o.lineFaults.errorAnswers, w); }},
    {"garbled", nullptr, "answers are meaningless bytes",
     [](const char*, SimOptions& o, W&) { return o.lineFaults.garbled = true; }},
    {"overlong", nullptr, "answers are longer than 50 bytes",
     [](const char*, SimOptions& o, W&) { return o.lineFaults.overlong = true; }},
    {"late", "MS", "every answer comes MS milliseconds late (55 misses the read)",
     [](const char* v, SimOptions& o, W& w) {
       long ms = 0;
       return Whole(v, 0, 600000, ms, w) && (o.lineFaults.lateMicros = ms * 1000, true); }},
    {"ready-stuck", nullptr, "Ready never reads 1",
     [](const char*, SimOptions& o, W&) { return o.modelFaults.readyStuck = true; }},
    {"wrong-position", nullptr, "the carousel reports position 1 on its way",
     [](const char*, SimOptions& o, W&) { return o.modelFaults.wrongPosition = true; }},
    {"lift-hit", nullptr, "the lift runs onto its initialisation switch",
     [](const char*, SimOptions& o, W&) { return o.modelFaults.liftHit = true; }},
    {"refuse-one-in", "N", "about one move in N that could be made is refused at\n"
                           "random, as a real store now and then refuses one",
     [](const char* v, SimOptions& o, W& w) {
       return Whole(v, 0, 1000000, o.modelFaults.refuseOneIn, w); }},
    {"reset-after", "S", "an operator at the store resets a standing error S\n"
                         "seconds after it arose (without: it stands until\n"
                         "System Reset, relay 1900)",
     [](const char* v, SimOptions& o, W& w) {
       return Seconds(v, o.modelFaults.operatorResetMicros, w); }},
    {"gone-after", "S", "the line goes away S seconds after serving starts",
     [](const char* v, SimOptions& o, W& w) { return Seconds(v, o.goneAfterMicros, w); }},
    {"paced", nullptr, "answer at the pace of 9600 baud, 11 bits per character",
     [](const char*, SimOptions& o, W&) { return o.paced = true; }},
};
// clang-format on

}  // namespace

const std::span<const SimOption> kSimOptions = kTable;

std::string SimOptionsHelp() {
  constexpr size_t kHelpColumn = 20;  // where the help texts start
  std::string help;
  for (const SimOption& option : kSimOptions) {
    if (!option.name) {
      help += std::string("  ") + option.help + "\n";
      continue;
    }
    std::string line = std::string("  --") + option.name;
    if (option.value) line += std::string(" ") + option.value;
    line.resize(std::max(line.size() + 1, kHelpColumn), ' ');
    for (std::string_view text = option.help;;) {
      size_t end = text.find('\n');
      line += std::string(text.substr(0, end)) + "\n";
      if (end == std::string_view::npos) break;
      text.remove_prefix(end + 1);
      line += std::string(kHelpColumn, ' ');
    }
    help += line;
  }
  return help;
}

bool CheckSimOptions(const SimOptions& o, std::string& error) {
  for (const Slot& slot : o.config.plates) {
    if (slot.position > o.config.positions || slot.level > o.config.levels) {
      error = "--plate " + std::to_string(slot.position) + "." + std::to_string(slot.level) +
              " lies outside a store of " + std::to_string(o.config.positions) + " positions and " +
              std::to_string(o.config.levels) + " levels";
      return false;
    }
  }
  return true;
}

void ApplySimOptions(const SimOptions& o, PlcModel& model, SimLine& line, int64_t nowMicros) {
  model = PlcModel(o.config);
  model.faults = o.modelFaults;
  line.faults = o.lineFaults;
  line.faults.goneAtMicros = o.goneAfterMicros >= 0 ? nowMicros + o.goneAfterMicros : -1;
  line.paced = o.paced;
  // A store that is switched on and in service: the carousel is activated, so that a
  // DM0 written from the direct-command screen turns it at once.
  if (o.activated) model.Handle("ST 1801", nowMicros);
}

}  // namespace plcsim
