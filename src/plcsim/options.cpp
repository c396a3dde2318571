#include "plcsim/options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string_view>

namespace plcsim {

const char kSimOptionsHelp[] =
    "  Store:\n"
    "  --positions N     carousel positions, 1..56 (default 9)\n"
    "  --levels N        levels per position, 1..99 (default 10)\n"
    "  --serial N        serial number, 0..65535 (default 1234)\n"
    "  --plate P.L       a plate in slot P.L; repeatable; the first replaces the\n"
    "                    default single plate in 1.1\n"
    "  --no-plates       start with an empty store\n"
    "  --three-plate     three-plate route variant (relay 1703 on)\n"
    "  --two-carousels   two carousels (relay 3003 on)\n"
    "  --inactive        carousel activation (relay 1801) off at start; a DM0\n"
    "                    write turns nothing until ST 1801\n"
    "  Operating counters at start (they go on counting as the store works):\n"
    "  --hours H         hours powered on, DM110 (default 812); DM119/120 become\n"
    "                    H hours in seconds\n"
    "  --powered S       seconds powered on, DM119/120; DM110 its whole hours\n"
    "  --on-time S       seconds in motion, DM117/118 (default 1082040)\n"
    "  --gate-cycles N   gate cycles, DM111/112 (default 23456); a figure of two\n"
    "                    words is high * 65535 + low: 65540 is 1 and 5\n"
    "  Faults:\n"
    "  --silent          the controller never answers\n"
    "  --error-answers K the first K requests are answered with an error\n"
    "  --garbled         answers are meaningless bytes\n"
    "  --overlong        answers are longer than 50 bytes\n"
    "  --late MS         every answer comes MS milliseconds late (55 misses the read)\n"
    "  --ready-stuck     Ready never reads 1\n"
    "  --wrong-position  the carousel reports position 1 on its way\n"
    "  --lift-hit        the lift runs onto its initialisation switch\n"
    "  --gone-after S    the line goes away S seconds after serving starts\n"
    "  --paced           answer at the pace of 9600 baud, 11 bits per character\n";

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

bool ParseSeconds(const char* text, int64_t& micros) {
  char* end = nullptr;
  double seconds = std::strtod(text, &end);
  if (end == text || *end != '\0' || !std::isfinite(seconds) || seconds < 0 || seconds > 1e6)
    return false;
  micros = static_cast<int64_t>(seconds * 1e6);
  return true;
}

bool ParseSlot(const char* text, Slot& slot) {
  std::string_view s = text;
  size_t dot = s.find('.');
  if (dot == std::string_view::npos) return false;
  std::string position(s.substr(0, dot)), level(s.substr(dot + 1));
  long p = 0, l = 0;
  if (!ParseInt(position.c_str(), 1, 99, p) || !ParseInt(level.c_str(), 1, 99, l)) return false;
  slot = Slot{static_cast<int>(p), static_cast<int>(l)};
  return true;
}

// Options that take a number: name, range, and where it goes.
bool TakeNumber(std::string_view name, const char* value, SimOptions& o, std::string& error) {
  long n = 0;
  auto number = [&](long min, long max) {
    if (ParseInt(value, min, max, n)) return true;
    error = std::string(name) + " wants a whole number from " + std::to_string(min) + " to " +
            std::to_string(max) + ", not '" + value + "'";
    return false;
  };
  if (name == "--positions")
    return number(1, 56) && (o.config.positions = static_cast<int>(n), true);
  if (name == "--levels") return number(1, 99) && (o.config.levels = static_cast<int>(n), true);
  if (name == "--serial")
    return number(0, 65535) && (o.config.serialNo = static_cast<int>(n), true);
  if (name == "--error-answers")
    return number(0, 1000000) && (o.lineFaults.errorAnswers = static_cast<int>(n), true);
  if (name == "--late") return number(0, 600000) && (o.lineFaults.lateMicros = n * 1000, true);
  if (name == "--hours")
    return number(0, 65535) && (o.config.poweredSeconds = static_cast<uint32_t>(n) * 3600, true);
  if (name == "--powered")
    return number(0, kMaxPoweredSeconds) &&
           (o.config.poweredSeconds = static_cast<uint32_t>(n), true);
  if (name == "--on-time")
    return number(0, kMaxPairValue) && (o.config.onSeconds = static_cast<uint32_t>(n), true);
  if (name == "--gate-cycles")
    return number(0, kMaxPairValue) && (o.config.gateCycles = static_cast<uint32_t>(n), true);
  if (name == "--gone-after") {
    if (ParseSeconds(value, o.goneAfterMicros)) return true;
    error = std::string("--gone-after wants seconds, not '") + value + "'";
    return false;
  }
  if (name == "--plate") {
    Slot slot;
    if (!ParseSlot(value, slot)) {
      error =
          std::string("--plate wants a slot as position.level, such as 1.1, not '") + value + "'";
      return false;
    }
    if (!o.platesGiven) o.config.plates.clear();
    o.platesGiven = true;
    o.config.plates.push_back(slot);
    return true;
  }
  return false;
}

bool TakesValue(std::string_view name) {
  return name == "--positions" || name == "--levels" || name == "--serial" || name == "--plate" ||
         name == "--error-answers" || name == "--late" || name == "--gone-after" ||
         name == "--hours" || name == "--powered" || name == "--on-time" || name == "--gate-cycles";
}

}  // namespace

OptionResult TakeSimOption(int argc, char** argv, int& i, SimOptions& o, std::string& error) {
  std::string_view arg = argv[i];
  if (TakesValue(arg)) {
    if (i + 1 >= argc) {
      error = std::string(arg) + " wants a value";
      return OptionResult::kBad;
    }
    if (!TakeNumber(arg, argv[i + 1], o, error)) return OptionResult::kBad;
    ++i;
    return OptionResult::kTaken;
  }
  bool* flag = arg == "--three-plate"      ? &o.config.threePlateRoute
               : arg == "--two-carousels"  ? &o.config.twoCarousels
               : arg == "--silent"         ? &o.lineFaults.silent
               : arg == "--garbled"        ? &o.lineFaults.garbled
               : arg == "--overlong"       ? &o.lineFaults.overlong
               : arg == "--ready-stuck"    ? &o.modelFaults.readyStuck
               : arg == "--wrong-position" ? &o.modelFaults.wrongPosition
               : arg == "--lift-hit"       ? &o.modelFaults.liftHit
               : arg == "--paced"          ? &o.paced
                                           : nullptr;
  if (flag) {
    *flag = true;
    return OptionResult::kTaken;
  }
  if (arg == "--inactive") {
    o.activated = false;
    return OptionResult::kTaken;
  }
  if (arg == "--no-plates") {
    o.config.plates.clear();
    o.platesGiven = true;
    return OptionResult::kTaken;
  }
  return OptionResult::kNotOurs;
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
