// Bad entries at every prompt of the program: an empty line, letters, a sign alone, a
// number with text after it, numbers beyond 32 bits, a line of 300 characters, control
// keys, Esc and an arrow key. Each prompt takes them by its own rule, seen on the screen,
// on the line and in the program's state; none crashes, hangs, or turns a number that
// does not fit into another one.
#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "PXN32_00/all_slots.h"
#include "PXN32_00/main_menu.h"
#include "PXN32_00/random_access.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

using namespace std::string_literals;
int lastExitCode = -1;

class BadInput : public VirtualWorld {
 public:
  using VirtualWorld::keys;
  using VirtualWorld::RowTrim;
  using VirtualWorld::ScreenText;
  using VirtualWorld::Sent;
  // A fresh store and program on port 1, 9 positions and 10 levels known, no key left.
  void Fresh(const plcsim::SimConfig& config = {}) {
    clock.SetLimit(clock.NowMicros() + 3600 * kSecond);
    keys.onPresent = nullptr;
    while (keys.Pending()) keys.WaitKey(-1), keys.TakeKey();
    ResetProgramGlobals();
    Configure(config);
    line.ClearWire();
    OpenSimPort();
    PositionCount = 9, LevelCount = 10;
    FullWindow(), TextBackground(7), TextColor(1), ClrScr();
    shown.clear(), last.clear();
    keys.onPresent = [this](const console::Screen& s) { Watch(s); };
    clock.SetLimit(clock.NowMicros() + 3600 * kSecond);
  }
  // Types `script` ('~' Esc, '^' one second later, '_' twenty) and runs `screen`. A key
  // wait that no key ends, or an hour of virtual time, fails the row.
  bool Run(void (*screen)(), const std::string& script) {
    int64_t gap = 0;
    for (char k : script) {
      if (k == '_' || k == '^') {
        gap += k == '_' ? 20 * kSecond : kSecond;
      } else {
        keys.Key(k == '~' ? kKeyEsc : static_cast<unsigned char>(k), gap);
        gap = 0;
      }
    }
    try {
      screen();
      return true;
    } catch (const base::VirtualTimeExceeded& e) {
      if (pausesRunOut) return true;  // a pause as long as entered outlasts the hour
      ADD_FAILURE() << e.what();
      return false;
    } catch (const std::exception& e) {
      ADD_FAILURE() << e.what();
      return false;
    }
  }

  bool Showed(const std::string& text) const {
    return std::ranges::any_of(
        shown, [&](const auto& s) { return s.second.find(text) != std::string::npos; });
  }
  // The first text shown on `row`, or the last one drawn there.
  std::string FirstOnRow(int row) const {
    for (const auto& [r, text] : shown)
      if (r == row) return text;
    return RowTrim(row);
  }
  int Count(const std::string& request) const { return std::ranges::count(Sent(), request); }
  // The n-th request that starts with `prefix`, without its CR.
  std::string NthSent(const std::string& prefix, int n = 1) const {
    for (const std::string& r : Sent())
      if (r.starts_with(prefix) && --n == 0) return r.substr(0, r.size() - 1);
    return "none";
  }
  // The requests other than reads (or other than the status bar's), each once, as
  // sent without the final CR.
  std::string Commands(bool withReads = false) const {
    std::vector<std::string> out;
    for (const std::string& r : Sent())
      if (withReads ? r != "RD DM200\r" && r != "RD 1915\r" : !r.starts_with("RD "))
        if (std::ranges::find(out, r) == out.end()) out.push_back(r);
    std::string text;
    for (const std::string& r : out)
      text += (text.empty() ? "" : " ") + Short(r.substr(0, r.size() - 1));
    return text.empty() ? "nothing sent" : text;
  }
  // Tenths of a second from the end of the first `request` to the next one (or to the
  // end of the run), "10 s or more" from there.
  std::string SpanAfter(const std::string& request) {
    const auto& wire = line.Wire();
    for (size_t i = 0; i < wire.size(); ++i)
      if (wire[i].bytes == request)
        return Span(
            ((i + 1 < wire.size() ? wire[i + 1].at : clock.NowMicros()) - wire[i].at - 55000) /
            100000);
    return "never sent";
  }
  static std::string Span(int64_t tenths) {
    return tenths >= 100 ? "10 s or more" : FixedText(tenths / 10.0, 0, 1) + " s";
  }
  // A long text by its start and its length.
  static std::string Short(const std::string& text) {
    return text.size() <= 20
               ? Escaped(text)
               : Escaped(text.substr(0, 20)) + "... (" + std::to_string(text.size()) + ")";
  }

