// The carousel movement test against a carousel whose moves take the times a test gives.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/positioning_times.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

constexpr int64_t kExchange = 55000;
const std::string kWindow(9, ' ');  // the banner window starts in screen column 10


// Runs of the same request as one.
Lines Deduplicated(const Lines& sent) {
  Lines out;
  for (const auto& s : sent)
    if (out.empty() || out.back() != s) out.push_back(s);
  return out;
}

// One cycle line as the window shows it: 61 columns a row, the rest on the next.
Lines Wrapped(const std::string& line) {
  Lines rows = {kWindow + line.substr(0, 61)};
  if (line.size() > 61) rows.push_back(kWindow + line.substr(61));
  return rows;
}

class CarouselTest : public VirtualWorld {
 protected:
  void SetUp() override {
    OpenSimPort();
    PositionCount = 9;
    ShowBanner();  // the test runs in the window the banner leaves, below the menu
    GotoXY(1, 13);
    line.ClearWire();
    clock.SetLimit(clock.NowMicros() + 3600 * kSecond);  // a test that never ends fails
  }

  // The carousel stands at `standAt` and never turns; the move of the n-th cycle that
  // writes a target ends `took[n]` hundredths after the stopwatch starts (5 and up).
  // After the last one, Esc, Y and a key for the summary. `escInPause`: Esc, answered N,
  // in the pause of that cycle. `stuckT20`: T20 never reads 1.
  void SteerMoves(uint16_t standAt, const std::vector<int>& took, int escInPause = 0,
                  bool stuckT20 = false) {
    plc.SetDm(1, standAt);
    keys.onPresent = [this, took, escInPause, stuckT20, next = size_t{0}, pairs = 0,
                      seen = size_t{0}](const console::Screen&) mutable {
      plc.SetRelay(1801, false);  // targets are stored, nothing turns
      if (stuckT20) plc.SetTimerDone(20, false);
      if (RowTrim(13).starts_with(kWindow + "Enter Pause"))  // the preparation, last seen
        prepared = {RowTrim(13), RowTrim(14), RowTrim(15)};
      if (Row(1).substr(9).starts_with(" Quit ? ")) {  // the last prompt is kept
        atQuit.clear();
        for (int row = 1; row <= 25; ++row) atQuit.push_back(RowTrim(row));
      }
      // Frames come after each request is written, before its answer is read.
      const auto& wire = line.Wire();
      const size_t n = wire.size();
      if (n < 3 || std::exchange(seen, n) == n) return;
      const auto &last = wire[n - 1].bytes, &before = wire[n - 2].bytes;
      if (last == "RD DM1\r" && before == "RD DM1\r" && ++pairs == escInPause) {
        keys.Key(kKeyEsc), keys.Key('n', kSecond);  // due in the pause that follows
      } else if (last.starts_with("WR DM0 ") && before == "RD DM1\r") {
        // The stopwatch starts as this exchange ends: on a whole hundredth.
        clock.Advance((10000 - (clock.NowMicros() + kExchange) % 10000) % 10000);
      } else if (last == "RD T20\r" && before.starts_with("WR DM0 ") &&
                 wire[n - 3].bytes == "RD DM1\r" && next < took.size()) {
        clock.Advance(std::max<int64_t>(took[next] * 10000 - kExchange, 0));
        if (++next == took.size())
          keys.Key(kKeyEsc), keys.Key('Y', kSecond), keys.Key('x', kSecond);
      }
    };
  }

  Lines atQuit;    // the screen rows when "Quit ? " showed last
  Lines prepared;  // rows 13 to 15 before the cycles cleared them
};

