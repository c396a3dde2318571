#include "PXN_Lib3/device_ops.h"

#include <functional>
#include <string>
#include <vector>

#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

constexpr int64_t kSecond = 1000000;

// The test's console: scripted keys as usual, and a look at every frame the operator
// would have seen, so a text that is overwritten later (a countdown) can be checked and
// the controller can be changed at a chosen moment.
class WatchedConsole : public console::VirtualBackend {
 public:
  using VirtualBackend::VirtualBackend;
  void Present(const console::Screen& screen) override {
    VirtualBackend::Present(screen);
    if (onFrame) onFrame(screen);
  }
  std::function<void(const console::Screen&)> onFrame;
};

std::vector<std::string> Filtered(const std::vector<std::string>& sent, const std::string& cmd) {
  std::vector<std::string> kept;
  for (const auto& s : sent)
    if (s == cmd) kept.push_back(s);
  return kept;
}

}  // namespace

class DeviceOpsTest : public VirtualWorld {
 protected:
  DeviceOpsTest() {
    console::Install(&ui);
    TextBackground(7);
    TextColor(1);
    OpenSimPort();
    PositionCount = 9;
    plc.SetRelay(plcsim::kCarouselActivation, true);
  }
  ~DeviceOpsTest() override { console::Install(&keys); }

  // Turns the carousel to `position` and waits until it stands there.
  void StandAt(int position) {
    RotateTo(1, position);
    WaitReady(1);
    ClrScr();
    line.ClearWire();
    Mark();
  }
  void ResetQuit() {
    QuitConfirmed = false;
    ClearKeys();
  }
  // What the tracking wrote on `row`, from column 1, trailing blanks dropped.
  std::string Trace(int row) { return RowTrim(row); }

  WatchedConsole ui{clock};
};

// ---- carousel position ----------------------------------------------------------

TEST_F(DeviceOpsTest, ReadCarPosReadsAgainOnlyAfterZero) {
  struct Case {
    uint16_t dm1;
    int32_t expected;
    size_t reads;
    int64_t ms;
  } cases[] = {{5, 5, 1, 0}, {0, 0, 2, 200}};
  for (const auto& c : cases) {
    plc.SetDm(1, c.dm1);
    Mark();
    int64_t before = NowMs();
    EXPECT_EQ(ReadCarPos(1), c.expected);
    EXPECT_EQ(SentSinceMark(), std::vector<std::string>(c.reads, "RD DM1\r")) << c.dm1;
    EXPECT_GE(NowMs() - before, c.ms);  // the second reading waits 200 ms first
  }
}

// ---- tracking ---------------------------------------------------------------------

// Each tracking variant on a normal turn across the wrap and on a turn whose first step
// the controller wrongly reports as position 1.
TEST_F(DeviceOpsTest, TrackingShowsTheTurnAndMarksWrongArrivalsAtOne) {
  struct Tracker {
    const char* name;
    void (*track)(int);
    std::string mark;
    bool redrawsBar;
  } trackers[] = {{"TrackUntilReady", TrackUntilReady, "<<<", true},
                  {"TrackRotation", TrackRotation, "<", false}};
  struct Turn {
    int from, to;
    bool fault;
    std::string start, arrivals;  // the letters the turn passes, in order
  } turns[] = {{3, 1, false, "C ", "DEFGHIA"}, {3, 7, true, "C ", "AEFG"}};
  for (const auto& tracker : trackers) {
    for (const auto& turn : turns) {
      SCOPED_TRACE(std::string(tracker.name) + " from " + std::to_string(turn.from));
      plc.faults.wrongPosition = false;
      StandAt(turn.from);
      plc.faults.wrongPosition = turn.fault;
      CarPosErrors = 0;
      GotoXY(1, 5);
      RotateTo(1, turn.to);
      tracker.track(1);

      std::string trace = Trace(5);
      ASSERT_EQ(trace.substr(0, 2), turn.start);
      // Letters in the order the carousel passed them; a fast turn may skip some between
      // two reads, but never the place where it stops.
      std::string letters;
      for (char c : trace.substr(2))
        if (c != '<') letters += c;
      EXPECT_EQ(letters.back(), turn.arrivals.back()) << trace;
      size_t at = 0;
      for (char c : letters) {
        at = turn.arrivals.find(c, at);
        ASSERT_NE(at, std::string::npos) << trace;
        ++at;
      }
      // The mark follows an arrival at A that was not seen coming from the last position.
      // The wrongly reported first step always gets one; a fast turn that passed the
      // last position between two reads gets one too.
      size_t arrival = trace.find('A', 2);
      ASSERT_NE(arrival, std::string::npos) << trace;
      bool fromLast = arrival > 2 && trace[arrival - 1] == 'I';
      bool marked = trace.compare(arrival + 1, tracker.mark.size(), tracker.mark) == 0;
      EXPECT_EQ(marked, !fromLast) << trace;
      if (turn.fault) {
        EXPECT_TRUE(marked) << trace;
      }
      EXPECT_EQ(CarPosErrors, marked ? 1 : 0) << trace;
      EXPECT_EQ(PrevCarPos, turn.to);
      EXPECT_EQ(WhereX(), static_cast<int>(trace.size()) + 1);  // no line end
      EXPECT_EQ(plc.Relay(1915), true);                         // it ended on Ready
      bool barSeen = !Filtered(Sent(), "RD DM200\r").empty();
      EXPECT_EQ(barSeen, tracker.redrawsBar);
    }
  }
}