  std::vector<std::pair<int, std::string>> shown;  // every row text drawn, in order
  bool pausesRunOut = false;

 private:
  void Watch(const console::Screen& s) {
    last.resize(static_cast<size_t>(s.Rows()) + 1);
    for (int row = 1; row <= s.Rows(); ++row) {
      std::string text = s.RowText(row);
      text.erase(text.find_last_not_of(' ') + 1);
      std::string& before = last[static_cast<size_t>(row)];
      if (text != before && !text.empty()) shown.emplace_back(row, text);
      before = text;
    }
  }
  std::vector<std::string> last;
};

// ---- Number prompts --------------------------------------------------------------------
// One whole number a line: blanks before it and anything after a blank are dropped, "$" is
// hexadecimal with the top bit as the sign; an empty line waits for the next one; anything
// else, or a number beyond 32 bits, shows "Invalid numeric input" and asks again. The line
// editor keeps no control key but Esc, which takes back what was typed on the line.
enum class Reads { kAskedAgain, kNextLine, kValue };
struct NumberEntry {
  const char* name;
  std::string keys;
  Reads reads;
  int32_t value = 0;
};
const NumberEntry kNumberEntries[] = {
    {"empty line", "\r", Reads::kNextLine},
    {"letters", "abc\r", Reads::kAskedAgain},
    {"minus alone", "-\r", Reads::kAskedAgain},
    {"plus alone", "+\r", Reads::kAskedAgain},
    {"text after the digits", "12abc\r", Reads::kAskedAgain},
    {"2^31", "2147483648\r", Reads::kAskedAgain},
    {"-2^31 - 1", "-2147483649\r", Reads::kAskedAgain},
    {"300 digits", std::string(300, '9') + "\r", Reads::kAskedAgain},
    {"Ctrl-A alone", "\x01\r", Reads::kNextLine},
    {"DEL", "\x7f\r", Reads::kAskedAgain},
    {"Esc after digits", "12\x1b", Reads::kNextLine},
    {"tab alone", "\t\r", Reads::kNextLine},
    {"tab between digits", "1\t2\r", Reads::kValue, 12},
    {"$FFFFFFFF", "$FFFFFFFF\r", Reads::kValue, -1},
    {"2^31 - 1", "2147483647\r", Reads::kValue, INT32_MAX},
    {"-2^31", "-2147483648\r", Reads::kValue, INT32_MIN},
    {"text after a blank", "12 abc\r", Reads::kValue, 12},
};

struct NumberPrompt {
  const char* prompt;
  void (*screen)();
  const char* before;                    // keys up to the prompt
  const char* fallback;                  // a good entry after each one: taken when the entry is not
  const char* after;                     // keys to the end of the screen
  std::string (*expect)(int32_t taken);  // what the screen makes of the number taken
  std::string (*seen)(BadInput&, int32_t taken);
  const char* refused = nullptr;  // what an entry that is no number does, if not asked again
};

