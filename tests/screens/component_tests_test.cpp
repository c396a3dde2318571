// The component test menu, its handler tests and the error counters, against the
// simulated store.
#include <algorithm>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

const std::string kWindow(9, ' ');  // the banner window starts in screen column 10


// Requests without the status bar's system word, runs of the same read as one.
Lines Merged(const Lines& sent) {
  Lines out;
  for (const auto& s : sent)
    if (s != "RD DM200\r" && (out.empty() || out.back() != s || !s.starts_with("RD ")))
      out.push_back(s);
  return out;
}

class ComponentTest : public VirtualWorld {
 protected:
  void SetUp() override {
    OpenSimPort();
    PositionCount = 9;
    ShowBanner();  // the menu runs in the window the banner leaves
    line.ClearWire();
    Mark();
    clock.SetLimit(clock.NowMicros() + 3600 * kSecond);  // a test that never ends fails
  }
  // Where a test chosen from the menu starts: below "Select now".
  void AtMenuPrompt() { GotoXY(1, 13); }

  // The requests since the last call without the status bar's system word, repeated
  // reads as one.
  Lines Traffic() { return Merged(SentSinceMark()); }
  // Esc, then Y, once `request` has been sent `n` times.
  void QuitWhenSent(const std::string& request, int n) {
    keys.onPresent = [this, request, n, done = false](const console::Screen&) mutable {
      int count = 0;
      for (const auto& record : line.Wire()) count += record.bytes == request;
      if (count >= n && !std::exchange(done, true)) keys.Key(kKeyEsc), keys.Key('Y', kSecond);
    };
  }
  // Microseconds from the end of the exchange of the n-th `request` to the next request.
  int64_t GapAfter(const std::string& request, int n = 1) {
    const auto& wire = line.Wire();
    for (size_t i = 0; i + 1 < wire.size(); ++i)
      if (wire[i].bytes == request && --n == 0) return wire[i + 1].at - wire[i].at - 55000;
    return -1;
  }
  // The window's rows from `first` on, without the blanks left of the window.
  void ExpectWindowRows(int first, const Lines& rows) {
    Lines shifted;
    for (const auto& row : rows) shifted.push_back(row.empty() ? row : kWindow + row);
    ExpectRows(first, shifted);
  }
};

const Lines kReady = {"RD 1915\r"};

// Esc at "Select now" leaves at once; any other key runs its choice, or nothing, and
// every choice ends with the service word back at 0; Esc that dismisses a result leaves too.
TEST_F(ComponentTest, EveryChoiceEndsWithTheServiceWordAndOnlyEscLeaves) {
  const Lines end = {"WR DM123 0\r"}, menu = {"RD 1915\r"};  // the bar: DM200 left out
  const Lines counters = {"RD DM211\r", "RD DM212\r", "RD DM213\r", "RD DM214\r", "RD DM215\r",
                          "RD DM216\r", "RD DM217\r", "RD DM218\r", "RD DM219\r"};
  const Lines plate = Times(10, Lines{"ST 1902\r"} + kReady + Lines{"ST 1903\r"} + kReady);
  struct Case {
    std::string keys;  // '_' a pause long enough for the choice to end
    Lines sent;
  } cases[] = {
      {"~", menu + end},
      {"3_~", menu + end + menu + end},
      {"x_s_~", menu + end + menu + end + menu + end},
      {"8~_~", menu + menu + counters + end + menu + end},  // Esc at the reset question
      {"2_x_~", menu + kReady + plate + end + menu + end},
      {"2_~", menu + kReady + plate + end},  // Esc dismisses the plate test's time
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    ResetProgramGlobals(), SetUp();
    Script(c.keys, 30 * kSecond);
    std::set<std::pair<int, int>> waits;  // where the cursor stands on the prompt rows
    keys.onPresent = [&](const console::Screen&) {
      if (WhereY() == 12) waits.emplace(WhereX(), WhereY());
    };
    ComponentTestMenu();
    std::set<std::pair<int, int>> expected = {{17, 12}};  // after "Select now      "
    if (c.keys[0] == '8') expected.emplace(21, 12);       // after "Reset Counter [Y/N] "
    EXPECT_EQ(waits, expected);
    EXPECT_TRUE(SameLines(Traffic(), Merged(c.sent)));
    EXPECT_EQ(keys.Pending(), 0u);
  }
  // Row 2 holds the bar's time: in this window the bar runs past the edge.
  ExpectWindowRows(3, {"Carrousel Movement  1", "Plate Movement      2", "Stack Movement      3",
                       "Lift Movement       4", "Gate Movement       5", "Shovel Movement     6",
                       "Turn Movement       7", "Error Counters      8", "", "Select now"});
}