// Short, long and skipped moves; deviations at the tolerance; the running maximum; both
// line layouts, the long one wrapping in the window with a blank line after it; Esc in
// a pause; a carousel reporting a position outside 1..9.
TEST_F(CarouselTest, CycleLinesCountOnlyMovesInsideTheWindow) {
  struct Case {
    int range;
    uint16_t standAt;
    std::vector<int> took;  // hundredths, for each cycle that writes a target
    int escInPause;         // Esc (answered N) in this cycle's pause; 0: none
    std::string targets;    // the DM0 writes, the initial one to 1 first
    Lines lines;
    Lines summary;  // total, min, max, mean
    // clang-format off
  } cases[] = {
      // Targets 8 2 3 3 4 8 2 from position 4: steps 4 7 8 8 0 4 7.
      {0, 4, {5, 6, 199, 200, 106, 143}, 0, "1 8 2 3 3 8 2",
       {"   1 Pos: 8 Pth: 4 wt:  0 t0: 1.0  t1: 0.1 te: 0.0 Ers:  0 max: 0.0",
        "   1 Pos: 2 Pth: 7 wt:  0 t0: 1.5  t1: 0.1 te: 1.4 Ers:  1 max: 1.4",
        "   2 Pos: 3 Pth: 8 wt:  0 t0: 1.8  t1: 2.0 te: 0.2 Ers:  2 max: 1.4",
        "   3 Pos: 3 Pth: 8 wt:  0 t0: 1.8  t1: 2.0 te: 0.0 Ers:  2 max: 1.4",
        "   3 Pos: 4 Pth: 0 wt:  0 t0: 0.3  t1: 0.1 te: 0.0 Ers:  2 max: 1.4",
        "   3 Pos: 8 Pth: 4 wt:  0 t0: 1.0  t1: 1.1 te: 0.1 Ers:  2 max: 1.4",
        "   4 Pos: 2 Pth: 7 wt:  0 t0: 1.5  t1: 1.4 te: 0.1 Ers:  3 max: 1.4"},
       {"   4", " 0.1", " 2.0", " 1.1"}},
      // Pauses 0 2 0 1; the second one cut short by Esc: no target, no wait for T20.
      {3, 4, {106, 150, 120}, 2, "1 8 3 3",
       {"   1 Pos: 8 Pth: 4 wt:  0 t0: 1.0  t1: 1.1 te: 0.1 max: 0.1",
        "   2 Pos: 2 Pth: 7 wt:  2 t0: 1.5  t1: 0.0 te: 0.0 max: 0.1",
        "   2 Pos: 3 Pth: 8 wt:  0 t0: 1.8  t1: 1.5 te: 0.3 max: 0.3",
        "   3 Pos: 3 Pth: 8 wt:  1 t0: 1.8  t1: 1.2 te: 0.6 max: 0.6"},
       {"   3", " 1.1", " 1.5", " 1.3"}},
      // DM1 far off: a step count the table has no time for; from 0 all nine count.
      {0, 200, {100}, 0, "1 8",
       {"   1 Pos: 8 Pth: -183 wt:  0 t0: 0.0  t1: 1.0 te: 0.0 Ers:  0 max: 0.0"},
       {"   0", "21474836.5", " 0.0", " 0.0"}},
      {1, 0, {100}, 0, "1 8",
       {"   1 Pos: 8 Pth: 8 wt:  0 t0: 1.8  t1: 1.0 te: 0.8 max: 0.8"},
       {"   1", " 1.0", " 1.0", " 1.0"}},
      // A negative range: no pauses; the layout of a range that is not 0.
      {-3, 4, {106}, 0, "1 8",
       {"   1 Pos: 8 Pth: 4 wt:  0 t0: 1.0  t1: 1.1 te: 0.1 max: 0.1"},
       {"   1", " 1.1", " 1.1", " 1.1"}},
  };
  // clang-format on
  EXPECT_EQ(cases[0].lines[0].size(), 67u);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.lines[0]);
    ResetProgramGlobals(), Configure(), SetUp();
    for (int p = 1; p <= 56; ++p) PositioningTimes[p] = 987;
    PositioningTimes[1] = 30, PositioningTimes[5] = 100;
    PositioningTimes[8] = 150, PositioningTimes[9] = 180;
    SteerMoves(c.standAt, c.took, c.escInPause);
    keys.Type("abc\r" + std::to_string(c.range) + "\r");  // not a number: asked again
    CarouselMovementTest();
    Lines rows;  // from row 2: each line, wrapped when long, and a blank one without pauses
    for (const auto& l : c.lines) {
      for (const auto& row : Wrapped(l)) rows.push_back(row);
      if (c.range == 0) rows.push_back("");
    }
    ASSERT_EQ(atQuit.size(), 25u);
    EXPECT_EQ(atQuit[0].substr(0, 62),
              kWindow + " Quit ?   ComPort 1  SNr. 0  SysStat 0000    Ready 1");
    EXPECT_TRUE(SameLines(Lines(atQuit.begin() + 1, atQuit.begin() + 1 + rows.size()), rows));
    EXPECT_EQ(atQuit[rows.size() + 1], "");
    ExpectRows(9, {"                  Rotation Access Time Summary", "",
                   "                  Access Procedure:   Sequence", "",
                   "                  Total Accesses:        " + c.summary[0],
                   "                  Min Acs Time:       " + c.summary[1],
                   "                  Max Acs Time:       " + c.summary[2],
                   "                  Mean Acs Time:      " + c.summary[3],
                   "         _______________________________________________________"});
    EXPECT_EQ(LastKey, 'x');
    std::string targets;
    for (const auto& sent : Sent())
      if (sent.starts_with("WR DM0 ")) targets += " " + sent.substr(7, sent.size() - 8);
    EXPECT_EQ(targets, " " + c.targets);
  }
}

