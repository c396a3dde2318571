#include "PXN_Lib3/device_ops.h"

#include <algorithm>
#include <utility>

#include "PXN_Lib3/globals.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"


using DeviceOpsTest = VirtualWorld;

std::string WaitReadyNoTrace(int port) {
  WaitReady(port);
  return "";
}

// Turns across the wrap, every position seen, too fast to follow, a wrong arrival at 1,
// replies without a number, no Ready.
TEST_F(DeviceOpsTest, WaitsShowTheTurnMarkWrongArrivalsAtOneAndOfferQuit) {
  struct Case {
    const char* name;
    std::string (*wait)(int);  // returns the trace it wrote
    int from, to;
    // 'w' wrong position, 'e' a cycle of error replies, 's' stuck, 'f' a carousel that
    // passes a position every 150 ms, faster than the tracking reads DM1
    char fault;
    std::string row;  // row 5 up to the cursor
  } cases[] = {{"TrackUntilReady", TrackUntilReady, 3, 1, ' ', "C DEFGHIA"},
               {"TrackUntilReady", TrackUntilReady, 3, 1, 'f', "C DFHA<<<"},
               {"TrackUntilReady", TrackUntilReady, 3, 7, 'w', "C A<<<EFG"},
               {"TrackUntilReady", TrackUntilReady, 9, 1, 'e', "I A"},
               {"TrackRotation", TrackRotation, 3, 1, ' ', "C DEFGHIA"},
               {"TrackRotation", TrackRotation, 3, 1, 'f', "C DEGHA<"},
               {"TrackRotation", TrackRotation, 3, 7, 'w', "C A<EFG"},
               {"WaitReady", WaitReadyNoTrace, 1, 1, 's', ""},
               {"TrackUntilPlateReady", TrackUntilPlateReady, 1, 1, 's', "A "},
               {"TrackRotation", TrackRotation, 1, 1, 's', "A "}};
  OpenSimPort();
  PositionCount = 9;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.name << " from " << c.from << " to " << c.to << " fault '" << c.fault << "'");
    const bool stuck = c.fault == 's';
    Configure({.turnStepMicros = c.fault == 'f' ? 150000 : plcsim::kTurnStepMicros});
    plc.SetRelay(plcsim::kCarouselActivation, true);
    RotateTo(1, c.from);
    WaitReady(1);
    ClrScr();
    line.ClearWire();
    plc.faults = {.readyStuck = stuck, .wrongPosition = c.fault == 'w'};
    if (stuck) {
      for (char answer : {'n', 'Y'}) {
        keys.Key(kKeyEsc, 20 * kSecond);
        keys.Key(answer, kSecond);
      }
    }
    CarPosErrors = 0;
    QuitConfirmed = false;
    int64_t start = NowMs();
    int bells = keys.Bells(), garbled = c.fault == 'e' ? 16 : 0;
    GotoXY(1, 5);
    RotateTo(1, c.to);
    keys.onPresent = [&](auto&) {
      if (!RowTrim(5).empty()) line.faults.errorAnswers += std::exchange(garbled, 0);
    };
    const std::string trace = c.wait(1);
    keys.onPresent = nullptr;
    EXPECT_EQ(trace, c.row);
    int64_t took = NowMs() - start;
    EXPECT_EQ(Row(5).substr(0, WhereX() + 1), c.row + "  ") << "row 5 to the cursor, then blanks";
    EXPECT_EQ(CarPosErrors, c.row.find('<') == std::string::npos ? 0 : 1) << "wrong arrivals";
    EXPECT_EQ(keys.Bells() - bells, stuck ? 2 : 0) << "quit prompts";
    EXPECT_EQ(Row(1).substr(0, 9) == " Quit ?  ", stuck) << "the quit prompt on row 1";
    if (stuck) {
      EXPECT_EQ(took / 1000, 42) << "ended at the second Esc's Y";
    } else {
      EXPECT_TRUE(plc.Relay(1915)) << "Ready ends it";
    }
    EXPECT_LE(static_cast<int64_t>(Sent().size()) * 55, took + 55) << "no spinning";
  }
}

