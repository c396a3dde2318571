#include "PXN_Lib3/device_ops.h"

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "PXN_Lib3/globals.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

constexpr int64_t kSecond = 1000000;

// Scripted keys, and a look at every frame the operator saw: a countdown overwrites
// itself, and a test may change the controller at a chosen moment.
class WatchedConsole : public console::VirtualBackend {
 public:
  using VirtualBackend::VirtualBackend;
  void Present(const console::Screen& screen) override {
    VirtualBackend::Present(screen);
    if (onFrame) onFrame(screen);
  }
  std::function<void(const console::Screen&)> onFrame;
};

class DeviceOpsTest : public VirtualWorld {
 protected:
  DeviceOpsTest() {
    console::Install(&ui);
    OpenSimPort();
    PositionCount = 9;
    plc.SetRelay(plcsim::kCarouselActivation, true);
  }
  ~DeviceOpsTest() override { console::Install(&keys); }

  void StandAt(int position) {
    RotateTo(1, position);
    WaitReady(1);
    ClrScr();
    line.ClearWire();
  }
  void StopReady() {
    plc.faults.readyStuck = true;
    plc.SetRelay(1915, false);
    plc.SetRelay(1815, false);
  }
  // The operator presses Esc `after` the last key, and answers a second later.
  void QuitPrompt(int64_t after, char answer) {
    ui.Pause(after);
    ui.Key(kKeyEsc);
    ui.Pause(kSecond);
    ui.Type(std::string(1, answer));
  }
  size_t Count(const std::string& command) {
    size_t n = 0;
    for (const auto& s : Sent()) n += s == command;
    return n;
  }

  WatchedConsole ui{clock};
};

}  // namespace

// ---- tracking ---------------------------------------------------------------------

// Both tracking variants on a normal turn across the wrap and on a turn whose first
// step the controller wrongly reports as position 1.
TEST_F(DeviceOpsTest, TrackingShowsTheTurnAndMarksWrongArrivalsAtOne) {
  struct Tracker {
    void (*track)(int);
    std::string mark;
    bool redrawsBar;
  } trackers[] = {{TrackUntilReady, "<<<", true}, {TrackRotation, "<", false}};
  struct Turn {
    int from, to;
    bool fault;
    std::string passed;  // the letters the turn passes, in order
  } turns[] = {{3, 1, false, "DEFGHIA"}, {3, 7, true, "AEFG"}};
  for (const auto& tracker : trackers) {
    for (const auto& turn : turns) {
      SCOPED_TRACE(tracker.mark + " from " + std::to_string(turn.from));
      plc.faults.wrongPosition = false;
      StandAt(turn.from);
      plc.faults.wrongPosition = turn.fault;
      CarPosErrors = 0;
      GotoXY(1, 5);
      RotateTo(1, turn.to);
      tracker.track(1);

      std::string trace = RowTrim(5);
      ASSERT_EQ(trace.substr(0, 2), "C ");
      EXPECT_EQ(WhereX(), static_cast<int>(trace.size()) + 1);  // no line end
      // In the order passed; a fast turn may skip letters between two reads, never the end.
      std::string letters;
      for (char c : trace.substr(2))
        if (c != '<') letters += c;
      EXPECT_EQ(letters.back(), turn.passed.back()) << trace;
      size_t at = 0;
      for (char c : letters) {
        at = turn.passed.find(c, at);
        ASSERT_NE(at, std::string::npos) << trace;
        ++at;
      }
      // Marked: an arrival at A not seen coming from the last position, I. The wrongly
      // reported step always is; a fast turn that passed I between two reads is too.
      size_t arrival = trace.find('A', 2);
      bool fromLast = trace[arrival - 1] == 'I';
      bool marked = trace.compare(arrival + 1, tracker.mark.size(), tracker.mark) == 0;
      EXPECT_EQ(marked, !fromLast || turn.fault) << trace;
      EXPECT_EQ(CarPosErrors, marked ? 1 : 0) << trace;
      EXPECT_EQ(PrevCarPos, turn.to);
      EXPECT_TRUE(plc.Relay(1915));  // it ended on Ready
      EXPECT_EQ(Count("RD DM200\r") > 0, tracker.redrawsBar);
    }
  }
  WaitTime = 300000000;  // scaled by ten, kept within 32 bits
  TrackRotation(1);
  EXPECT_EQ(WaitTime, 2147483647);
}

TEST_F(DeviceOpsTest, UnreadablePositionsPrintNothingAndKeepThePrevious) {
  StandAt(9);
  GotoXY(1, 5);
  RotateTo(1, 1);
  bool once = true;  // the loop's first cycle gets error answers only: position 0
  ui.onFrame = [&](const console::Screen&) {
    if (once) line.faults.errorAnswers = 12;
    once = false;
  };
  TrackUntilReady(1);
  EXPECT_EQ(RowTrim(5), "I A");  // last position to 1: no mark
  EXPECT_EQ(CarPosErrors, 0);

  ClrScr();
  GotoXY(1, 5);
  line.faults.errorAnswers = 4;  // a start reading without a number
  TrackUntilReady(1);
  EXPECT_EQ(RowTrim(5).substr(0, 3), "@ A");
}