std::string Word(const char* command, int32_t v) {
  return command + std::to_string(static_cast<uint16_t>(v));  // 16 bits go out
}
std::string RandomWaits(BadInput&, int32_t) {
  return MaxRandomWait > 0 ? "random wait up to " + std::to_string(MaxRandomWait) + " s"
                           : "fixed wait " + std::to_string(FixedWait) + " s";
}
std::string Clamped(int32_t v, const char* what) {
  return what + std::to_string(std::clamp(v, 1, 10));
}
// The carousel test draws its pauses from 0 .. R and counts errors only with R at 0.
std::string PauseRange(int32_t r) {
  return std::string(r == 0 ? "errors counted" : "no errors column") + ", pauses within 0.." +
         std::to_string(std::max(r, 0));
}
std::string CarouselCycles(BadInput& w, int32_t r) {
  bool errors = true;
  int64_t longest = 0;
  for (const auto& [row, text] : w.shown)
    if (text.find(" t1:") != std::string::npos) {
      errors &= text.find(" Ers: ") != std::string::npos;
      longest = std::max<int64_t>(longest, std::stoll(text.substr(text.find(" wt: ") + 5)));
    }
  return std::string(errors ? "errors counted" : "no errors column") + ", pauses within 0.." +
         std::to_string(longest <= std::max(r, 0) ? std::max(r, 0) : longest);
}
const auto kRun = [] { lastExitCode = RunProgram(); };
std::string PortAndExit(BadInput& w, int32_t) {
  if (lastExitCode == 1 && w.ScreenText().find("Invalid numeric input") != std::string::npos)
    return "program ends: Invalid numeric input";
  return "port " + std::to_string(PortNo) + ", exit " + std::to_string(lastExitCode);
}
const auto kAskQuit = [] { AskQuit(); };

// clang-format off
const NumberPrompt kNumberPrompts[] = {
    // A port that can't be opened is reported and the program goes on without a line.
    {"Enter Port Number to Tavomir [1,2] ", kRun, "", "1\r", "Tom\r^\r^0\r",
     [](int32_t v) { return "port " + std::to_string(v) + ", exit 0"; }, PortAndExit,
     "program ends: Invalid numeric input"},
    {"Enter Pause range 0..x s ", CarouselMovementTest, "", "0\r", "_~^Y^x", PauseRange, CarouselCycles},
    {"Enter Path [h<65535] ", LiftMovementTest, "", "300\r", "~^Y",
     [](int32_t v) { return Word("WR DM6 ", v); },
     [](BadInput& w, int32_t) { return w.NthSent("WR DM6 ", 2); }},
    // Half a second and the pause entered: a huge one never wraps into a short one.
    {"Enter Pause [s]     ", GateMovementTest, "", "1\r", "1\r_~^Y_~",
     [](int32_t v) { return BadInput::Span(5 + std::max<int64_t>(int64_t{v} * 10, 1)); },
     [](BadInput& w, int32_t) { return w.SpanAfter("ST 1902\r"); }},
    {"Enter Open Time [s] ", GateMovementTest, "1\r", "1\r", "_~^Y_~",
     [](int32_t v) { return BadInput::Span(5 + std::max<int64_t>(int64_t{v} * 10, 1)); },
     [](BadInput& w, int32_t) { return w.SpanAfter("ST 1901\r"); }},
    {"Enter Delay [s]    (shovel)", ShovelMovementTest, "", "1\r", "_~^Y_~",
     [](int32_t v) { return BadInput::Span(1 + std::max<int64_t>(int64_t{v} * 10, 1)); },
     [](BadInput& w, int32_t) { return w.SpanAfter("ST 1701\r"); }},
    {"Enter Delay [s]    (turn)", TurnMovementTest, "", "1\r", "_~^Y_~",
     [](int32_t v) { return BadInput::Span(1 + std::max<int64_t>(int64_t{v} * 10, 1)); },
     [](BadInput& w, int32_t) { return w.SpanAfter("ST 1702\r"); }},
    // The macros wait for Ready first, taking keys: their entries come a second later.
    {"  Cassette Number : (B)", MacroScreen, "b^", "3\r", "4\r^~",
     [](int32_t v) { return Word("WR DM0 ", v); },
     [](BadInput& w, int32_t) { return w.NthSent("WR DM0 "); }},
    {"  Level Number : ", MacroScreen, "b^3\r", "4\r", "^~",
     [](int32_t v) { return Word("WR DM5 ", v); },
     [](BadInput& w, int32_t) { return w.NthSent("WR DM5 "); }},
    {"  Cassette Number : (I)", MacroScreen, "i", "3\r", "^c^~",
     [](int32_t v) { return Word("WR DM0 ", v); },
     [](BadInput& w, int32_t) { return w.NthSent("WR DM0 "); }},
    {"Enter Start Level [1]    ", AllSlotsTest, "nn", "3\r", "nn~^Y",
     [](int32_t v) { return Clamped(v, "start level ") + Clamped(v, ", first row at level "); },
     [](BadInput& w, int32_t) {
       std::string row = "none";
       for (const auto& [r, text] : w.shown)
         if (text.starts_with("Cyc ")) row = std::to_string(std::stoi(text.substr(12)));
       return "start level " + std::to_string(StartLevel) + ", first row at level " + row;
     }},
    // Minutes become seconds, at most the longest wait there is; 0 and below ask on.
    {"Enter Interval Time [n=min,0=Random Sec,-1=sec]: ", RandomAccessTest, "hnn", "5\r",
     "7\r~^Y_x",
     [](int32_t v) {
       return v > 0   ? "fixed wait " + std::to_string(std::min<int64_t>(int64_t{v} * 60, INT32_MAX)) + " s"
              : v < 0 ? "fixed wait 7 s"s
                      : "random wait up to 7 s"s;
     },
     RandomWaits},
    {"Enter Max. Random Interval [Sec]   ", RandomAccessTest, "hnn0\r", "5\r", "~^Y_x",
     [](int32_t v) { return v > 0 ? "random wait up to " + std::to_string(v) + " s" : "fixed wait 0 s"s; },
     RandomWaits},
    {"Enter Interval Time (>1sec)        ", RandomAccessTest, "hnn-1\r", "5\r", "~^Y_x",
     [](int32_t v) { return "fixed wait " + std::to_string(v) + " s"; }, RandomWaits},
};
// clang-format on