// Each test's prompts, commands in order with every reply on the screen, and how it ends:
// quit, the lift on its switch, Esc in a timer wait.
TEST_F(ComponentTest, HandlerTestsSendTheirCommandsAndShowEveryReply) {
  const Lines code = {"WR DM123 52917\r"};
  struct Case {
    void (*test)();
    std::string typed;      // '_': a pause long enough for the test to come to its end
    std::string quitAfter;  // Esc and Y once this has gone out twice ("*": T12 read five times)
    char fault;             // 'l' the lift hits its switch; 'r' shovel and turn refused
    Lines sent;
    Lines rows;         // from row 13
    int endColumn = 0;  // the cursor's column at the end, where a text ends in a blank
  } cases[] = {
      // clang-format off
      {PlateMovementTest, "_x", "", ' ',
       kReady + Times(10, Lines{"ST 1902\r"} + kReady + Lines{"ST 1903\r"} + kReady),
       {"Total Time      7.7 s"}, 23},  // ten of 0.2 s gate check and 0.3 s end, and polls
      {LiftMovementTest, "300\r", "WR DM6 300\r", ' ',
       kReady + Lines{"WR DM6 0\r", "WR DM6 300\r"} + kReady + Lines{"WR DM6 0\r"} + kReady +
           Lines{"RD 15\r", "WR DM6 300\r"} + kReady + Lines{"WR DM6 0\r"} + kReady +
           Lines{"RD 15\r"},
       {"", "Enter Path [h<65535] 300", "     0 OK     1 OK OK", "     2 OK OK", ""}},
      {LiftMovementTest, "abc\r70000\r_k", "", 'l',  // 70000 goes as 70000 - 65536
       kReady + Lines{"WR DM6 0\r", "WR DM6 4464\r"} + kReady + Lines{"WR DM6 0\r"} + kReady +
           Lines{"RD 15\r"},
       {"", "Enter Path [h<65535] abc", "Invalid numeric input", "Enter Path [h<65535] 70000",
        "     0 OK     1 OK OK", "Lift hit z-Init Switch !!!"}, 28},
      {LiftMovementTest, "65536\r", "WR DM6 0\r", ' ',
       kReady + Lines{"WR DM6 0\r", "WR DM6 0\r"} + kReady + Lines{"WR DM6 0\r"} + kReady +
           Lines{"RD 15\r"},
       {"", "Enter Path [h<65535] 65536", "     0 OK     1 OK OK", ""}},
      {GateMovementTest, "x\r0\r0\r", "ST 1902\r", ' ',
       Times(2, kReady + Lines{"ST 1901\r"} + kReady + Lines{"ST 1902\r"}),
       {"", "Enter Pause [s]     x", "Invalid numeric input", "Enter Pause [s]     0",
        "Enter Open Time [s] 0", "     1 OK OK", "     2 OK OK", ""}},
      {ShovelMovementTest, "0\r", "RS 1701\r", ' ',
       code + Times(2, Lines{"RD T13\r", "ST 1701\r", "RD T12\r", "RS 1701\r"}) +
           Lines{"RS 1701\r"},
       {"", "Enter Delay [s]    0", "     1 OK OK", "     2 OK OK", ""}},
      {TurnMovementTest, "1\r", "RS 1702\r", ' ',
       code + Times(2, Lines{"RD T11\r", "ST 1702\r", "RD T14\r", "RS 1702\r"}) +
           Lines{"RS 1702\r"},
       {"", "Enter Delay [s]    1", "     1 OK OK", "     2 OK OK", ""}},
      // Refused: the shovel never reaches the front; Esc ends the wait for T12 and the
      // reset goes out only at the end.
      {ShovelMovementTest, "0\r", "*", 'r',
       code + Lines{"RD T13\r", "ST 1701\r", "RD T12\r", "RS 1701\r"},
       {"", "Enter Delay [s]    0", "     1 OK", ""}},
  };
  // clang-format on
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sent[1]);
    ResetProgramGlobals(), Configure(), SetUp(), AtMenuPrompt();
    plc.faults.liftHit = c.fault == 'l';
    if (c.quitAfter == "*") {
      QuitWhenSent("RD T12\r", 5);
    } else if (!c.quitAfter.empty()) {
      QuitWhenSent(c.quitAfter, 2);
    }
    if (c.fault == 'r') {
      auto quit = keys.onPresent;
      keys.onPresent = [this, quit](const console::Screen& screen) {
        plc.SetDm(123, 0);  // the controller's service word is lost
        quit(screen);
      };
    }
    Script(c.typed, 60 * kSecond);
    c.test();
    EXPECT_TRUE(SameLines(Traffic(), c.sent));
    ExpectWindowRows(13, c.rows);
    if (c.endColumn) {
      EXPECT_EQ(WhereX(), c.endColumn);
    }
    EXPECT_EQ(keys.Pending(), 0u);
    // What the store counted: the lift run onto its switch by the start write and by the
    // cycle's return; the refused set and reset. The arms are back.
    EXPECT_EQ(plc.Dm(215), c.fault == 'l' ? 2 : 0);
    EXPECT_EQ(plc.Dm(217), c.fault == 'r' ? 2 : 0);
    EXPECT_FALSE(plc.Relay(1701) || plc.Relay(1702));
  }
}

