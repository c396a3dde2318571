#include "PXN_Lib3/device_ops.h"

#include <algorithm>
#include <utility>

#include "PXN_Lib3/globals.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

constexpr int64_t kSecond = 1000000;

using DeviceOpsTest = VirtualWorld;

// Turns across the wrap, fast ones, a wrong arrival at 1, replies without a number, no Ready.
TEST_F(DeviceOpsTest, WaitsShowTheTurnMarkWrongArrivalsAtOneAndOfferQuit) {
  struct Case {
    void (*wait)(int);
    int from, to;
    char fault;  // 'w' wrong position, 'e' a cycle of error replies, 's' stuck
    std::string row;
  } cases[] = {{TrackUntilReady, 3, 1, ' ', "C DFHA<<<"}, {TrackUntilReady, 3, 7, 'w', "C A<<<FG"},
               {TrackUntilReady, 9, 1, 'e', "I A"},       {TrackRotation, 3, 1, ' ', "C DEGHA<"},
               {TrackRotation, 3, 7, 'w', "C A<FG"},      {WaitReady, 1, 1, 's', ""},
               {TrackUntilPlateReady, 1, 1, 's', "A "},   {TrackRotation, 1, 1, 's', "A "}};
  OpenSimPort();
  PositionCount = 9;
  plc.SetRelay(plcsim::kCarouselActivation, true);
  for (const auto& c : cases) {
    const bool stuck = c.fault == 's';
    RotateTo(1, c.from);
    WaitReady(1);
    ClrScr();
    line.ClearWire();
    plc.faults = {.readyStuck = stuck, .wrongPosition = c.fault == 'w'};
    if (stuck)
      for (char a : {'n', 'Y'}) keys.Key(kKeyEsc, 20 * kSecond), keys.Key(a, kSecond);
    CarPosErrors = 0;
    QuitConfirmed = false;
    int64_t start = NowMs();
    int bells = keys.Bells(), garbled = c.fault == 'e' ? 16 : 0;
    GotoXY(1, 5);
    RotateTo(1, c.to);
    keys.onPresent = [&](auto&) {
      if (!RowTrim(5).empty()) line.faults.errorAnswers += std::exchange(garbled, 0);
    };
    c.wait(1);
    keys.onPresent = nullptr;
    int64_t took = NowMs() - start;
    // The row with the cursor after it | turns lost, bells, the quit prompt shown.
    EXPECT_EQ(
        Row(5).substr(0, WhereX() + 1) + "|" + std::to_string(CarPosErrors) +
            std::to_string(keys.Bells() - bells) + (Row(1).substr(0, 9) == " Quit ?  " ? "Q" : ""),
        c.row + "  |" + (c.row.find('<') == std::string::npos ? "0" : "1") + (stuck ? "2Q" : "0"));
    EXPECT_TRUE(stuck ? took / 1000 == 42 : plc.Relay(1915)) << took;  // Ready ends it
    EXPECT_LE(static_cast<int64_t>(Sent().size()) * 55, took + 55);    // no spinning
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
    if (c.escAt) keys.Key(kKeyEsc, c.escAt * 1000), keys.Key('y', kSecond);
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
  EXPECT_EQ(RowTrim(1) + std::to_string(WhereX()) + std::to_string(Sent().size()), "10");
  QuitConfirmed = false;
  GotoXY(1, 5);
  MovePlate(1, 1, 1, 1905);  // unload the plate of slot 1.1
  std::vector<std::string> sent = Sent();
  sent.resize(6);
  EXPECT_EQ(sent, (std::vector<std::string>{"RD DM200\r", "RD 1915\r", "RD 1915\r", "WR DM0 1\r",
                                            "WR DM5 1\r", "ST 1905\r"}));
  EXPECT_EQ(RowTrim(5) + "|" + std::to_string(WhereX()), "  OK OK OK|12");
  EXPECT_EQ(plc.Plates().Occupied(), std::vector<std::string>{"station"});  // it waited
  // Quit while waiting for a Ready that never comes: the move that waited still goes out
  // once, and the wait after it ends at once.
  plc.faults.readyStuck = true;
  keys.Key(kKeyEsc, 5 * kSecond), keys.Key('Y', kSecond);
  Mark();
  MovePlate(1, 2, 2, 1904);
  std::vector<std::string> after = SentSinceMark();
  after.erase(std::remove_if(after.begin(), after.end(),
                             [](const std::string& r) { return r.starts_with("RD "); }),
              after.end());
  EXPECT_TRUE(SameLines(after, {"WR DM0 2\r", "WR DM5 2\r", "ST 1904\r"}));
  EXPECT_TRUE(QuitConfirmed);
}