TEST_F(BadInput, NumberPromptsTakeEveryEntryByTheNumberRule) {
  for (const NumberPrompt& p : kNumberPrompts) {
    for (const NumberEntry& e : kNumberEntries) {
      SCOPED_TRACE(std::string(p.prompt) + " <- " + e.name);
      Fresh();
      pausesRunOut = p.screen == GateMovementTest || p.screen == ShovelMovementTest ||
                     p.screen == TurnMovementTest;
      const bool refused = e.reads == Reads::kAskedAgain;
      const int32_t taken = e.reads == Reads::kValue ? e.value : std::stoi(p.fallback);
      // A number taken leaves the fallback unread: it is not typed.
      const std::string fallback = e.reads == Reads::kValue ? "" : p.fallback;
      if (!Run(p.screen, p.before + e.keys + fallback + p.after)) continue;
      if (refused && p.refused) {
        EXPECT_EQ(p.seen(*this, taken), p.refused);
      } else {
        EXPECT_EQ(p.seen(*this, taken), p.expect(taken));
        EXPECT_EQ(Showed("Invalid numeric input"), refused) << "asked again";
      }
    }
  }
}

// ---- Key questions ---------------------------------------------------------------------
// One key, no Enter. An arrow key comes as 0 and its scan code, one key all the same.
struct KeyEntry {
  const char* name;
  std::string keys;
};
const KeyEntry kKeys[] = {{"Enter", "\r"}, {"a", "a"},         {"-", "-"},      {"+", "+"},
                          {"9", "9"},      {"Ctrl-A", "\x01"}, {"DEL", "\x7f"}, {"Esc", "\x1b"},
                          {"tab", "\t"},   {"Up", "\0H"s},     {"y", "y"},      {"n", "n"}};

struct KeyPrompt {
  const char* prompt;
  void (*screen)();
  const char* before;
  const char* after;  // keys to the end of the screen; they also answer what comes next
  std::string (*seen)(BadInput&);
  const char* yes;    // the outcome of y
  const char* other;  // the outcome of every other key ...
  std::vector<std::pair<const char*, const char*>> except = {};  // ... but these
  plcsim::SimConfig config = {};
  bool liftHits = false;  // the lift runs onto its initialisation switch
};

std::string Passes(BadInput& w) {  // the component menu's end steps
  const int n = w.Count("WR DM123 0\r");
  return n == 1   ? "back to the main menu"
         : n == 2 ? "end step, menu again"
                  : std::to_string(n) + " menu passes";
}
std::string RandomAnswers(BadInput& w) {
  return std::string(TestMode == 'C'   ? "carousel"
                     : TestMode == 'H' ? "handler"
                                       : "both") +
         (XferIncluded ? ", with station" : ", without station") + ", invers " + InversMode + ", " +
         RandomWaits(w, 0);
}

