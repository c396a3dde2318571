#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/positioning_times.h"
#include "support/virtual_world.h"

using TeachTimesTest = VirtualWorld;

// Each position of the side is timed from home; positions past the table's 56 are not;
// a move the operator quits keeps its old time. The summary lists every position.
TEST_F(TeachTimesTest, EveryPositionOfTheSideIsTimedFromHome) {
  const struct {
    int positions;
    char side;            // the answer to the two-carousel question, ' ' for one carousel
    std::string targets;  // the last DM0 writes, home and position in turn
    int first;            // the summary's row of the first of `rows`
    Lines rows;
  } cases[] = {
      {9,
       ' ',
       "1 1 1 2 1 3 1 4 1 5 1 6 1 7 1 8 1 9",
       10,
       {"         RBC Positioning Times:", "", "         Pos 1   0.3 s", "         Pos 2   0.8 s",
        "         Pos 3   1.2 s", "         Pos 4   1.7 s", "         Pos 5   2.2 s",
        "         Pos 6   2.6 s", "         Pos 7   3.1 s", "         Pos 8   3.6 s",
        "         Pos 9   4.0 s", ""}},
      {9, 'y', "1 1 1 3 1 5 1 7 1 9", 19, {"         Pos 8   9.9 s", "         Pos 9   4.0 s", ""}},
      {9,
       'N',
       "2 2 2 4 2 6 2 8 2 10",
       19,
       {"         Pos 8   3.1 s", "         Pos 9   9.9 s", ""}},
      {60, ' ', "1 55 1 56", 22, {"         Pos 55  24.6 s", "         Pos 56  25.1 s", ""}},
      {57, 'N', "2 54 2 56", 22, {"         Pos 55   9.9 s", "         Pos 56  24.6 s", ""}},
      // Ready stops in the move to 3; Esc and Y: its old time stays.
      {9, 'q', "1 1 1 2 1 3", 13, {"         Pos 2   0.8 s", "         Pos 3   9.9 s"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.positions) + c.side);
    const bool two = c.side == 'y' || c.side == 'N';
    ResetProgramGlobals(), Configure({.positions = c.positions, .twoCarousels = two});
    OpenSimPort(), ShowBanner(), line.ClearWire();
    PositionCount = c.positions;
    PositioningTimes.fill(987);
    bool asked = false;
    keys.onPresent = [&](const console::Screen&) {
      asked |= RowTrim(1) == "         Left Carrousel [Y/N]";
      plc.faults.readyStuck |= c.side == 'q' && Sent().back() == "WR DM0 3\r";
    };
    if (c.side == 'q') keys.Key(kKeyEsc, 30 * kSecond), keys.Key('Y', kSecond);
    if (two) keys.Key(c.side, kSecond);
    keys.Type("x", 3600 * kSecond);  // the summary stays till a key
    TeachPositioningTimes();
    std::string targets;
    for (const auto& s : Sent())
      if (s.starts_with("WR DM0 ")) targets += s.substr(7, s.size() - 8) + " ";
    EXPECT_TRUE(targets.ends_with(c.targets + " ")) << targets;
    ExpectWindowRows(c.first, c.rows);
    EXPECT_EQ(asked, two);
    EXPECT_EQ(plc.MovesWhileNotReady(), 0);
  }
}