// Open time and pause are each half a second more than entered; zero and negative
// entries still take one 100 ms step. Every gate closed counts one gate cycle.
TEST_F(ComponentTest, GatePausesAndDelaysKeepTheirTimes) {
  struct Case {
    std::string typed;  // pause, open time
    int64_t open, pause;
  } cases[] = {{"0\r0\r", 600, 600}, {"2\r1\r", 1500, 2500}, {"-5\r-1\r", 600, 600}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    ResetProgramGlobals(), Configure(), SetUp(), AtMenuPrompt();
    const int cycles = plc.Dm(111);
    QuitWhenSent("ST 1902\r", 2);
    keys.Type(c.typed);
    GateMovementTest();
    EXPECT_EQ(GapAfter("ST 1901\r"), c.open * 1000);  // until the Ready wait's status bar
    EXPECT_EQ(GapAfter("ST 1902\r"), c.pause * 1000);
    plc.Advance(clock.NowMicros() + 5 * kSecond);  // the last close ends
    EXPECT_EQ(plc.Dm(111), cycles + 2);
  }
  // An Esc typed while the gate is open is answered after the open time, which runs out
  // whole: the mechanism relies on it.
  ResetProgramGlobals(), Configure(), SetUp(), AtMenuPrompt();
  keys.onPresent = [this, escs = 0](const console::Screen&) mutable {
    const auto& wire = line.Wire();
    const int opened = static_cast<int>(std::ranges::count_if(
        wire, [](const plcsim::WireRecord& r) { return r.bytes == "ST 1901\r"; }));
    if (opened > escs && escs < 2) {
      keys.Key(kKeyEsc, 300000), keys.Key(++escs == 1 ? 'n' : 'Y', kSecond);
    }
  };
  keys.Type("0\r2\r");
  GateMovementTest();
  EXPECT_EQ(GapAfter("ST 1901\r", 1), 2500000);
  EXPECT_EQ(GapAfter("ST 1901\r", 2), 2500000);
  // The shovel's delay lies between its set and its wait for the front, and between its
  // reset and the next wait for the back; each timer wait starts with a 100 ms step.
  ResetProgramGlobals(), Configure(), SetUp();
  QuitWhenSent("RS 1701\r", 2);
  keys.Type("2\r");
  ShovelMovementTest();
  EXPECT_EQ(GapAfter("ST 1701\r"), 2100000);
  EXPECT_EQ(GapAfter("RS 1701\r"), 2100000);
}

// The nine counters as the controller sends them, read once; Y (in either case) sets them
// back to 0 one by one and shows the result for 1.5 s; any other answer writes nothing.
TEST_F(ComponentTest, ErrorCountersAreShownAndResetInOrder) {
  Lines shown, resets;
  for (int a = 211; a <= 219; ++a) {
    shown.push_back("DM" + std::to_string(a) + " " +
                    std::to_string(a == 213   ? 4
                                   : a == 219 ? 65535
                                              : 0));
    resets.push_back("Reset DM" + std::to_string(a) + " OK");
  }
  for (int answer : std::initializer_list<int>{'y', 'Y', kKeyEsc, 'n'}) {
    SCOPED_TRACE(answer);
    const bool reset = answer == 'y' || answer == 'Y';
    ResetProgramGlobals(), Configure(), SetUp();
    plc.SetDm(213, 4), plc.SetDm(219, 65535);
    keys.Key(answer, 3 * kSecond);
    int waitedAt = 0;  // the cursor's column on the question's row
    keys.onPresent = [&](const console::Screen&) {
      if (WhereY() == 12) waitedAt = WhereX();
    };
    ErrorCountersScreen();
    EXPECT_EQ(waitedAt, 21);  // after "Reset Counter [Y/N] "
    Lines sent = kReady;
    for (int a = 211; a <= 219; ++a) sent.push_back("RD DM" + std::to_string(a) + "\r");
    for (int a = 211; reset && a <= 219; ++a) sent.push_back("WR DM" + std::to_string(a) + " 0\r");
    EXPECT_TRUE(SameLines(Traffic(), sent));
    ExpectWindowRows(2, shown + Lines{"", "Reset Counter [Y/N]"} + (reset ? resets : Lines{""}));
    EXPECT_EQ(plc.Dm(213) + plc.Dm(219), reset ? 0 : 65539);
    if (reset) {
      EXPECT_EQ(NowMs() * 1000 - line.Wire().back().at, 55000 + 1500000);
    }
  }
}

