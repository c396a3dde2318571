// The carousel movement test, in the window the banner leaves, below the component menu.
#include <algorithm>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/positioning_times.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

class CarouselTest : public VirtualWorld {
 protected:
  CarouselTest() {
    OpenSimPort();
    ShowBanner();
    GotoXY(1, 13);
    line.ClearWire();
    clock.SetLimit(clock.NowMicros() + 3600 * kSecond);
    keys.Type("0\r");  // the pause range: none
  }
  void TearDown() override { EXPECT_EQ(plc.MovesWhileNotReady(), 0); }
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
  ExpectWindowRows(9, Rows("         Rotation Access Time Summary||"
                           "         Access Procedure:   Sequence||"
                           "         Total Accesses:           4|         Min Acs Time:        0.1|"
                           "         Max Acs Time:        2.0|         Mean Acs Time:       1.1|"
                           "_______________________________________________________"));
}

// T20 never reads 1: Esc ends the preparation's wait, and nothing is counted.
TEST_F(CarouselTest, EscEndsAWaitForAT20ThatNeverComes) {
  keys.onPresent = [this](const console::Screen&) {
    plc.SetRelay(1801, false);  // nothing turns
    plc.SetTimerDone(20, false);
  };
  Script("________~_Y_x");
  CarouselMovementTest();
  ExpectWindowRows(13, {"         Total Accesses:           0"});
}

// An Esc typed while a move is timed leaves the move to end and is answered at the end of
// its cycle; nothing else goes on the line meanwhile. Seven steps take too long to count.
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
  ExpectWindowRows(13, {"         Total Accesses:           2"});
}

}  // namespace