TEST_F(DeviceOpsTest, TrackRotationScalesTheWaitByTen) {
  struct Case {
    int32_t before, after;
  } cases[] = {{7, 70}, {0, 0}, {-3, -30}, {300000000, 2147483647}};
  for (const auto& c : cases) {
    WaitTime = c.before;
    TrackRotation(1);
    EXPECT_EQ(WaitTime, c.after) << c.before;
  }
}

TEST_F(DeviceOpsTest, UnreadablePositionsPrintNothingAndKeepThePrevious) {
  StandAt(9);
  GotoXY(1, 5);
  RotateTo(1, 1);
  // The first cycle of the loop gets error answers only: position 0 for that cycle.
  bool once = true;
  ui.onFrame = [&](const console::Screen&) {
    if (once) line.faults.errorAnswers = 12;
    once = false;
  };
  TrackUntilReady(1);
  EXPECT_EQ(Trace(5), "I A");  // a step from the last position to 1 is no error
  EXPECT_EQ(CarPosErrors, 0);

  // A start reading without a number shows the character before "A".
  ClrScr();
  GotoXY(1, 5);
  line.faults.errorAnswers = 4;
  TrackUntilReady(1);
  EXPECT_EQ(Trace(5).substr(0, 3), "@ A");
}

TEST_F(DeviceOpsTest, TrackingAWaitThatNeverEndsOffersQuit) {
  plc.faults.readyStuck = true;
  plc.SetRelay(1915, false);
  plc.SetRelay(1815, false);
  ui.Pause(10 * kSecond);
  ui.Key(kKeyEsc);
  ui.Pause(kSecond);
  ui.Type("n");
  ui.Pause(10 * kSecond);
  ui.Key(kKeyEsc);
  ui.Pause(kSecond);
  ui.Type("y");
  GotoXY(1, 5);
  TrackUntilPlateReady(1);
  EXPECT_EQ(ui.Bells(), 2);
  EXPECT_GE(NowMs(), 22000);
  // Each cycle pauses 100 ms before it asks again.
  EXPECT_LE(static_cast<int64_t>(Filtered(Sent(), "RD 1815\r").size()) * 100, NowMs());
  EXPECT_EQ(Trace(5), "A");

  // The rotation tracking too offers the prompt while the carousel stands and Ready
  // never comes.
  ResetQuit();
  ui.Pause(10 * kSecond);
  ui.Key(kKeyEsc);
  ui.Pause(kSecond);
  ui.Type("y");
  int64_t before = NowMs();
  GotoXY(1, 6);
  TrackRotation(1);
  EXPECT_EQ(Trace(6), "A");
  EXPECT_GE(NowMs() - before, 10000);
  EXPECT_EQ(ui.Bells(), 3);
}

// ---- countdown --------------------------------------------------------------------

TEST_F(DeviceOpsTest, CountdownCountsInPlaceInTheWidthOfItsStart) {
  struct Case {
    int32_t n;
    std::vector<std::string> shown;  // each value as it stood during its second
    std::string last;                // what stays on the row
    int64_t seconds;
  } cases[] = {
      {-1, {}, "0 s", 0},
      {0, {"0 s"}, "0 s", 1},
      {3, {"3 s", "2 s", "1 s", "0 s"}, "0 s", 4},
      {12, {"12 s", "11 s", "10 s", " 9 s", " 8 s", " 7 s", " 6 s", " 5 s", " 4 s", " 3 s",
            " 2 s", " 1 s", " 0 s"}, " 0 s", 13},
  };
  std::vector<std::string> shown;
  ui.onFrame = [&](const console::Screen& screen) {
    std::string seen = screen.RowText(3).substr(4, 6);
    seen.erase(seen.find_last_not_of(' ') + 1);
    if (!seen.empty() && (shown.empty() || shown.back() != seen)) shown.push_back(seen);
  };
  for (const auto& c : cases) {
    ClrScr();
    GotoXY(5, 3);
    shown.clear();
    int64_t before = NowMs();
    EXPECT_EQ(Countdown(c.n), 0);
    EXPECT_EQ(shown, c.shown) << c.n;
    EXPECT_EQ(RowTrim(3), "    " + c.last) << c.n;
    EXPECT_EQ(WhereX(), 5 + static_cast<int>(c.last.size())) << c.n;
    EXPECT_EQ(NowMs() - before, c.seconds * 1000) << c.n;
  }

  // Four digits for 1000: the width comes from the digit count, not a rounded logarithm.
  clock.SetLimit(int64_t{2} * 3600 * kSecond);
  ClrScr();
  GotoXY(5, 3);
  shown.clear();
  Countdown(1000);
  ASSERT_GE(shown.size(), 2u);
  EXPECT_EQ(shown[0], "1000 s");
  EXPECT_EQ(shown[1], " 999 s");
  EXPECT_EQ(RowTrim(3), "       0 s");
  for (int32_t n : {1, 9, 10, 99, 100, 999, 1000, 9999, 10000, 2147483647})
    EXPECT_EQ(DecimalDigits(n), static_cast<int>(std::to_string(n).size())) << n;
}

