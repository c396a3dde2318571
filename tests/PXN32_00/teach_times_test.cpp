#include <algorithm>
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

// Scripted keys, plus every row the operator saw on any frame (the teaching lines are
// cleared by the summary), and a hook to change the controller at a chosen moment.
class WatchedConsole : public console::VirtualBackend {
 public:
  using VirtualBackend::VirtualBackend;
  void Present(const console::Screen& screen) override {
    VirtualBackend::Present(screen);
    for (int row = 1; row <= screen.Rows(); ++row) {
      std::string text = screen.RowText(row);
      size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
      if (b != std::string::npos) seen.insert(text.substr(b, e - b + 1));
    }
    if (onFrame) onFrame();
  }
  bool Saw(const std::string& text) const { return seen.count(text) > 0; }
  std::set<std::string> seen;
  std::function<void()> onFrame;
};

class TeachTimesTest : public VirtualWorld {
 protected:
  TeachTimesTest() { Start({}); }
  ~TeachTimesTest() override { console::Install(&keys); }

  void Start(const plcsim::SimConfig& config) {
    console::Install(&ui);
    Configure(config);
    OpenSimPort();
    PositionCount = config.positions;
    ShowBanner();  // the screen runs in the window the banner leaves
    line.ClearWire();
  }
  // The operator presses Esc `after` the last key, and answers a second later.
  void QuitPrompt(int64_t after, char answer) {
    ui.Pause(after);
    ui.Key(kKeyEsc);
    ui.Pause(kSecond);
    ui.Type(std::string(1, answer));
  }
  void StopReady() {
    plc.faults.readyStuck = true;
    plc.SetRelay(1915, false);
  }
  // The operator dismisses the summary long after the teaching is done.
  void DismissSummaryLater() {
    ui.Pause(3600 * kSecond);
    ui.Type("x");
  }
  std::vector<int> TargetsWritten() {
    std::vector<int> targets;
    for (const auto& s : Sent())
      if (s.rfind("WR DM0 ", 0) == 0) targets.push_back(std::stoi(s.substr(7)));
    return targets;
  }
  // The summary's lines "Pos p  t.t s" from the window's column 10 (screen column 19),
  // as the times they show, in hundredths; -1 where a line is not as it should be.
  std::vector<int> SummaryTimes(int firstRow, int count) {
    std::vector<int> times;
    for (int p = 1; p <= count; ++p) {
      std::string row = RowTrim(firstRow + p - 1);
      std::string head = std::string(18, ' ') + "Pos " + std::to_string(p) + "  ";
      bool ok = row.size() == head.size() + 6 && row.compare(0, head.size(), head) == 0 &&
                row.substr(row.size() - 2) == " s" && row[row.size() - 4] == '.';
      times.push_back(ok ? static_cast<int>(std::stod(row.substr(head.size(), 4)) * 100 + 0.5)
                         : -1);
    }
    return times;
  }

  WatchedConsole ui{clock};
};

}  // namespace

TEST_F(TeachTimesTest, SingleCarouselTimesEveryPositionFromHome) {
  DismissSummaryLater();
  TeachPositioningTimes();

  std::vector<int> expected;
  for (int p = 1; p <= 9; ++p) expected.insert(expected.end(), {1, p});
  EXPECT_EQ(TargetsWritten(), expected);  // each move after a home move
  auto sent = Sent();
  EXPECT_LT(std::find(sent.begin(), sent.end(), "ST 1801\r") - sent.begin(),
            std::find(sent.begin(), sent.end(), "WR DM0 1\r") - sent.begin());
  EXPECT_TRUE(ui.Saw("Pos.  1  OK"));

  EXPECT_EQ(RowTrim(10), std::string(18, ' ') + "RBC Positioning Times:");
  EXPECT_EQ(RowTrim(11), "");
  std::vector<int> shown = SummaryTimes(12, 9);
  EXPECT_EQ(RowTrim(21), "");
  EXPECT_EQ(LastKey, 'x');
  // Each further position adds a step of the carousel: the times rise with the distance,
  // eight steps of 0.15 s from the first to the last, give or take a Ready poll.
  for (int p = 1; p < 9; ++p) EXPECT_LE(shown[p - 1], shown[p]) << p;
  EXPECT_GT(shown[0], 0);
  EXPECT_NEAR(shown[8] - shown[0], 120, 20);
  for (int p = 1; p <= 9; ++p)
    EXPECT_NEAR(PositioningTimes[p], shown[p - 1], 5) << p;  // what the other tests compare with
}