// The random-access test shows and waits a tenth of the scaled value; the scaling stays
// inside 32 bits however often it runs.
TEST_F(DeviceOpsTest, TrackRotationScalesTheWaitTimeByTenWithinThirtyTwoBits) {
  OpenSimPort();
  PositionCount = 9;
  const std::pair<int32_t, int32_t> cases[] = {{7, 70},
                                               {0, 0},
                                               {-3, -30},
                                               {214748364, 2147483640},
                                               {214748365, INT32_MAX},
                                               {INT32_MAX, INT32_MAX},
                                               {-214748365, INT32_MIN}};
  for (auto [before, after] : cases) {
    WaitTime = before;
    TrackRotation(1);  // the carousel stands at Ready: one look and it ends
    EXPECT_EQ(WaitTime, after) << before;
  }
}

// In place, in the width of its start; a quit ends it at the Esc, later ones show nothing.
TEST_F(DeviceOpsTest, CountdownCountsInPlaceInTheWidthOfItsStart) {
  struct Case {
    int32_t n;
    int64_t escAt, ms;  // Esc after the start (0: none); the time it took
    std::string stays;  // "" for none, returning Esc
  } cases[] = {{-1, 0, 0, "0 s"},      {0, 0, 1000, "0 s"},
               {12, 0, 13000, " 0 s"}, {1000, 0, 1001000, "   0 s"},
               {9, 2500, 3500, "0 s"}, {5, 0, 0, ""}};
  clock.SetLimit(int64_t{2} * 3600 * kSecond);
  for (const auto& c : cases) {
    ClrScr();
    GotoXY(5, 3);
    if (c.escAt) {
      keys.Key(kKeyEsc, c.escAt * 1000);
      keys.Key('y', kSecond);
    }
    int64_t before = NowMs();
    EXPECT_EQ(Countdown(c.n), c.stays.empty() ? kEsc : 0);
    EXPECT_EQ(Row(3).substr(0, WhereX() + 1), "    " + c.stays + "  ");  // cursor after it
    EXPECT_EQ(NowMs() - before, c.ms) << c.n;
  }
}

TEST_F(DeviceOpsTest, MovePlateWritesSlotAndRelayBetweenReadyWaitsUnlessQuit) {
  OpenSimPort();
  plc.SetRelay(plcsim::kCarouselActivation, true);
  QuitConfirmed = true;
  MovePlate(1, 1, 1, 1905);
  EXPECT_EQ(RowTrim(1), "") << "a confirmed quit prints nothing";
  EXPECT_EQ(WhereX(), 1);
  ExpectSent({});
  QuitConfirmed = false;
  GotoXY(1, 5);
  MovePlate(1, 1, 1, 1905);  // unload the plate of slot 1.1
  std::vector<std::string> sent = SentSinceMark();
  ASSERT_GE(sent.size(), 6u);
  sent.resize(6);  // then the second Ready wait polls on
  EXPECT_TRUE(SameLines(
      sent, {"RD DM200\r", "RD 1915\r", "RD 1915\r", "WR DM0 1\r", "WR DM5 1\r", "ST 1905\r"}));
  ExpectRows(5, {"  OK OK OK"});
  EXPECT_EQ(WhereX(), 12);
  EXPECT_EQ(plc.Plates().Occupied(), std::vector<std::string>{"station"}) << "it waited";
  // Quit while waiting for a Ready that never comes: the move that waited still goes out
  // once, and the wait after it ends at once.
  plc.faults.readyStuck = true;
  keys.Key(kKeyEsc, 5 * kSecond);
  keys.Key('Y', kSecond);
  Mark();
  MovePlate(1, 2, 2, 1904);
  std::vector<std::string> after = SentSinceMark();
  std::erase_if(after, [](const std::string& r) { return r.starts_with("RD "); });
  EXPECT_TRUE(SameLines(after, {"WR DM0 2\r", "WR DM5 2\r", "ST 1904\r"}));
  EXPECT_TRUE(QuitConfirmed);
}