TEST_F(DeviceOpsTest, TrackingAReadyThatNeverComesOffersQuit) {
  StopReady();
  QuitPrompt(10 * kSecond, 'n');
  QuitPrompt(10 * kSecond, 'y');
  GotoXY(1, 5);
  TrackUntilPlateReady(1);
  EXPECT_EQ(ui.Bells(), 2);
  EXPECT_EQ(RowTrim(5), "A");
  EXPECT_LE(static_cast<int64_t>(Count("RD 1815\r")) * 100, NowMs());  // 100 ms a cycle

  // The rotation tracking too, while the carousel stands still.
  QuitConfirmed = false;
  QuitPrompt(10 * kSecond, 'y');
  GotoXY(1, 6);
  TrackRotation(1);
  EXPECT_EQ(RowTrim(6), "A");
  EXPECT_EQ(ui.Bells(), 3);
}

// ---- countdown --------------------------------------------------------------------

TEST_F(DeviceOpsTest, CountdownCountsInPlaceInTheWidthOfItsStart) {
  struct Case {
    int32_t n;
    std::vector<std::string> shown;  // each value as it stood during its second
    std::string last;                // what stays on the row
  } cases[] = {
      {-1, {}, "0 s"},
      {0, {"0 s"}, "0 s"},
      {3, {"3 s", "2 s", "1 s", "0 s"}, "0 s"},
      {12,
       {"12 s", "11 s", "10 s", " 9 s", " 8 s", " 7 s", " 6 s", " 5 s", " 4 s", " 3 s", " 2 s",
        " 1 s", " 0 s"},
       " 0 s"},
      {1000, {"1000 s", " 999 s"}, "   0 s"},  // digits counted, not a rounded logarithm
  };
  std::vector<std::string> shown;
  ui.onFrame = [&](const console::Screen& screen) {
    std::string seen = screen.RowText(3).substr(4, 6);
    seen.erase(seen.find_last_not_of(' ') + 1);
    if (!seen.empty() && (shown.empty() || shown.back() != seen)) shown.push_back(seen);
  };
  clock.SetLimit(int64_t{2} * 3600 * kSecond);
  for (const auto& c : cases) {
    ClrScr();
    GotoXY(5, 3);
    shown.clear();
    int64_t before = NowMs();
    EXPECT_EQ(Countdown(c.n), 0);
    shown.resize(std::min(shown.size(), c.shown.size()));
    EXPECT_EQ(shown, c.shown) << c.n;
    EXPECT_EQ(RowTrim(3), "    " + c.last) << c.n;
    EXPECT_EQ(WhereX(), 5 + static_cast<int>(c.last.size())) << c.n;
    EXPECT_EQ(NowMs() - before, (c.n + 1) * 1000) << c.n;  // one tick per value shown
  }
}

TEST_F(DeviceOpsTest, CountdownQuitEndsItAtZeroAndLaterOnesShowNothing) {
  GotoXY(5, 3);
  QuitPrompt(2500000, 'y');
  EXPECT_EQ(Countdown(9), 0);
  EXPECT_EQ(NowMs(), 3500);  // the running second ended at the Esc
  EXPECT_EQ(RowTrim(3), "    0 s");
  EXPECT_EQ(Row(1).substr(0, 9), " Quit ?  ");

  GotoXY(5, 4);
  EXPECT_EQ(Countdown(5), kEsc);
  EXPECT_EQ(RowTrim(4), "");
  EXPECT_EQ(NowMs(), 3500);
}

// ---- Ready wait and plate move ----------------------------------------------------

TEST_F(DeviceOpsTest, ReadyThatNeverComesWaitsForTheOperatorWithoutSpinning) {
  StopReady();
  QuitPrompt(20 * kSecond, 'N');
  QuitPrompt(20 * kSecond, 'Y');
  WaitReady(1);
  EXPECT_GE(NowMs(), 42000);
  EXPECT_LT(NowMs(), 43000);
  EXPECT_LE(static_cast<int64_t>(Sent().size()), NowMs() / 55 + 1);  // 55 ms per request
  EXPECT_EQ(ui.Bells(), 2);
  Mark();
  WaitReady(1);  // quit stays confirmed: one look, then back
  EXPECT_EQ(SentSinceMark(), (std::vector<std::string>{"RD DM200\r", "RD 1915\r", "RD 1915\r"}));
}

TEST_F(DeviceOpsTest, MovePlateWritesSlotAndRelayBetweenTwoReadyWaits) {
  GotoXY(1, 5);
  MovePlate(1, 1, 1, 1905);  // unload the plate of slot 1.1
  std::vector<std::string> sent = Sent();
  ASSERT_GE(sent.size(), 9u);
  EXPECT_EQ(std::vector<std::string>(sent.begin(), sent.begin() + 6),
            (std::vector<std::string>{"RD DM200\r", "RD 1915\r", "RD 1915\r", "WR DM0 1\r",
                                      "WR DM5 1\r", "ST 1905\r"}));
  EXPECT_EQ(sent.back(), "RD 1915\r");
  EXPECT_EQ(plc.Plates().Occupied(), std::vector<std::string>{"station"});  // it waited
  EXPECT_EQ(Row(5).substr(0, 12), "  OK OK OK  ");
  EXPECT_EQ(WhereX(), 12);
}

TEST_F(DeviceOpsTest, NothingMovesAfterQuitOrEsc) {
  struct Case {
    bool quit, esc;
  } cases[] = {{true, false}, {false, true}};
  for (const auto& c : cases) {
    QuitConfirmed = c.quit;
    EscAbort = c.esc;
    GotoXY(1, 5);
    MovePlate(1, 1, 1, 1905);
    if (c.quit) RotateTo(1, 3);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(RowTrim(5), "");
    EXPECT_EQ(WhereX(), 1);
  }
  EXPECT_EQ(plc.Plates().Occupied(), std::vector<std::string>{"1.1"});
}