// Esc during the preparation's Ready wait or at an initial move whose T20 never comes:
// the test goes on to the cycle, which sends nothing, and asks "Quit ? ".
TEST_F(CarouselTest, EscEndsTheWaitsOfThePreparation) {
  const Lines start = {"RD 1915\r", "ST 1801\r", "RD 1915\r", "WR DM0 1\r"};
  const Lines bar = {"RD DM200\r", "RD 1915\r"}, poll = {"RD T20\r"};
  struct Case {
    bool readyStuck, stuckT20;
    Lines sent;             // repeated polls as one
    std::string activated;  // the row after the prompt while T20 is awaited
  } cases[] = {
      {true, false, Lines{"RD 1915\r"} + bar, ""},
      // T20 polled back to back, and nothing else, until the Esc; then the summary's bar.
      {false, true, start + poll + bar, "Activate Carousel OK  Pos. OK"},
  };
  for (const auto& c : cases) {
    ResetProgramGlobals(), Configure(), SetUp();
    plc.faults.readyStuck = c.readyStuck;
    plc.SetRelay(1915, !c.readyStuck);
    SteerMoves(1, {}, 0, c.stuckT20);
    keys.Type("0\r");
    keys.Key(kKeyEsc, 8 * kSecond), keys.Key('Y', kSecond), keys.Key('x', kSecond);
    const int64_t begin = NowMs();
    CarouselMovementTest();
    EXPECT_TRUE(SameLines(Deduplicated(Sent()), c.sent));
    EXPECT_LE(static_cast<int64_t>(Sent().size()) * 55, NowMs() - begin);  // no spinning
    if (!c.activated.empty()) {
      EXPECT_EQ(prepared, (Lines{kWindow + "Enter Pause range 0..x s 0", kWindow + c.activated,
                                 kWindow + "Init Pos.1 .."}));
    }
    EXPECT_EQ(atQuit[1], kWindow + "   1 Pos: 8 Pth: 8 wt:  0 t0: 0.0  t1: 0.0 te: 0.0 Ers:  0 ma");
    ExpectRows(13, {"                  Total Accesses:           0",
                    "                  Min Acs Time:       21474836.5",
                    "                  Max Acs Time:        0.0",
                    "                  Mean Acs Time:       0.0"});
  }
}

// The simulated carousel against its taught times: an Esc typed while a move is timed
// leaves the move to end and is answered at the end of the cycle. Seven steps take longer
// than a move may to be counted: timed to the end as well, shown and not counted.
TEST_F(CarouselTest, ARealCarouselIsTimedToTheEndOfEveryMove) {
  for (int p = 1; p <= 56; ++p) PositioningTimes[p] = SimTurnHundredths(p - 1);  // as taught
  keys.onPresent = [this, moves = 0, seen = size_t{0}](const console::Screen&) mutable {
    if (Row(1).substr(9).starts_with(" Quit ? ")) {
      atQuit.clear();
      for (int row = 1; row <= 25; ++row) atQuit.push_back(RowTrim(row));
    }
    const auto& wire = line.Wire();
    const size_t n = wire.size();
    if (n < 2 || std::exchange(seen, n) == n || wire[n - 1].bytes != "RD T20\r" ||
        !wire[n - 2].bytes.starts_with("WR DM0 ") || ++moves < 3)
      return;
    keys.Key(kKeyEsc);  // in the move of cycle 2, answered N; then in cycle 3, Y
    keys.Key(moves == 3 ? 'n' : 'Y', kSecond);
    if (moves == 4) keys.Key('x', kSecond);
  };
  keys.Type("0\r");
  CarouselMovementTest();
  // Nothing is drawn over the cycle rows while a long move is awaited.
  ASSERT_EQ(atQuit.size(), 25u);
  EXPECT_TRUE(
      SameLines(Lines(atQuit.begin() + 1, atQuit.begin() + 10),
                Lines{kWindow + "   1 Pos: 8 Pth: 7 wt:  0 t0: 3.5  t1: 3.5 te: 0.0 Ers:  0 ma",
                      kWindow + "x: 0.0", "",
                      kWindow + "   1 Pos: 2 Pth: 3 wt:  0 t0: 1.7  t1: 1.7 te: 0.0 Ers:  0 ma",
                      kWindow + "x: 0.0", "",
                      kWindow + "   2 Pos: 3 Pth: 1 wt:  0 t0: 0.8  t1: 0.8 te: 0.0 Ers:  0 ma",
                      kWindow + "x: 0.0", ""}));
  ExpectRows(13, {"                  Total Accesses:           2"});
  EXPECT_EQ(plc.Dm(1), 3);
}

}  // namespace
