// The component test menu, its handler tests and the error counters against the simulated
// store, in the window the banner leaves. No test sends the store a move it is not ready for.
#include <algorithm>
#include <ranges>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

Lines Split(std::string_view text, char separator = '|', const char* end = "") {
  Lines out;
  for (const auto part : std::views::split(text, separator))
    out.push_back(std::string(part.begin(), part.end()) + end);
  return out;
}
Lines Req(std::string_view list) {
  return Split(list, ',', "\r");
}  // "a,b": "a\r", "b\r"
// Without the bar's DM200 and with runs of the same read as one: a Ready wait reads the
// same however often it polls.
Lines Merged(const Lines& sent) {
  Lines out;
  for (const auto& s : sent)
    if (s != "RD DM200\r" && (out.empty() || out.back() != s || !s.starts_with("RD ")))
      out.push_back(s);
  return out;
}

class ComponentTest : public VirtualWorld {
 protected:
  void TearDown() override { EXPECT_EQ(plc.MovesWhileNotReady(), 0); }
  // A fresh store and program, below "Select now".
  void Fresh() {
    EXPECT_EQ(plc.MovesWhileNotReady(), 0);
    keys.onPresent = nullptr;
    ResetProgramGlobals(), Configure(), OpenSimPort(), ShowBanner(), GotoXY(1, 13);
    line.ClearWire(), Mark(), clock.SetLimit(clock.NowMicros() + 3600 * kSecond);
  }
  // Types `typed` once `request` has gone out `n` times.
  void TypeWhenSent(const std::string& request, int n, std::string typed = "~_Y") {
    keys.onPresent = [=, this](const console::Screen&) mutable {
      if (std::ranges::count(Sent(), request) >= n) Script(std::exchange(typed, ""));
    };
  }
  // Milliseconds from the end of the first `request`'s exchange to the next request.
  int64_t GapAfter(const std::string& request) {
    const auto& wire = line.Wire();
    for (size_t i = 0; i + 1 < wire.size(); ++i)
      if (wire[i].bytes == request) return (wire[i + 1].at - wire[i].at - 55000) / 1000;
    return -1;
  }
};

// Each test's prompts, commands in order with every reply on the screen, and its end: a
// quit once `quitAfter` went out twice, the lift on its switch (k), Esc in a timer wait
// when the service word is lost and the shovel never gets to the front.
TEST_F(ComponentTest, HandlerTestsSendTheirCommandsAndShowEveryReply) {
  const Lines arm = Req("WR DM123 52917"), shovel = Req("RD T13,ST 1701,RD T12,RS 1701");
  const struct {
    void (*test)();
    std::string typed, quitAfter;  // '_' a minute
    Lines sent;
    std::string rows;   // from 13
    int endColumn = 1;  // the cursor's at the end, after a text's last blank
  } cases[] = {
      {PlateMovementTest, "_x", "",
       Req("RD 1915") + Times(10, Req("ST 1902,RD 1915,ST 1903,RD 1915")), "Total Time      7.7 s",
       23},  // ten of 0.2 s gate check and 0.3 s end, and the polls
      {LiftMovementTest, "300\r", "WR DM6 300\r",
       Req("RD 1915,WR DM6 0,WR DM6 300,RD 1915,WR DM6 0,RD 1915,RD 15,WR DM6 300,RD 1915,"
           "WR DM6 0,RD 1915,RD 15"),
       "|Enter Path [h<65535] 300|     0 OK     1 OK OK|     2 OK OK|"},
      {LiftMovementTest, "abc\r70000\r_k", "",
       Req("RD 1915,WR DM6 0,WR DM6 4464,RD 1915,WR DM6 0,RD 1915,RD 15"),
       "|Enter Path [h<65535] abc|Invalid numeric input|Enter Path [h<65535] 70000|     0 OK  "
       "   1 OK OK|Lift hit z-Init Switch !!!",
       28},
      {GateMovementTest, "0\r0\r", "ST 1902\r", Times(2, Req("RD 1915,ST 1901,RD 1915,ST 1902")),
       "|Enter Pause [s]     0|Enter Open Time [s] 0|     1 OK OK|     2 OK OK|"},
      {ShovelMovementTest, "0\r", "RS 1701\r", arm + shovel + shovel + Req("RS 1701"),
       "|Enter Delay [s]    0|     1 OK OK|     2 OK OK|"},
      {TurnMovementTest, "1\r", "RS 1702\r",
       arm + Times(2, Req("RD T11,ST 1702,RD T14,RS 1702")) + Req("RS 1702"),
       "|Enter Delay [s]    1|     1 OK OK|     2 OK OK|"},
      {ShovelMovementTest, "0\r", "RD T12\r", arm + shovel, "|Enter Delay [s]    0|     1 OK|"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows);
    Fresh();
    plc.faults.liftHit = c.typed.ends_with('k');
    const bool lost = c.quitAfter == "RD T12\r";
    TypeWhenSent(c.quitAfter, lost ? 5 : 2);
    if (lost)
      keys.onPresent = [this, quit = keys.onPresent](const console::Screen& s) {
        plc.SetDm(123, 0), quit(s);
      };
    Script(c.typed, 60 * kSecond);
    c.test();
    EXPECT_TRUE(SameLines(Merged(SentSinceMark()), Merged(c.sent)));
    ExpectWindowRows(13, Split(c.rows));
    EXPECT_EQ(WhereX(), c.endColumn);
    EXPECT_EQ(keys.Pending(), 0u);
    EXPECT_FALSE(plc.Relay(1701) || plc.Relay(1702)) << "the arms are back";
  }
}

