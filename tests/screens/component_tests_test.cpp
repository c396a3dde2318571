// The component tests and the carousel movement; none sends a move the store isn't ready for.
#include <algorithm>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/positioning_times.h"
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

// Open time and pause are half a second more than entered; an Esc waits for the cycle's end.
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

// The nine counters, read once; N writes nothing, Y zeroes them in order and shows it 1.5 s.
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

// A quit holds for the tests chosen after it: the lift runs no cycle, the plate test its ten
// without waiting for Ready, the others one; 3 runs only the end step.
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

// The carousel movement test, run from the component menu with no pause between moves.
class CarouselTest : public ComponentTest {
 protected:
  CarouselTest() { keys.Type("0\r"); }
  // Rows 2 to 11 of the window when "Quit ? " showed last.
  void KeepRowsAtQuit() {
    if (Row(1).substr(9, 8) != " Quit ? ") return;
    atQuit.clear();
    for (int row = 2; row <= 11; ++row) atQuit.push_back(Trim(Row(row).substr(9)));
  }
  Lines atQuit;
};

// The carousel stands at 4, the n-th move takes `took[n]` hundredths: 5 and 200 are outside
// the counting window, 6 and 199 in; 4 is not sent; errors are deviations above 6.
TEST_F(CarouselTest, CycleLinesCountOnlyMovesInsideTheWindow) {
  const int took[] = {5, 6, 199, 200, 106, 143};
  plc.SetDm(1, 4);
  PositioningTimes.fill(987);
  for (const auto& [steps, time] : {std::pair{0, 30}, {4, 100}, {7, 150}, {8, 180}})
    PositioningTimes[steps + 1] = time;
  keys.onPresent = [&, next = size_t{0}, seen = size_t{0}](const console::Screen&) mutable {
    plc.SetRelay(1801, false);  // targets are stored, nothing turns
    KeepRowsAtQuit();
    const auto& wire = line.Wire();  // a frame comes after each request goes out
    const size_t n = wire.size();
    if (n < 3 || std::exchange(seen, n) == n) return;
    const auto &last = wire[n - 1].bytes, &before = wire[n - 2].bytes;
    if (last.starts_with("WR DM0 ") && before == "RD DM1\r") {
      clock.Advance((10000 - (clock.NowMicros() + 55000) % 10000) % 10000);  // whole hundredths
    } else if (last == "RD T20\r" && before.starts_with("WR DM0 ") &&
               wire[n - 3].bytes == "RD DM1\r" && next < std::size(took)) {
      clock.Advance(std::max<int64_t>(took[next] * 10000 - 55000, 0));
      if (++next == std::size(took)) Script("~_Y_x");
    }
  };
  CarouselMovementTest();
  EXPECT_TRUE(SameLines(
      atQuit, Rows("   1 Pos: 8 Pth: 4 wt:  0 t0: 1.0  t1: 0.1 te: 0.0 Ers:  0 ma|x: 0.0||"
                   "   1 Pos: 2 Pth: 7 wt:  0 t0: 1.5  t1: 0.1 te: 1.4 Ers:  1 ma|x: 1.4||"
                   "   2 Pos: 3 Pth: 8 wt:  0 t0: 1.8  t1: 2.0 te: 0.2 Ers:  2 ma|x: 1.4||"
                   "   3 Pos: 3 Pth: 8 wt:  0 t0: 1.8  t1: 2.0 te: 0.0 Ers:  2 ma")));
  std::string targets;
  for (const auto& sent : Sent())
    if (sent.starts_with("WR DM0 ")) targets += sent.substr(7, sent.size() - 8) + " ";
  EXPECT_EQ(targets, "1 8 2 3 3 8 2 ");
  ExpectWindowRows(9,
                   Rows("Rotation Access Time Summary||Access Procedure:   Sequence||"
                        "Total Accesses:           4|Min Acs Time:        0.1|"
                        "Max Acs Time:        2.0|Mean Acs Time:       1.1"),
                   19);
  ExpectWindowRows(17, {std::string(55, '_')});
}

// T20 never reads 1: Esc ends the preparation's wait, and nothing is counted.
TEST_F(CarouselTest, EscEndsAWaitForAT20ThatNeverComes) {
  keys.onPresent = [this](const console::Screen&) {
    plc.SetRelay(1801, false);  // nothing turns
    plc.SetTimerDone(20, false);
  };
  Script("________~_Y_x");
  CarouselMovementTest();
  ExpectWindowRows(13, {"Total Accesses:           0"}, 19);
}

// An Esc in a timed move is answered at its cycle's end; seven steps take too long to count.
TEST_F(CarouselTest, ARealCarouselIsTimedToTheEndOfEveryMove) {
  for (int p = 1; p <= 56; ++p) PositioningTimes[p] = SimTurnHundredths(p - 1);  // as taught
  keys.onPresent = [this, moves = 0, seen = size_t{0}](const console::Screen&) mutable {
    KeepRowsAtQuit();
    const auto& wire = line.Wire();
    const size_t n = wire.size();
    if (std::exchange(seen, n) != n && wire[n - 1].bytes == "RD T20\r" &&
        wire[n - 2].bytes.starts_with("WR DM0 ") && ++moves >= 3)
      Script(moves == 3 ? "~_n" : "~_Y_x");  // in the moves of cycles 2 and 3
  };
  CarouselMovementTest();
  EXPECT_TRUE(SameLines(
      atQuit, Rows("   1 Pos: 8 Pth: 7 wt:  0 t0: 3.5  t1: 3.5 te: 0.0 Ers:  0 ma|x: 0.0||"
                   "   1 Pos: 2 Pth: 3 wt:  0 t0: 1.7  t1: 1.7 te: 0.0 Ers:  0 ma|x: 0.0||"
                   "   2 Pos: 3 Pth: 1 wt:  0 t0: 0.8  t1: 0.8 te: 0.0 Ers:  0 ma|x: 0.0||")));
  Lines sent = Sent();  // runs of the same request as one
  sent.erase(std::unique(sent.begin(), sent.end()), sent.end());
  EXPECT_TRUE(SameLines(sent, Requests("RD 1915,ST 1801,RD 1915,WR DM0 1,RD T20,RD DM200,RD 1915,"
                                       "RD DM1,WR DM0 8,RD T20,RD DM1,WR DM0 2,RD T20,RD DM1,"
                                       "WR DM0 3,RD T20,RD DM200,RD 1915")));
  ExpectWindowRows(13, {"Total Accesses:           2"}, 19);
}

}  // namespace