// clang-format off
const KeyPrompt kKeyPrompts[] = {
    {"X-fer Station [Y/N] ", AllSlotsTest, "", "y~^Y",
     [](BadInput&) { return "X-fer "s + XferMode + (AnswerKey == 'Y' ? ", quick test" : ", full test"); },
     "X-fer Y, quick test", "X-fer N, quick test"},
    {"Quick Test [Y/N]   ", AllSlotsTest, "n", "3\rnn~^Y",
     [](BadInput&) { return AnswerKey == 'Y' ? "quick test"s : "full test from level " + std::to_string(StartLevel); },
     "quick test", "full test from level 3"},
    // Only N takes the plate out of slot 1.1 first; only Y is the inverse order.
    {"Invers. Mode [Y/N] ", AllSlotsTest, "nn3\r", "n~^Y",
     [](BadInput& w) {
       return (InversMode == 'Y' ? "inverse order"s : "normal order"s) +
              (w.Showed("Pick Plate form 1,1") ? ", 1.1 emptied first" : "") + ", by slot " + BySlotMode;
     },
     "inverse order, by slot N", "normal order, by slot N", {{"n", "normal order, 1.1 emptied first, by slot N"}}},
    {"By Slot [Y/N] ", AllSlotsTest, "nn3\rn", "~^Y",
     [](BadInput&) { return BySlotMode == 'Y' ? "level first"s : "position first"s; },
     "level first", "position first"},
    {"Test Carrousel, Handler, Both [C,H,B] ", RandomAccessTest, "", "nn5\r~^Y_x", RandomAnswers,
     "both, without station, invers N, fixed wait 300 s", "both, without station, invers N, fixed wait 300 s"},
    // Any key but N selects the transfer station.
    {"Include X-fer Station ", RandomAccessTest, "b", "n5\r~^Y_x", RandomAnswers,
     "both, with station, invers N, fixed wait 300 s", "both, with station, invers N, fixed wait 300 s",
     {{"n", "both, without station, invers N, fixed wait 300 s"}}},
    {"Invers. Mode [Y/N]    ", RandomAccessTest, "bn", "5\r~^Y_x", RandomAnswers,
     "both, without station, invers Y, fixed wait 300 s", "both, without station, invers N, fixed wait 300 s"},
    // A turn more than a second off its taught time (none taught: 0.0) stops at "<tx..".
    {"<tx.. (deviation stop)", RandomAccessTest, "c-1\r0\r_", "_~^x",
     [](BadInput& w) {
       std::vector<std::string> stops;
       for (const auto& [row, text] : w.shown)
         if (text.find(" s<t") != std::string::npos && std::ranges::find(stops, text) == stops.end())
           stops.push_back(text);  // "<tx.." runs over the row's end
       return stops.size() == 1   ? "test ends at the first stop"s
              : stops.size() == 2 ? "goes on to the next stop"s
                                  : std::to_string(stops.size()) + " stops";
     },
     "goes on to the next stop", "goes on to the next stop", {{"Esc", "test ends at the first stop"}}},
    {"Left Carrousel [Y/N] ", TeachPositioningTimes, "^", "~^Y^x",
     [](BadInput& w) { return w.NthSent("WR DM0 ") == "WR DM0 1" ? "left, home 1"s : "right, home 2"s; },
     "left, home 1", "right, home 2", {}, {.twoCarousels = true}},
    // Esc at the reset question goes back to the component menu, not further.
    {"Reset Counter [Y/N] ", ComponentTestMenu, "8", "^~",
     [](BadInput& w) { return (w.Count("WR DM211 0\r") ? "counters reset, "s : "nothing written, "s) + Passes(w); },
     "counters reset, end step, menu again", "nothing written, end step, menu again"},
    {"Select now      ", ComponentTestMenu, "", "^~", Passes, "end step, menu again",
     "end step, menu again", {{"Esc", "back to the main menu"}}},
    // Esc at the plate test's time, or at the carousel test's summary, leaves the component menu too.
    {"Total Time (plate test)", ComponentTestMenu, "2_", "^~", Passes, "end step, menu again",
     "end step, menu again", {{"Esc", "back to the main menu"}}},
    {"Lift hit z-Init Switch !!! ", ComponentTestMenu, "4300\r_", "^~", Passes, "end step, menu again",
     "end step, menu again", {}, {}, true},
    {"Rotation Access Time Summary", ComponentTestMenu, "10\r_~^Y^", "^~", Passes, "end step, menu again",
     "end step, menu again", {{"Esc", "back to the main menu"}}},
    {"Quit ? ", kAskQuit, "~^", "",
     [](BadInput& w) {
       return (QuitConfirmed ? "quits"s : "carries on"s) +
              (EscAbort || !KeyBuffer.empty() || w.keys.Pending() ? ", keys left" : "");
     },
     "quits", "carries on"},
    // Row 23 shows the key's code less 48; command keys send their command.
    {"Please Select ->", MacroScreen, "", "^~",
     [](BadInput& w) { return "shows " + w.FirstOnRow(23) + ", " + w.Commands(); },
     "shows 41, nothing sent", nullptr,
     {{"Enter", "shows -35, nothing sent"}, {"a", "shows 17, ST 1801"}, {"-", "shows -3, nothing sent"},
      {"+", "shows -5, nothing sent"}, {"9", "shows 9, nothing sent"}, {"Ctrl-A", "shows -47, nothing sent"},
      {"DEL", "shows 79, nothing sent"}, {"Esc", "shows -21, nothing sent"}, {"tab", "shows -39, nothing sent"},
      {"Up", "shows -48, nothing sent"}, {"n", "shows 30, nothing sent"}}},
    // Only c goes on; the c typed after the key must not reach the screen (it closes the gate).
    {"Press c to continue ", MacroScreen, "i3\r^", "c^~",
     [](BadInput& w) { return w.Count("ST 1902\r") ? "key went on, c closed the gate"s : "dropped, c went on"s; },
     "dropped, c went on", "dropped, c went on"},
    {"! WARNING ! (3 plates, any key)", ThreePlateTest, "^", "_~^Y",
     [](BadInput& w) { return w.Count("ST 1908\r") ? "confirmed, the walk starts"s : "no move"s; },
     "confirmed, the walk starts", "confirmed, the walk starts"},
};
// clang-format on

