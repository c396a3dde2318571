// The component tests in the banner's window. None sends a move the store is not ready for.
#include <algorithm>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

// Without the bar's DM200 and with runs of a read as one, however often a wait polls.
Lines Merged(const Lines& sent) {
  Lines out;
  for (const auto& s : sent)
    if (s != "RD DM200\r" && (out.empty() || out.back() != s || !s.starts_with("RD ")))
      out.push_back(s);
  return out;
}

class ComponentTest : public VirtualWorld {
 protected:
  ComponentTest() { Fresh(); }
  void TearDown() override { EXPECT_EQ(plc.MovesWhileNotReady(), 0); }
  // A fresh store and program, below "Select now", `typed` scripted ('_' is `pause`).
  void Fresh(std::string_view typed = "", int64_t pause = kSecond) {
    TearDown();
    keys.onPresent = nullptr;
    ResetProgramGlobals();
    Configure();
    OpenSimPort();
    ShowBanner();
    GotoXY(1, 13);
    line.ClearWire();
    Mark();
    clock.SetLimit(clock.NowMicros() + 3600 * kSecond);
    Script(typed, pause);
  }
  // Types `typed` once `request` has gone out `n` times, beside what was typed so before.
  void TypeWhenSent(const std::string& request, int n, std::string typed, int64_t pause = kSecond) {
    keys.onPresent = [=, this, before = keys.onPresent, seen = size_t{0},
                      count = 0](const console::Screen& s) mutable {
      if (before) before(s);
      for (; seen < line.Wire().size(); ++seen) count += line.Wire()[seen].bytes == request;
      if (count >= n) Script(std::exchange(typed, ""), pause);
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

// The plate and lift tests wait for Ready before each move, and show every reply.
TEST_F(ComponentTest, PlateAndLiftTestsWaitForReady) {
  // The test, keys ('_' a minute), the request whose second brings the quit, requests, rows.
  const std::tuple<void (*)(), std::string, std::string, Lines, const char*> cases[] = {
      {PlateMovementTest, "_x", "",
       Requests("RD 1915") + Times(10, Requests("ST 1902,RD 1915,ST 1903,RD 1915")),
       "Total Time      7.7 s"},
      {LiftMovementTest, "300\r", "WR DM6 300\r",
       Requests("RD 1915,WR DM6 0,WR DM6 300,RD 1915,WR DM6 0,RD 1915,RD 15,WR DM6 300,RD 1915,"
                "WR DM6 0,RD 1915,RD 15"),
       "|Enter Path [h<65535] 300|     0 OK     1 OK OK|     2 OK OK|"}};
  for (const auto& [test, typed, quitAfter, sent, rows] : cases) {
    SCOPED_TRACE(rows);
    Fresh(typed, 60 * kSecond);
    TypeWhenSent(quitAfter, 2, "~_Y");
    test();
    EXPECT_TRUE(SameLines(Merged(SentSinceMark()), sent));
    ExpectWindowRows(13, Rows(rows));
  }
}

// Open time and pause are half a second more than entered; an Esc typed meanwhile is
// answered at the cycle's end, not by cutting the pause.
TEST_F(ComponentTest, GatePausesRunOutWhole) {
  // Typed, typed once the gate opened, ms after it opened and after it closed.
  const std::tuple<std::string, std::string, int64_t> cases[] = {
      {"0\r0\r", "", 600'0600}, {"2\r1\r", "", 1500'2500}, {"0\r2\r", "_~_n", 2500'0900}};
  for (const auto& [typed, after, gaps] : cases) {
    Fresh(typed);
    TypeWhenSent("ST 1901\r", 1, after, 300000);
    TypeWhenSent("ST 1902\r", 2, "~_Y");
    GateMovementTest();
    EXPECT_EQ(GapAfter("ST 1901\r") * 10000 + GapAfter("ST 1902\r"), gaps) << Escaped(typed);
  }
  // A pause of 2147483647 s does not wrap round: an hour on, the gate has only closed.
  Fresh("2147483647\r0\r_~", 60 * kSecond);
  EXPECT_THROW(GateMovementTest(), base::VirtualTimeExceeded);
  EXPECT_EQ(Sent().back(), "ST 1902\r");
  ExpectWindowRows(14, {"Enter Pause [s]     2147483647", "Enter Open Time [s] 0", "     1 OK OK"});
}

// The nine counters as the store holds them, read once. N writes nothing and leaves the
// cursor after the question; Y sets them back to 0 in order and shows the result for 1.5 s.
TEST_F(ComponentTest, ErrorCountersAreShownAndResetInOrder) {
  plc.SetDm(213, 4), plc.SetDm(219, 65535);
  Script("n");
  ErrorCountersScreen();
  EXPECT_EQ(WhereX(), 21) << "after \"Reset Counter [Y/N] \"";
  keys.Key('y', 3 * kSecond);
  ErrorCountersScreen();
  ExpectWindowRows(2, Rows("DM211 0|DM212 0|DM213 4|DM214 0|DM215 0|DM216 0|DM217 0|DM218 0|"
                           "DM219 65535||Reset Counter [Y/N]"));
  ExpectSent(Times(2, Requests("RD DM200,RD 1915,RD DM211,RD DM212,RD DM213,RD DM214,RD DM215,"
                               "RD DM216,RD DM217,RD DM218,RD DM219")) +
             Requests("WR DM211 0,WR DM212 0,WR DM213 0,WR DM214 0,WR DM215 0,"
                      "WR DM216 0,WR DM217 0,WR DM218 0,WR DM219 0"));
  EXPECT_EQ(NowMs() * 1000 - line.Wire().back().at, 1555000) << "the last exchange and 1.5 s";
}

// A quit confirmed in one test holds for the later ones: the lift runs no cycle, the plate
// test its ten without waiting for Ready, the others one; 3 runs only the end step.
TEST_F(ComponentTest, AQuitHoldsForTheTestsChosenAfterIt) {
  int selectAt = 0;  // the cursor's column while "Select now" waits
  keys.onPresent = [&](const console::Screen&) {
    if (WhereY() == 12) selectAt = WhereX();
  };
  Script(std::string("\0H_", 3), 3 * kSecond);  // an arrow key is no choice
  Script("5__0\r0\r_~_Y_", 3 * kSecond);  // gate: Esc in its second cycle, answered at its end
  Script("6_0\r_7_0\r_4_100\r_2_x_1_0\r_x_5_0\r0\r_3_~", 30 * kSecond);
  ComponentTestMenu();
  const Lines gate = Requests("RD 1915,ST 1901,RD 1915,ST 1902");
  const Lines end = Requests("WR DM123 0,RD 1915");
  EXPECT_TRUE(SameLines(
      Merged(SentSinceMark()),
      Merged(Requests("RD 1915") + end + gate + gate + end +
             Requests("WR DM123 52917,RD T13,ST 1701,RD T12,RS 1701,RS 1701") + end +
             Requests("WR DM123 52917,RD T11,ST 1702,RD T14,RS 1702,RS 1702") + end +
             Requests("WR DM6 0") + end + Times(10, Requests("ST 1902,RD 1915,ST 1903,RD 1915")) +
             end +
             Requests("ST 1801,RD 1915,WR DM0 1,RD T20,RD 1915,RD DM1,WR DM0 8,RD T20,RD 1915") +
             end + gate + end + end + Requests("WR DM123 0"))));
  ExpectWindowRows(3, Rows("Carrousel Movement  1|Plate Movement      2|Stack Movement      3|"
                           "Lift Movement       4|Gate Movement       5|Shovel Movement     6|"
                           "Turn Movement       7|Error Counters      8||Select now"));
  EXPECT_EQ(selectAt, 17);
}

}  // namespace
