#include "PXN_Lib3/device_ops.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "PXN_Lib3/globals.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

constexpr int64_t kSecond = 1000000;

class WatchedConsole : public console::VirtualBackend {
 public:
  using VirtualBackend::VirtualBackend;
  void Present(const console::Screen& screen) override {
    VirtualBackend::Present(screen);
    if (onFrame) onFrame();
  }
  std::function<void()> onFrame;
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

  // For each answer the operator presses Esc `after` the last key, and answers a second later.
  void QuitPrompt(int64_t after, const std::string& answers) {
    for (char answer : answers) {
      ui.Key(kKeyEsc, after);
      ui.Type(std::string(1, answer), kSecond);
    }
  }

  WatchedConsole ui{clock};
};

}  // namespace

// Turns across the wrap (a fast one skips letters), a first step wrongly reported as 1,
// replies without a number (nothing printed); a Ready that never comes offers the quit.
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
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    const bool stuck = c.fault == 's';
    RotateTo(1, c.from);
    WaitReady(1);
    ClrScr();
    line.ClearWire();
    plc.faults = {.readyStuck = stuck, .wrongPosition = c.fault == 'w'};
    if (stuck) QuitPrompt(20 * kSecond, "nY");
    CarPosErrors = 0;
    QuitConfirmed = false;
    int64_t start = NowMs();
    int bells = ui.Bells(), garbled = c.fault == 'e' ? 16 : 0;
    GotoXY(1, 5);
    RotateTo(1, c.to);
    ui.onFrame = [&] {
      if (!RowTrim(5).empty()) line.faults.errorAnswers += std::exchange(garbled, 0);
    };
    c.wait(1);
    ui.onFrame = nullptr;  // it watches this pass's locals
    int64_t took = NowMs() - start;
    EXPECT_EQ(Row(5).substr(0, WhereX() + 1), c.row + "  ");  // the cursor after it
    EXPECT_EQ(CarPosErrors, c.row.find('<') == std::string::npos ? 0 : 1);
    EXPECT_TRUE(stuck || plc.Relay(1915));  // it ended on Ready
    EXPECT_EQ(ui.Bells() - bells, stuck ? 2 : 0);
    EXPECT_EQ(Row(1).substr(0, 9) == " Quit ?  ", stuck);
    EXPECT_TRUE(!stuck || took / 1000 == 42) << took;
    EXPECT_LE(static_cast<int64_t>(Sent().size()) * 55, took + 55);  // no spinning
  }
}

// In place (what stays is all there is), in the width of its start, digits counted; a quit
// ends the running second at the Esc and the count at 0, and later ones show nothing.
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
    if (c.escAt) QuitPrompt(c.escAt * 1000, "y");
    int64_t before = NowMs();
    EXPECT_EQ(Countdown(c.n), c.stays.empty() ? kEsc : 0);
    EXPECT_EQ(Row(3).substr(0, WhereX() + 1), "    " + c.stays + "  ");  // cursor after it
    EXPECT_EQ(NowMs() - before, c.ms) << c.n;
  }
}

TEST_F(DeviceOpsTest, MovePlateWritesSlotAndRelayBetweenReadyWaitsUnlessQuit) {
  QuitConfirmed = true;
  MovePlate(1, 1, 1, 1905);
  RotateTo(1, 3);
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
}