TEST_F(BadInput, KeyQuestionsTakeEveryKeyByTheirRule) {
  for (const KeyPrompt& p : kKeyPrompts) {
    for (const KeyEntry& k : kKeys) {
      SCOPED_TRACE(std::string(p.prompt) + " <- " + k.name);
      Fresh(p.config);
      plc.faults.liftHit = p.liftHits;
      const auto special = std::ranges::find_if(
          p.except, [&](const auto& e) { return k.name == std::string(e.first); });
      const std::string expected = special != p.except.end() ? special->second
                                   : k.name == "y"s          ? p.yes
                                                             : p.other;
      if (Run(p.screen, p.before + k.keys + p.after)) {
        EXPECT_EQ(p.seen(*this), expected);
      }
    }
  }
}

// ---- Lines of text ---------------------------------------------------------------------
// The console's line input keeps up to 255 characters and no control key but DEL; Esc
// takes back the line. The direct-command editor keeps every key but Esc, which leaves.
const KeyEntry kLines[] = {{"empty line", ""},
                           {"letters", "abc"},
                           {"minus alone", "-"},
                           {"plus alone", "+"},
                           {"12abc", "12abc"},
                           {"2^31", "2147483648"},
                           {"-2^31 - 1", "-2147483649"},
                           {"300 characters", std::string(300, 'x')},
                           {"Ctrl-A", "\x01"},
                           {"DEL", "\x7f"},
                           {"Esc after ab", "ab\x1b"},
                           {"tab", "\t"},
                           {"the code, lower case", "klmb"}};

struct LinePrompt {
  const char* prompt;
  void (*screen)();
  const char* before;
  const char* after;
  std::string (*seen)(BadInput&);
  std::vector<std::string> outcome;  // one for each entry of kLines, in order
};

