#include <algorithm>
#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/positioning_times.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

constexpr int64_t kSecond = 1000000;

class WatchedConsole : public console::VirtualBackend {
 public:
  using VirtualBackend::VirtualBackend;
  void Present(const console::Screen& screen) override {
    VirtualBackend::Present(screen);
    for (int row = 1; row <= screen.Rows(); ++row) {
      std::string text = screen.RowText(row);
      seen.insert(text.erase(text.find_last_not_of(' ') + 1));
    }
    if (onFrame) onFrame();
  }
  std::set<std::string> seen;  // every row on any frame, without trailing blanks
  std::function<void()> onFrame;
};

class TeachTimesTest : public VirtualWorld {
 protected:
  ~TeachTimesTest() override { console::Install(&keys); }

  // `side` answers the two-carousel question; the summary is dismissed long after.
  void Teach(const plcsim::SimConfig& config, char side, int32_t preset) {
    ResetProgramGlobals();
    ui.seen.clear();
    console::Install(&ui);
    Configure(config);
    OpenSimPort();
    PositionCount = config.positions;
    ShowBanner();  // the screen runs in the window the banner leaves
    line.ClearWire();
    PositioningTimes.fill(preset);
    if (config.twoCarousels) ui.Type(std::string(1, side), kSecond);
    ui.Type("x", 3600 * kSecond);
    TeachPositioningTimes();
    ui.onFrame = nullptr;
  }
  std::vector<int> TargetsWritten() {  // the carousel activation as 0
    std::vector<int> targets;
    for (const auto& s : Sent())
      if (s.rfind("WR DM0 ", 0) == 0 || s == "ST 1801\r") targets.push_back(std::atoi(&s[7]));
    return targets;
  }

  WatchedConsole ui{clock};
};

}  // namespace

// One carousel, either side of two, more positions than the table: each move starts at
// home, the table ends it, the summary lists the table (old times where not visited).
TEST_F(TeachTimesTest, EveryPositionOfTheSideIsTimedFromHome) {
  struct Case {
    int positions;
    char side;  // the answer to the two-carousel question, ' ' for one carousel
    int last;
  } cases[] = {{9, ' ', 9}, {9, 'y', 9}, {9, 'N', 10}, {60, ' ', 56}, {56, 'Y', 55}, {57, 'N', 56}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(1, c.side) + std::to_string(c.positions));
    const bool two = c.side != ' ';
    const int first = c.side == 'N' ? 2 : 1, step = two ? 2 : 1;
    const int listed = std::min(c.positions, 56), end = listed == 9 ? 21 : 24;  // scrolled?
    Teach({.positions = c.positions, .twoCarousels = two}, c.side, 987);
    std::vector<int> expected = {0};  // activated first
    for (int p = first; p <= c.last; p += step) expected.insert(expected.end(), {first, p});
    EXPECT_EQ(TargetsWritten(), expected);
    EXPECT_EQ(ui.seen.count("         Left Carrousel [Y/N]"), two ? 1u : 0u);
    EXPECT_EQ(RowTrim(end), "");
    for (int p = 1; p <= 56; ++p) {
      int32_t t = PositioningTimes[p];
      double shown = (t + 5) / 10 / 10.0;  // halves rounded up
      bool visited = p >= first && p <= c.last && (p - first) % step == 0;
      EXPECT_EQ(t != 987, visited) << p;
      char text[40];
      std::snprintf(text, sizeof text, "%18sPos %d  %4.1f s", "", p, shown);
      bool onScreen = p > listed - 9 && p <= listed;
      EXPECT_EQ(onScreen ? RowTrim(end - 1 - listed + p) : text, text);
      if (!visited || p > c.positions) continue;
      std::snprintf(text, sizeof text, "%9sPos. %2d  OK  %4.1f s", "", p, shown);
      EXPECT_EQ(ui.seen.count(text), 1u) << text;
      // Start-up and settling 0.3 s, then 0.15 s a step: rising with the distance.
      EXPECT_NEAR(t, 30 + 15 * (p - first), 16) << p;  // give or take a Ready poll
    }
  }
}

// Ready stops at once, or once position 3 is on its way: the wait offers the quit prompt,
// "Y" ends the teaching, and the interrupted move keeps its old time.
TEST_F(TeachTimesTest, QuitWhileReadyNeverComesKeepsTheTimesNotTaught) {
  struct Case {
    std::string stopAt;
    std::vector<int> targets;
    int taught;
  } cases[] = {{"", {0, 1}, 0}, {"         Pos.  3  OK", {0, 1, 1, 1, 2, 1, 3}, 2}};
  for (const auto& c : cases) {
    int bells = ui.Bells();
    ui.Key(kKeyEsc, 30 * kSecond);
    ui.Type("Y", kSecond);
    ui.onFrame = [&] { plc.faults.readyStuck |= c.stopAt.empty() || ui.seen.count(c.stopAt); };
    Teach({.positions = 9}, ' ', 4242);
    ui.onFrame = nullptr;
    EXPECT_EQ(TargetsWritten(), c.targets);
    EXPECT_EQ(ui.Bells() - bells, 1);
    for (int p = 1; p <= 9; ++p) EXPECT_EQ(PositioningTimes[p] == 4242, p > c.taught) << p;
    EXPECT_EQ(RowTrim(20), std::string(18, ' ') + "Pos 9  42.4 s");
  }
}