// Open time and pause are half a second more than entered, and run out whole: zero and
// below still take one 100 ms step; an Esc typed meanwhile is answered at the cycle's end.
// The shovel's delay lies between its set and its wait for the front, and between its
// reset and the next wait for the back, each wait starting with a 100 ms step.
TEST_F(ComponentTest, PausesAndDelaysRunOutWhole) {
  // Typed, typed once the first command went out, ms after the first and after the second.
  const std::tuple<std::string, std::string, int64_t> cases[] = {
      {"0\r0\r", "", 600'0600},
      {"2\r1\r", "", 1500'2500},
      {"-5\r-1\r", "", 600'0600},
      {"0\r2\r", "_~_n", 2500'0900},  // the prompt waits for n
      {"2\r", "", 2100'2100}};        // the shovel
  for (const auto& [typed, after, gaps] : cases) {
    Fresh();
    const bool gate = typed.size() > 2;
    const std::string first = gate ? "ST 1901\r" : "ST 1701\r",
                      second = gate ? "ST 1902\r" : "RS 1701\r";
    keys.onPresent = [&, typedAfter = false, quit = false](const console::Screen&) mutable {
      if (!typedAfter && std::ranges::count(Sent(), first) == 1)
        typedAfter = true, Script(after, 300000);
      if (!quit && std::ranges::count(Sent(), second) == 2) quit = true, Script("~_Y");
    };
    keys.Type(typed);
    gate ? GateMovementTest() : ShovelMovementTest();
    EXPECT_EQ(GapAfter(first) * 10000 + GapAfter(second), gaps) << Escaped(typed);
  }
  // A pause of 2147483647 s never wraps into a short one: an hour on, the store has heard
  // nothing since the gate closed, and the Esc typed meanwhile is not answered yet.
  Fresh();
  const int bells = keys.Bells();
  Script("2147483647\r0\r_~", 60 * kSecond);
  EXPECT_THROW(GateMovementTest(), base::VirtualTimeExceeded);
  EXPECT_EQ(Sent().back() + std::to_string(keys.Bells() - bells), "ST 1902\r0");
}

// The nine counters as the store holds them, read once; Y (either case) sets them back to
// 0 in order and shows the result for 1.5 s; any other answer writes nothing.
TEST_F(ComponentTest, ErrorCountersAreShownAndResetInOrder) {
  for (char answer : std::string("yY\x1bn")) {
    const bool reset = answer == 'y' || answer == 'Y';
    Fresh(), plc.SetDm(213, 4), plc.SetDm(219, 65535), keys.Key(answer, 3 * kSecond);
    ErrorCountersScreen();
    ExpectSent(Req("RD DM200,RD 1915,RD DM211,RD DM212,RD DM213,RD DM214,RD DM215,RD DM216,"
                   "RD DM217,RD DM218,RD DM219") +
               (reset ? Req("WR DM211 0,WR DM212 0,WR DM213 0,WR DM214 0,WR DM215 0,WR DM216 0,"
                            "WR DM217 0,WR DM218 0,WR DM219 0")
                      : Lines{}));
    ExpectWindowRows(2, Split("DM211 0|DM212 0|DM213 4|DM214 0|DM215 0|DM216 0|DM217 0|DM218 0|"
                              "DM219 65535||Reset Counter [Y/N]|" +
                              std::string(reset ? "Reset DM211 OK|Reset DM212 OK|Reset DM213 OK|"
                                                  "Reset DM214 OK|Reset DM215 OK|Reset DM216 OK|"
                                                  "Reset DM217 OK|Reset DM218 OK|Reset DM219 OK"
                                                : "")));
    EXPECT_EQ(reset ? NowMs() * 1000 - line.Wire().back().at : 0, reset ? 1555000 : 0)
        << "the last reset's exchange and 1.5 s";
    EXPECT_EQ(WhereX(), reset ? 1 : 21) << "after \"Reset Counter [Y/N] \"";
    EXPECT_EQ(plc.Dm(213) + plc.Dm(219), reset ? 0 : 65539) << answer;
  }
}

// A quit confirmed in one test holds for every later one until the main menu: the lift
// runs no cycle, the plate test its ten without waiting for Ready, the others one; 3 runs
// only the end step. The carousel's T20 is polled alone however long the move takes.
TEST_F(ComponentTest, AQuitHoldsForTheTestsChosenAfterIt) {
  Fresh();
  int selectAt = 0;  // the cursor's column while "Select now" waits
  keys.onPresent = [&](const console::Screen&) { selectAt = WhereY() == 12 ? WhereX() : selectAt; };
  Script("5__0\r0\r_~_Y_", 3 * kSecond);  // gate: Esc in its second cycle, answered at its end
  Script("6_0\r_4_100\r_2_x_1_0\r_x_5_0\r0\r_3_~", 30 * kSecond);
  ComponentTestMenu();
  const Lines gate = Req("RD 1915,ST 1901,RD 1915,ST 1902"), end = Req("WR DM123 0,RD 1915");
  EXPECT_TRUE(SameLines(
      Merged(SentSinceMark()),
      Merged(Req("RD 1915") + gate + gate + end +
             Req("WR DM123 52917,RD T13,ST 1701,RD T12,RS 1701,RS 1701") + end + Req("WR DM6 0") +
             end + Times(10, Req("ST 1902,RD 1915,ST 1903,RD 1915")) + end +
             Req("ST 1801,RD 1915,WR DM0 1,RD T20,RD 1915,RD DM1,WR DM0 8,RD T20,RD 1915") + end +
             gate + end + end + Req("WR DM123 0"))));
  EXPECT_EQ(keys.Pending(), 0u);
  // Row 2 holds the bar's time: in this window the bar runs past the edge.
  ExpectWindowRows(3, Split("Carrousel Movement  1|Plate Movement      2|Stack Movement      3|"
                            "Lift Movement       4|Gate Movement       5|Shovel Movement     6|"
                            "Turn Movement       7|Error Counters      8||Select now"));
  EXPECT_EQ(selectAt, 17);
}

}  // namespace
