#include "PXN_Lib3/device_ops.h"

#include <utility>

#include "PXN_Lib3/globals.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

using DeviceOpsTest = VirtualWorld;

// Turns across the wrap, a wrong arrival at 1, a carousel too fast to follow, replies
// without a number, a Ready that never comes (Esc and n, then Esc and Y).
TEST_F(DeviceOpsTest, TrackingShowsTheTurnMarksWrongArrivalsAtOneAndOffersTheQuit) {
  struct Case {
    std::string (*wait)(int);  // returns the trace it wrote
    int from, to;
    char fault;  // 'w' wrong position, 'f' a position every 150 ms, 'e' error replies, 's' stuck
    std::string row;  // row 5 up to the cursor
  } cases[] = {       // clang-format off
      {TrackUntilReady, 3, 1, ' ', "C DEFGHIA"}, {TrackUntilReady, 3, 7, 'w', "C A<<<EFG"},
      {TrackUntilReady, 3, 1, 'f', "C DFHA<<<"}, {TrackUntilReady, 9, 1, 'e', "I A"},
      {TrackRotation, 3, 1, ' ', "C DEFGHIA"}, {TrackRotation, 3, 7, 'w', "C A<EFG"}, {TrackRotation, 3, 1, 'f', "C DEGHA<"},
      {[](int port) { return WaitReady(port), std::string(); }, 1, 1, 's', ""},
      {TrackUntilPlateReady, 1, 1, 's', "A "}, {TrackRotation, 1, 1, 's', "A "}};
  // clang-format on
  OpenSimPort();
  PositionCount = 9;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row + " fault " + c.fault);
    const bool stuck = c.fault == 's';
    Configure({.turnStepMicros = c.fault == 'f' ? 150000 : plcsim::kTurnStepMicros});
    plc.SetRelay(plcsim::kCarouselActivation, true);
    RotateTo(1, c.from);
    WaitReady(1);
    ClrScr();
    line.ClearWire();
    plc.faults = {.readyStuck = stuck, .wrongPosition = c.fault == 'w'};
    for (char answer : std::string(stuck ? "nY" : ""))
      keys.Key(kKeyEsc, 20 * kSecond), keys.Key(answer, kSecond);
    CarPosErrors = 0, QuitConfirmed = false;
    const int64_t start = NowMs();
    int bells = keys.Bells(), garbled = c.fault == 'e' ? 16 : 0;
    GotoXY(1, 5);
    RotateTo(1, c.to);
    keys.onPresent = [&](auto&) {
      if (!RowTrim(5).empty()) line.faults.errorAnswers += std::exchange(garbled, 0);
    };
    EXPECT_EQ(c.wait(1), c.row);
    keys.onPresent = nullptr;
    const int64_t took = NowMs() - start;
    EXPECT_EQ(Row(5).substr(0, WhereX() + 1), c.row + "  ") << "row 5 to the cursor, then blanks";
    EXPECT_EQ(CarPosErrors, c.row.find('<') == std::string::npos ? 0 : 1);
    EXPECT_EQ(keys.Bells() - bells, stuck ? 2 : 0) << "quit prompts";
    EXPECT_EQ(stuck ? took / 1000 : plc.Relay(1915), stuck ? 42 : 1)
        << "ends at the second Y, or on Ready";
    EXPECT_LE(static_cast<int64_t>(Sent().size()) * 55, took + 55) << "no spinning";
  }
}

// A move waits for Ready before and after; a quit before it sends nothing, and one while it
// waits for a Ready that never comes still lets it go out once.
TEST_F(DeviceOpsTest, MovePlateWritesSlotAndRelayBetweenReadyWaitsUnlessQuit) {
  OpenSimPort();
  plc.SetRelay(plcsim::kCarouselActivation, true);
  QuitConfirmed = true;
  MovePlate(1, 1, 1, 1905);
  EXPECT_EQ(WhereX() * 100 + WhereY(), 101) << "a confirmed quit prints nothing";
  ExpectSent({});
  QuitConfirmed = false;
  RotateTo(1, 5);  // the carousel turns away
  GotoXY(1, 5);
  MovePlate(1, 1, 1, 1905);  // unload the plate of slot 1.1
  Lines sent = SentSinceMark();
  std::erase(sent, "RD DM200\r"), std::erase(sent, "RD 1915\r");
  EXPECT_TRUE(SameLines(sent, {"WR DM0 5\r", "WR DM0 1\r", "WR DM5 1\r", "ST 1905\r"}));
  ExpectRows(5, {"  OK OK OK"});
  EXPECT_EQ(WhereX(), 12);
  EXPECT_EQ(plc.Plates().Occupied(), Lines{"station"}) << "it waited for the move to end";
  EXPECT_EQ(plc.MovesWhileNotReady(), 0);
  plc.faults.readyStuck = true;
  Script("_____~_Y");
  MovePlate(1, 2, 2, 1904);
  sent = SentSinceMark();
  std::erase_if(sent, [](const std::string& r) { return r.starts_with("RD "); });
  EXPECT_TRUE(SameLines(sent, {"WR DM0 2\r", "WR DM5 2\r", "ST 1904\r"}));
  EXPECT_TRUE(QuitConfirmed);
}