TEST_F(TeachTimesTest, TwoCarouselsTeachOneSideAndListEveryPosition) {
  struct Case {
    char answer;
    int home;
    std::vector<int> visited;
  } cases[] = {{'y', 1, {1, 3, 5, 7, 9}}, {'N', 2, {2, 4, 6, 8, 10}}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    ResetProgramGlobals();
    Start({.positions = 9, .twoCarousels = true});
    for (auto& t : PositioningTimes) t = 987;
    PositioningTimes[0] = 0;
    ui.Pause(kSecond);  // the question is up by then
    ui.Type(std::string(1, c.answer));
    DismissSummaryLater();
    TeachPositioningTimes();

    std::vector<int> expected;
    for (int p : c.visited) expected.insert(expected.end(), {c.home, p});
    EXPECT_EQ(TargetsWritten(), expected);
    EXPECT_TRUE(ui.Saw("Left Carrousel [Y/N]"));
    EXPECT_TRUE(ui.Saw("Pos.  " + std::to_string(c.home) + "  OK"));
    std::vector<int> shown = SummaryTimes(12, 9);  // all nine, visited or not
    for (int p = 1; p <= 9; ++p) {
      bool visited = p % 2 == c.home % 2;
      EXPECT_NE(shown[p - 1], -1) << p;
      EXPECT_EQ(shown[p - 1] == 990, !visited) << p;  // 987 hundredths show as 9.9
    }
    EXPECT_EQ(PositioningTimes[10] != 987, c.home == 2);  // one past the last is kept too
    EXPECT_EQ(PositioningTimes[11], 987);
  }
}

TEST_F(TeachTimesTest, QuitWhileWaitingForReadyInThePreparation) {
  StopReady();
  QuitPrompt(2 * kSecond, 'Y');
  DismissSummaryLater();
  TeachPositioningTimes();
  // The first home move still goes out once; no move is timed and the table keeps 0.
  EXPECT_EQ(TargetsWritten(), std::vector<int>{1});
  EXPECT_EQ(ui.Bells(), 1);
  EXPECT_EQ(SummaryTimes(12, 9), std::vector<int>(9, 0));
  EXPECT_EQ(RowTrim(12), std::string(18, ' ') + "Pos 1   0.0 s");
}

// The controller stops answering Ready while position 3 turns: the timing wait offers
// the quit prompt, "N" waits on, "Y" ends the teaching without storing that move.
TEST_F(TeachTimesTest, ReadyThatNeverComesDuringATimedMove) {
  for (auto& t : PositioningTimes) t = 4242;
  ui.onFrame = [&] {
    if (ui.Saw("Pos.  3  OK")) StopReady();
  };
  QuitPrompt(60 * kSecond, 'n');
  QuitPrompt(30 * kSecond, 'y');
  DismissSummaryLater();
  TeachPositioningTimes();
  ui.onFrame = nullptr;

  EXPECT_EQ(TargetsWritten(), (std::vector<int>{1, 1, 1, 2, 1, 3}));
  EXPECT_EQ(ui.Bells(), 2);
  std::vector<int> shown = SummaryTimes(12, 9);
  EXPECT_LT(shown[0], 4240);
  EXPECT_LT(shown[1], 4240);
  for (int p = 3; p <= 9; ++p) EXPECT_EQ(shown[p - 1], 4240) << p;  // shown as 42.4
}

// More positions than the table holds: the teaching stops at position 56 on every side,
// the summary lists the table, and nothing outside it is touched.
TEST_F(TeachTimesTest, PositionsBeyondTheTableAreNeitherTaughtNorListed) {
  struct Case {
    bool two;
    char answer;
    int positions;
    int last;
  } cases[] = {{false, ' ', 60, 56}, {true, 'Y', 56, 55}, {true, 'N', 57, 56}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.positions);
    ResetProgramGlobals();
    Start({.positions = c.positions, .twoCarousels = c.two});
    if (c.two) {
      ui.Pause(kSecond);
      ui.Type(std::string(1, c.answer));
    }
    DismissSummaryLater();
    TeachPositioningTimes();

    std::vector<int> targets = TargetsWritten();
    ASSERT_FALSE(targets.empty());
    EXPECT_EQ(targets.back(), c.last);
    for (int t : targets) EXPECT_LE(t, 56);
    EXPECT_EQ(PositioningTimes[0], 0);
    EXPECT_GT(PositioningTimes[c.last], 0);
    // The summary scrolled: its last line is Pos 56, then the empty row before the key.
    // The summary scrolled: its last line is Pos 56, then the empty row before the key.
    EXPECT_EQ(RowTrim(22).substr(0, 25), std::string(18, ' ') + "Pos 55 ");
    EXPECT_EQ(RowTrim(23).substr(0, 25), std::string(18, ' ') + "Pos 56 ");
    EXPECT_EQ(RowTrim(24), "");
    EXPECT_FALSE(ui.Saw("Pos 57") || ui.Saw("Pos. 57  OK") || ui.Saw("Pos. 58  OK"));
  }
}
