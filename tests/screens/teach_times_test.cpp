#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "support/virtual_world.h"

using TeachTimesTest = VirtualWorld;

// Each position is timed from home, up to the table's 56; a move the operator quits (Ready
// stops in the move to 3, then Esc and Y) keeps its old time, none.
TEST_F(TeachTimesTest, EveryPositionIsTimedFromHome) {
  // Positions, quit, the last DM0 writes (home and position in turn), rows from `first`.
  const std::tuple<int, bool, std::string, int, const char*> cases[] = {
      {9, false, "1 1 1 2 1 3 1 4 1 5 1 6 1 7 1 8 1 9", 10,
       "         RBC Positioning Times:||         Pos 1   0.3 s|         Pos 2   0.8 s|"
       "         Pos 3   1.2 s|         Pos 4   1.7 s|         Pos 5   2.2 s|"
       "         Pos 6   2.6 s|         Pos 7   3.1 s|         Pos 8   3.6 s|"
       "         Pos 9   4.0 s|"},
      {60, false, "1 55 1 56", 22, "         Pos 55  24.6 s|         Pos 56  25.1 s|"},
      {9, true, "1 1 1 2 1 3", 13, "         Pos 2   0.8 s|         Pos 3   0.0 s"},
  };
  for (const auto& [positions, quit, lastTargets, first, rows] : cases) {
    SCOPED_TRACE(positions);
    ShowBanner();
    line.ClearWire();
    keys.onPresent = [&](const console::Screen&) {
      plc.faults.readyStuck |= quit && Sent().back() == "WR DM0 3\r";
    };
    if (quit) Script("_~_Y", 30 * kSecond);
    keys.Type("x", 3600 * kSecond);  // the summary stays till a key
    RunScreen(TeachPositioningTimes, "", {.positions = positions});
    std::string targets;
    for (const auto& s : Sent())
      if (s.starts_with("WR DM0 ")) targets += s.substr(7, s.size() - 8) + " ";
    EXPECT_TRUE(targets.ends_with(lastTargets + " ")) << targets;
    ExpectWindowRows(first, Rows(rows));
  }
}
