#include <algorithm>
#include <cstdio>
#include <set>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/positioning_times.h"
#include "support/virtual_world.h"

using TeachTimesTest = VirtualWorld;

// One carousel, either side of two, more positions than the table, a quit at a Ready that
// never comes: each move starts at home; the summary lists the table, old times where not taught.
TEST_F(TeachTimesTest, EveryPositionOfTheSideIsTimedFromHome) {
  constexpr int64_t kSecond = 1000000;
  struct Case {
    int positions;
    char side;                     // the answer to the two-carousel question, ' ' for one carousel
    int last;                      // the last position taught
    const char* stopAt = nullptr;  // Ready stops once a row reads this
    std::vector<int> interrupted = {};  // then the DM0 writes of the move it stopped
  } cases[] = {{9, ' ', 9},          {9, 'y', 9},
               {9, 'N', 10},         {60, ' ', 56},
               {56, 'Y', 55},        {57, 'N', 56},
               {9, ' ', 0, "", {1}}, {9, ' ', 2, "         Pos.  3  OK", {1, 3}}};
  std::set<std::string> seen;  // every row of every frame, without trailing blanks
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(1, c.side) + std::to_string(c.positions) + std::to_string(c.last));
    const bool two = c.side != ' ';
    const int first = c.side == 'N' ? 2 : 1, step = two ? 2 : 1, bells = keys.Bells();
    const int listed = std::min(c.positions, 56), end = listed == 9 ? 21 : 24;  // scrolled?
    ResetProgramGlobals();
    seen.clear();
    keys.onPresent = [&](const console::Screen& screen) {
      for (int row = 1; row <= screen.Rows(); ++row) {
        std::string text = screen.RowText(row);
        seen.insert(text.erase(text.find_last_not_of(' ') + 1));
      }
      plc.faults.readyStuck |= c.stopAt && seen.count(c.stopAt);
    };
    Configure({.positions = c.positions, .twoCarousels = two});
    OpenSimPort();
    PositionCount = c.positions;
    ShowBanner();  // the screen runs in the window the banner leaves
    line.ClearWire();
    PositioningTimes.fill(987);
    if (c.stopAt) {
      keys.Key(kKeyEsc, 30 * kSecond);
      keys.Key('Y', kSecond);
    }
    if (two) keys.Key(c.side, kSecond);
    keys.Type("x", 3600 * kSecond);  // the summary stays till a key
    TeachPositioningTimes();
    std::vector<int> expected = {0}, targets;  // the DM0 writes, the activation first as 0
    for (int p = first; p <= c.last; p += step) expected.insert(expected.end(), {first, p});
    expected.insert(expected.end(), c.interrupted.begin(), c.interrupted.end());
    for (const auto& s : Sent())
      if (s.rfind("WR DM0 ", 0) == 0 || s == "ST 1801\r") targets.push_back(std::atoi(&s[7]));
    EXPECT_EQ(targets, expected);
    EXPECT_EQ(keys.Bells() - bells, c.stopAt ? 1 : 0);
    EXPECT_EQ(seen.count("         Left Carrousel [Y/N]"), two ? 1u : 0u);
    EXPECT_EQ(RowTrim(end), "");
    for (int p = 1; p <= 56; ++p) {
      int32_t t = PositioningTimes[p];
      bool taught = p >= first && p <= c.last && (p - first) % step == 0;
      EXPECT_EQ(t != 987, taught) << p;
      char text[40];
      std::snprintf(text, sizeof text, "%18sPos %d  %4.1f s", "", p, (t + 5) / 10 / 10.0);
      const bool onScreen = p > listed - 9 && p <= listed;  // the summary's last nine rows
      if (onScreen) {
        EXPECT_EQ(RowTrim(end - 1 - listed + p), text) << "summary row of " << p;
      }
      if (!taught || p > c.positions) continue;
      std::snprintf(text, sizeof text, "%9sPos. %2d  OK  %4.1f s", "", p, (t + 5) / 10 / 10.0);
      EXPECT_EQ(seen.count(text), 1u) << text;
      // Start-up and settling, then a step for every position: rising with the distance.
      EXPECT_NEAR(t, SimTurnHundredths(p - first), 16) << p;  // give or take a Ready poll
    }
  }
}