TEST_F(DeviceOpsTest, CountdownEscThenYesEndsAtZeroAndLaterOnesShowNothing) {
  GotoXY(5, 3);
  ui.Pause(2500000);
  ui.Key(kKeyEsc);
  ui.Pause(500000);
  ui.Type("y");
  EXPECT_EQ(Countdown(9), 0);
  EXPECT_EQ(NowMs(), 3000);  // the running second ends at the Esc, the answer comes later
  EXPECT_EQ(RowTrim(3), "    0 s");
  EXPECT_EQ(Row(1).substr(0, 9), " Quit ?  ");
  EXPECT_EQ(ui.Bells(), 1);

  GotoXY(5, 4);
  EXPECT_EQ(Countdown(5), kEsc);
  EXPECT_EQ(RowTrim(4), "");
  EXPECT_EQ(NowMs(), 3000);
}

TEST_F(DeviceOpsTest, CountdownEscThenNoCarriesOn) {
  GotoXY(5, 3);
  ui.Pause(1500000);
  ui.Key(kKeyEsc);
  ui.Pause(200000);
  ui.Type("n");
  EXPECT_EQ(Countdown(3), 0);
  // 3 for a second, 2 cut short at 1.5 s, 1 until the tick at 2 s, 0 until 3 s.
  EXPECT_EQ(RowTrim(3), "    0 s");
  EXPECT_EQ(NowMs(), 3000);
  EXPECT_FALSE(EscAbort);
}

// ---- Ready wait, target and plate move --------------------------------------------

TEST_F(DeviceOpsTest, WaitReadyRedrawsTheBarAndStopsOnReady) {
  WaitReady(1);
  EXPECT_EQ(Sent(), (std::vector<std::string>{"RD DM200\r", "RD 1915\r", "RD 1915\r"}));
  EXPECT_EQ(RowTrim(1).substr(0, 6), "Plaxon");
}

TEST_F(DeviceOpsTest, ReadyThatNeverComesWaitsForTheOperatorWithoutSpinning) {
  plc.faults.readyStuck = true;
  plc.SetRelay(1915, false);
  ui.Pause(20 * kSecond);
  ui.Key(kKeyEsc);
  ui.Pause(kSecond);
  ui.Type("N");
  ui.Pause(20 * kSecond);
  ui.Key(kKeyEsc);
  ui.Pause(kSecond);
  ui.Type("Y");
  WaitReady(1);
  EXPECT_GE(NowMs(), 42000);  // the operator's two answers came at 21 s and 42 s
  EXPECT_LT(NowMs(), 43000);
  // Every cycle costs its exchanges' time: at most one request per 55 ms.
  EXPECT_LE(static_cast<int64_t>(Sent().size()), NowMs() / 55 + 1);
  EXPECT_EQ(Row(1).substr(0, 9), " Quit ?  ");
  EXPECT_EQ(ui.Bells(), 2);
  Mark();
  WaitReady(1);  // quit stays confirmed: one look, then back
  EXPECT_EQ(SentSinceMark(), (std::vector<std::string>{"RD DM200\r", "RD 1915\r", "RD 1915\r"}));
}

TEST_F(DeviceOpsTest, RotateToWritesTheTargetUnlessQuitting) {
  GotoXY(1, 2);
  RotateTo(1, 7);
  EXPECT_EQ(Sent(), std::vector<std::string>{"WR DM0 7\r"});
  EXPECT_EQ(RowTrim(2), "");  // the reply is not shown
  QuitConfirmed = true;
  RotateTo(1, 3);
  EXPECT_EQ(Sent().size(), 1u);
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
  EXPECT_EQ(plc.Plates().Occupied(), std::vector<std::string>{"station"});  // it waited for the end
  EXPECT_EQ(Row(5).substr(0, 12), "  OK OK OK  ");
  EXPECT_EQ(WhereX(), 12);
}

TEST_F(DeviceOpsTest, MovePlateAfterQuitOrEscSendsAndPrintsNothing) {
  struct Case {
    bool quit, esc;
  } cases[] = {{true, false}, {false, true}};
  for (const auto& c : cases) {
    QuitConfirmed = c.quit;
    EscAbort = c.esc;
    GotoXY(1, 5);
    MovePlate(1, 1, 1, 1905);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(RowTrim(5), "");
    EXPECT_EQ(WhereX(), 1);
  }
  EXPECT_TRUE(plc.Plates().Occupied() == std::vector<std::string>{"1.1"});
}