// A quit confirmed in one test holds for every later one until the main menu: the lift
// runs no cycle, the plate test runs its ten without waiting for Ready, the others one.
TEST_F(ComponentTest, AQuitHoldsForTheTestsChosenAfterIt) {
  const Lines menu = kReady, end = {"WR DM123 0\r"};
  const Lines gate = kReady + Lines{"ST 1901\r"} + kReady + Lines{"ST 1902\r"};
  Script("5__0\r0\r_~_Y_", 3 * kSecond);  // gate: Esc in the second cycle's open time
  Script("6_0\r_4_100\r_2_x_1_0\r_x_5_0\r0\r_~", 30 * kSecond);
  ComponentTestMenu();
  const Lines sent =
      // The open time runs out whole; the Ready wait after it brings the prompt, and the
      // gate closes.
      menu + gate + gate + end +  //
      menu +
      Lines{"WR DM123 52917\r", "RD T13\r", "ST 1701\r", "RD T12\r", "RS 1701\r", "RS 1701\r"} +
      end +                                                                                // shovel
      menu + Lines{"WR DM6 0\r"} + end +                                                   // lift
      menu + Times(10, Lines{"ST 1902\r"} + kReady + Lines{"ST 1903\r"} + kReady) + end +  // plate
      // carousel: one cycle, T20 polled alone however long the move takes
      menu + Lines{"ST 1801\r"} + kReady + Lines{"WR DM0 1\r", "RD T20\r"} + kReady +
      Lines{"RD DM1\r", "WR DM0 8\r", "RD T20\r"} + kReady + end +  //
      menu + gate + end + menu + end;
  EXPECT_TRUE(SameLines(Traffic(), Merged(sent)));
  EXPECT_EQ(keys.Pending(), 0u);
}

// Without a controller every test and the counters still come to their end with empty
// replies, back to the menu, and "0" ends the program as ever; no wait spins.
TEST_F(ComponentTest, ASilentControllerLeavesEveryScreenToItsEnd) {
  const char* const choices[] = {
      "1_0\r_~_Y_~",  // Esc in the preparation's Ready wait; Esc at the summary leaves
      "2_~_Y_x_~",    // Esc and Y in the Ready wait; the ten cycles; the time shown
      "3_~",         "4_5\r_~_Y_~", "5_0\r0\r_~_Y_~",
      "6_0\r_~_Y_~",  // Esc in the wait for the timer
      "7_0\r_~_Y_~", "8_n_~",
  };
  // The menu's end step, each try of it: once after the choice, once after Esc, unless
  // the test's own result was dismissed with Esc.
  auto ExitStepsSent = [this] {
    return std::ranges::count(Sent(), std::string("WR DM123 0\r")) - 8;  // two menu passes
  };
  for (const char* choice : choices) {
    SCOPED_TRACE(choice);
    ResetProgramGlobals(), Configure(), line.ClearWire();
    clock.SetLimit(clock.NowMicros() + 3600 * kSecond);
    line.faults.silent = true;
    Script(std::string("1\rTom\r_5\r_") + choice + "_0\r", 60 * kSecond);
    const int64_t start = NowMs();
    EXPECT_EQ(RunProgram(), 0);
    EXPECT_EQ(keys.Pending(), 0u);
    EXPECT_LE(static_cast<int64_t>(Sent().size()) * 55, NowMs() - start);
    EXPECT_EQ(Sent().back(), "CQ\r");
    EXPECT_EQ(ExitStepsSent(), 4 * (choice[0] == '1' ? 1 : 2));
  }
}

}  // namespace