// What ran between the choice's bracket and its "CQ".
std::string MenuChoiceRan(BadInput& w) {
  const Lines sent = w.Sent();
  auto from = std::ranges::find(sent, "WR DM123 0\r"), to = std::find(from, sent.end(), "CQ\r");
  const bool geometry = std::find(from, to, "RD DM25\r") != to;
  const char* ran = std::find(from, to, "RD 500\r") != to     ? "flag monitor"
                    : std::find(from, to, "RD DM200\r") != to ? "direct commands"
                                                              : "no function";
  return ran + std::string(geometry ? ", geometry read" : "");
}

const std::string kX20 = "xxxxxxxxxxxxxxxxxxxx... (255)";
// clang-format off
const LinePrompt kLinePrompts[] = {
    {"Enter Operator Name                ", kRun, "1\r", "^0\r",
     [](BadInput& w) { return "'" + BadInput::Short(OperatorName) + (w.Showed("Enter [0..6]") ? "', menu shown" : "'"); },
     {"'', menu shown", "'abc', menu shown", "'-', menu shown", "'+', menu shown", "'12abc', menu shown",
      "'2147483648', menu shown", "'-2147483649', menu shown", "'" + kX20 + "', menu shown", "'', menu shown",
      "'\\x7F', menu shown", "'', menu shown", "'', menu shown", "'klmb', menu shown"}},
    // The first character is the choice: "12abc" is 1, "2147483648" is 2.
    {"Enter [0..6]                    ", kRun, "1\rTom\r^", "^~^0\r", MenuChoiceRan,
     {"no function", "no function, geometry read", "no function", "no function",
      "direct commands", "flag monitor", "no function", "no function, geometry read", "no function",
      "no function, geometry read", "no function", "no function", "no function, geometry read"}},
    {"Enter Passord ", StatisticsScreen, "", "^x",
     [](BadInput& w) { return w.Count("RD DM110\r") ? "figures shown"s : "refused, nothing read"s; },
     {"refused, nothing read", "refused, nothing read", "refused, nothing read", "refused, nothing read",
      "refused, nothing read", "refused, nothing read", "refused, nothing read", "refused, nothing read",
      "refused, nothing read", "refused, nothing read", "refused, nothing read", "refused, nothing read",
      "figures shown"}},
    // Sent as typed, up to 255 characters; a "-" turns what follows into a 16-bit word.
    {"direct command line", DirectCommands, "", "^~",
     [](BadInput& w) { return w.Commands(true) + (w.keys.Pending() ? ", screen left" : ""); },
     {"nothing sent", "abc", "0", "+", "12abc", "2147483648", "13108", kX20, "\\x01", "\\x7F",
      "nothing sent, screen left", "\\t", "klmb"}},
    // Typed blind, sent with its Enter; a full line drops the Enter and is never sent. In
    // the window the banner leaves, as from the menu; no line scrolls the status row away.
    {"flag monitor command line", [] { ShowBanner(), FlagMonitor(); }, "", "^~",
     [](BadInput& w) {
       return w.Commands() + (w.keys.Pending() ? ", screen left" : "") +
              (w.RowTrim(1).find("Plaxon") == std::string::npos ? ", status row gone" : "");
     },
     {"\\r", "abc\\r", "0", "+\\r", "12abc\\r", "2147483648\\r", "13108", "nothing sent", "\\x01\\r",
      "\\x7F\\r", "nothing sent, screen left", "\\t\\r", "klmb\\r"}},
};
// clang-format on

TEST_F(BadInput, LinesOfTextAreKeptOrSentByTheirRule) {
  for (const LinePrompt& p : kLinePrompts) {
    for (size_t i = 0; i < std::size(kLines); ++i) {
      SCOPED_TRACE(std::string(p.prompt) + " <- " + kLines[i].name);
      Fresh();
      if (Run(p.screen, p.before + kLines[i].keys + "\r" + p.after)) {
        EXPECT_EQ(p.seen(*this), p.outcome[i]);
      }
    }
  }
}

}  // namespace
