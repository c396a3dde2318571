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
  void TearDown() override { EXPECT_EQ(plc.MovesWhileNotReady(), 0); }
  void Fresh() {
    EXPECT_EQ(plc.MovesWhileNotReady(), 0);
    keys.onPresent = nullptr;
    ResetProgramGlobals(), Configure(), OpenSimPort(), ShowBanner(), GotoXY(1, 13);
    line.ClearWire(), clock.SetLimit(clock.NowMicros() + 3600 * kSecond);
  }
  // Rows 2 to 11 of the window when "Quit ? " showed last.
  void KeepRowsAtQuit() {
    if (Row(1).substr(9, 8) != " Quit ? ") return;
    atQuit.clear();
    for (int row = 2; row <= 11; ++row) atQuit.push_back(Trim(Row(row).substr(9)));
  }
  // The requests, runs of the same one as one.
  Lines Traffic() {
    Lines sent = Sent();
    sent.erase(std::unique(sent.begin(), sent.end()), sent.end());
    return sent;
  }
  Lines atQuit;
};

// The carousel stands at DM1 and never turns; the n-th move of a cycle ends `took[n]`
// hundredths after its target is sent; then Esc, Y and a key for the summary (with no
// move, at 8 s, T20 never reading 1). Moves of 5 and 200 hundredths fall outside the
// counting window, 6 and 199 inside; a target where the carousel stands is not sent and
// not counted; errors are deviations above 6 hundredths, counted only without pauses;
// "max:" follows the largest deviation. Without pauses each line (67 characters, wrapping
// in the window) has a blank row after it; Esc in a pause (answered N) cuts it short.
TEST_F(CarouselTest, CycleLinesCountOnlyMovesInsideTheWindow) {
  const struct {
    std::string range;
    uint16_t dm1;
    std::vector<int> took;
    int escInPause;       // Esc in the pause of this cycle
    std::string targets;  // the DM0 writes, the first to position 1
    Lines rows, summary;  // the window's rows 2 on at the last quit; total, min, max, mean
  } cases[] = {
      // Targets 8 2 3 3 4 8 2 from position 4: steps 4 7 8 8 0 4 7.
      {"0",
       4,
       {5, 6, 199, 200, 106, 143},
       0,
       "1 8 2 3 3 8 2",
       {"   1 Pos: 8 Pth: 4 wt:  0 t0: 1.0  t1: 0.1 te: 0.0 Ers:  0 ma", "x: 0.0", "",
        "   1 Pos: 2 Pth: 7 wt:  0 t0: 1.5  t1: 0.1 te: 1.4 Ers:  1 ma", "x: 1.4", "",
        "   2 Pos: 3 Pth: 8 wt:  0 t0: 1.8  t1: 2.0 te: 0.2 Ers:  2 ma", "x: 1.4", "",
        "   3 Pos: 3 Pth: 8 wt:  0 t0: 1.8  t1: 2.0 te: 0.0 Ers:  2 ma"},
       {"   4", " 0.1", " 2.0", " 1.1"}},
      // Pauses 0 2 0 1; the second cut short: no target, no wait for T20.
      {"abc\r3",
       4,
       {106, 150, 120},
       2,
       "1 8 3 3",
       {"   1 Pos: 8 Pth: 4 wt:  0 t0: 1.0  t1: 1.1 te: 0.1 max: 0.1",
        "   2 Pos: 2 Pth: 7 wt:  2 t0: 1.5  t1: 0.0 te: 0.0 max: 0.1",
        "   2 Pos: 3 Pth: 8 wt:  0 t0: 1.8  t1: 1.5 te: 0.3 max: 0.3",
        "   3 Pos: 3 Pth: 8 wt:  1 t0: 1.8  t1: 1.2 te: 0.6 max: 0.6"},
       {"   3", " 1.1", " 1.5", " 1.3"}},
      // A negative range: no pauses. DM1 far off: steps the table has no time for.
      {"-3",
       200,
       {100},
       0,
       "1 8",
       {"   1 Pos: 8 Pth: -183 wt:  0 t0: 0.0  t1: 1.0 te: 0.0 max: 0.", "0", ""},
       {"   0", "21474836.5", " 0.0", " 0.0"}},
      // T20 never reads 1: Esc ends the preparation's wait and the cycle sends nothing.
      {"0",
       1,
       {},
       0,
       "1",
       {"   1 Pos: 8 Pth: 8 wt:  0 t0: 1.8  t1: 0.0 te: 0.0 Ers:  0 ma"},
       {"   0", "21474836.5", " 0.0", " 0.0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.range);
    Fresh(), plc.SetDm(1, c.dm1), keys.Type(c.range + "\r");
    PositioningTimes.fill(987);
    PositioningTimes[1] = 30, PositioningTimes[5] = 100, PositioningTimes[8] = 150;
    PositioningTimes[9] = 180;
    if (c.took.empty()) Script("________~_Y_x");
    keys.onPresent = [&, next = size_t{0}, pairs = 0,
                      seen = size_t{0}](const console::Screen&) mutable {
      plc.SetRelay(1801, false);  // targets are stored, nothing turns
      if (c.took.empty()) plc.SetTimerDone(20, false);
      KeepRowsAtQuit();
      const auto& wire = line.Wire();  // a frame comes after each request goes out
      const size_t n = wire.size();
      if (n < 3 || std::exchange(seen, n) == n) return;
      const auto &last = wire[n - 1].bytes, &before = wire[n - 2].bytes;
      if (last == "RD DM1\r" && before == "RD DM1\r" && ++pairs == c.escInPause) {
        Script("~_n");  // due in the pause that follows
      } else if (last.starts_with("WR DM0 ") && before == "RD DM1\r") {
        clock.Advance((10000 - (clock.NowMicros() + 55000) % 10000) % 10000);  // whole hundredths
      } else if (last == "RD T20\r" && before.starts_with("WR DM0 ") &&
                 wire[n - 3].bytes == "RD DM1\r" && next < c.took.size()) {
        clock.Advance(std::max<int64_t>(c.took[next] * 10000 - 55000, 0));
        if (++next == c.took.size()) Script("~_Y_x");
      }
    };
    CarouselMovementTest();
    EXPECT_TRUE(SameLines(Lines(atQuit.begin(), atQuit.begin() + c.rows.size()), c.rows));
    std::string targets;
    for (const auto& sent : Sent())
      if (sent.starts_with("WR DM0 ")) targets += sent.substr(7, sent.size() - 8) + " ";
    EXPECT_EQ(targets, c.targets + " ");
    ExpectWindowRows(
        9, {"         Rotation Access Time Summary", "", "         Access Procedure:   Sequence",
            "", "         Total Accesses:        " + c.summary[0],
            "         Min Acs Time:       " + c.summary[1],
            "         Max Acs Time:       " + c.summary[2],
            "         Mean Acs Time:      " + c.summary[3],
            "_______________________________________________________"});
    EXPECT_EQ(LastKey, 'x');
  }
}

// The simulated carousel against its taught times: an Esc typed while a move is timed
// leaves the move to end, is answered at the end of its cycle, and nothing else goes on
// the line or over the rows meanwhile. Seven steps take longer than a move may to count.
TEST_F(CarouselTest, ARealCarouselIsTimedToTheEndOfEveryMove) {
  Fresh();
  for (int p = 1; p <= 56; ++p) PositioningTimes[p] = SimTurnHundredths(p - 1);  // as taught
  keys.onPresent = [this, moves = 0, seen = size_t{0}](const console::Screen&) mutable {
    KeepRowsAtQuit();
    const auto& wire = line.Wire();
    const size_t n = wire.size();
    if (std::exchange(seen, n) != n && wire[n - 1].bytes == "RD T20\r" &&
        wire[n - 2].bytes.starts_with("WR DM0 ") && ++moves >= 3)
      Script(moves == 3 ? "~_n" : "~_Y_x");  // in the moves of cycles 2 and 3
  };
  keys.Type("0\r");
  CarouselMovementTest();
  EXPECT_TRUE(SameLines(
      atQuit, {"   1 Pos: 8 Pth: 7 wt:  0 t0: 3.5  t1: 3.5 te: 0.0 Ers:  0 ma", "x: 0.0", "",
               "   1 Pos: 2 Pth: 3 wt:  0 t0: 1.7  t1: 1.7 te: 0.0 Ers:  0 ma", "x: 0.0", "",
               "   2 Pos: 3 Pth: 1 wt:  0 t0: 0.8  t1: 0.8 te: 0.0 Ers:  0 ma", "x: 0.0", "", ""}));
  Lines sent = Sent();
  sent.erase(std::unique(sent.begin(), sent.end()), sent.end());
  EXPECT_TRUE(SameLines(
      sent, {"RD 1915\r", "ST 1801\r", "RD 1915\r", "WR DM0 1\r", "RD T20\r", "RD DM200\r",
             "RD 1915\r", "RD DM1\r", "WR DM0 8\r", "RD T20\r", "RD DM1\r", "WR DM0 2\r",
             "RD T20\r", "RD DM1\r", "WR DM0 3\r", "RD T20\r", "RD DM200\r", "RD 1915\r"}));
  ExpectWindowRows(13, {"         Total Accesses:           2"});
  EXPECT_EQ(plc.Dm(1), 3);
}

}  // namespace
