#include "PXN_Lib3/timed_access.h"

#include <string>
#include <vector>

#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "comLib3/clock_time.h"
#include "comLib3/serial.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {



// The requests that do something, without the polls of Ready, PlateReady, the status
// word and the carousel position.
std::vector<std::string> Commands(const std::vector<std::string>& sent) {
  std::vector<std::string> commands;
  for (const auto& s : sent)
    if (s != "RD 1915\r" && s != "RD 1815\r" && s != "RD DM200\r" && s != "RD DM1\r")
      commands.push_back(s);
  return commands;
}

// The access statistics as one text: count, min, max, sum, then the plate-ready and
// position-test figures.
std::string Figures() {
  char text[160];
  std::snprintf(text, sizeof text, "%d|%d %d %.2f|%d %d %.2f|%d %d", AccessCount, MinAccessTime,
                MaxAccessTime, SumAccessTime, MinPlateReadyTime, MaxPlateReadyTime,
                SumPlateReadyTime, MinPosTestTime, MaxPosTestTime);
  return text;
}

// The simulated line without its read window: a read returns as soon as the reply is
// complete, so an exchange costs exactly the controller's turnaround.
class PromptLine : public SerialDevice {
 public:
  PromptLine(plcsim::SimLine& line, base::VirtualClock& clock) : line_(line), clock_(clock) {}
  bool Configure(const LineSettings&, int&) override { return true; }
  void Purge() override { line_.DropArrived(clock_.NowMicros()); }
  void Write(std::string_view bytes) override { line_.Receive(bytes, clock_.NowMicros()); }
  std::string Read(size_t maxBytes, int64_t windowMicros) override {
    const int64_t now = clock_.NowMicros();
    int64_t lastAt = now;
    std::string got = line_.Take(maxBytes, now + windowMicros, lastAt);
    clock_.SleepUntil(got.empty() ? now + windowMicros : lastAt);
    return got;
  }

 private:
  plcsim::SimLine& line_;
  base::VirtualClock& clock_;
};

}  // namespace

using TimedAccessTest = VirtualWorld;

// A plate brought in and taken out again, then one more with a random wait: the row of
// each, what went on the line, what was counted and the wait left in WaitTime.
TEST_F(TimedAccessTest, RowShowsSlotRepliesTraceTimesAndTheWaitThatFollows) {
  struct Case {
    int32_t relay;
    char tag;
    bool plateReady;
    int target, level, fixedWait, maxRandomWait;
    std::string row;
    std::vector<std::string> commands;  // besides the polls
    std::string figures;                // count|access min max sum|plate-ready|position test
    int32_t waitAfter;
    int64_t ms;  // how long it took
  } cases[] = {
      // A fixed wait of 5: End Access, the wait column twice, a countdown from 5 to 0.
      {1904,
       'L',
       true,
       3,
       5,
       5,
       0,
       Bars("  1³L 3/ 5³POK³LOK³OK³A BCC           ³ 14³At  7.2  5.8 OK³Wt  5³³Wt  5³0 s"),
       {"WR DM0 3\r", "WR DM5 5\r", "ST 1904\r", "RD DM350\r", "ST 1903\r"},
       "1|715 715 7.15|581 581 5.81|14 14",
       5,
       13000},
      // A fixed wait of 0: two blanks for End Access, and a countdown of one tick. No
      // plate-ready time is measured: the column shows the last one, and so do the figures.
      {1905,
       'U',
       false,
       3,
       5,
       0,
       0,
       Bars("  2³U 3/ 5³POK³LOK³OK³C               ³ 22³At  5.5  5.8   ³Wt  0³³Wt  0³0 s"),
       {"WR DM0 3\r", "WR DM5 5\r", "ST 1905\r", "RD DM350\r"},
       "2|550 715 12.65|581 581 11.62|14 22",
       0,
       7000},
      // A random wait: drawn, shown once, then the carousel's position and no countdown.
      {1904,
       'L',
       true,
       7,
       2,
       0,
       9,
       Bars("  3³L 7/ 2³POK³LOK³OK³C DEFGG         ³ 30³At  7.5  6.5 OK³Wt  3³G"),
       {"WR DM0 7\r", "WR DM5 2\r", "ST 1904\r", "RD DM350\r", "ST 1903\r"},
       "3|550 747 20.12|581 645 18.07|14 30",
       30,
       8700},
  };
  Configure({.plates = {}});
  plc.Plates().Put(plcsim::Place::Station(), true);
  plc.SetRelay(plcsim::kCarouselActivation, true);
  OpenSimPort();
  PositionCount = 9;
  RandomSeed = 1000;  // the random wait draws 3
  for (const auto& c : cases) {
    SCOPED_TRACE(c.row);
    AccessTarget = c.target;
    AccessLevel = c.level;
    FixedWait = c.fixedWait;
    MaxRandomWait = c.maxRandomWait;
    Mark();
    ClrScr();
    GotoXY(1, 5);
    const int64_t start = NowMs();
    TimedAccess(1, c.relay, c.tag, c.plateReady);
    EXPECT_EQ(RowTrim(5), c.row);
    EXPECT_EQ(WhereX() * 100 + WhereY(), 106);  // the row is ended
    EXPECT_TRUE(SameLines(Commands(SentSinceMark()), c.commands));
    EXPECT_EQ(Figures(), c.figures);
    EXPECT_EQ(WaitTime, c.waitAfter);
    EXPECT_NEAR(NowMs() - start, c.ms, 500);
  }
  // The plate went in, out and in again.
  EXPECT_EQ(plc.Plates().Occupied(), std::vector<std::string>{"7.2"});
}

// Counted are times above 0.10 s and below 100.00 s, and only when the operator did not
// quit during the access; a row that is not counted is still shown whole.
TEST_F(TimedAccessTest, CountsTimesInsideTheWindowUnlessTheOperatorQuit) {
  struct Case {
    int64_t turnaround;  // microseconds an exchange takes
    int readyAt;         // the tracking loop's pass that sees Ready
    bool quit;           // Esc and Y while the carousel is tracked
    int32_t hundredths;  // the access time
    bool counted;
  } cases[] = {{0, 1, false, 10, false},
               {2000, 1, false, 11, true},
               {250, 990, false, 9999, true},
               {0, 1000, false, 10000, false},
               {2000, 5, true, 11, false}};
  ComHandles[1] = std::make_unique<PromptLine>(line, clock);
  PortNo = 1;
  // A relay the store ignores, and a carousel that stays where it is: Ready is the test's.
  constexpr int32_t kQuietRelay = 1000;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.hundredths);
    ResetAccessStatistics();
    QuitConfirmed = false;
    line.turnaroundMicros = c.turnaround;
    plc.SetRelay(plcsim::kReady, true);
    size_t seen = plc.Requests().size();
    int polls = -1;  // Ready reads since the relay was set
    keys.onPresent = [&](auto&) {
      for (; seen < plc.Requests().size(); ++seen) {
        const std::string& r = plc.Requests()[seen];
        if (r == "ST 1000") polls = 0;
        if (r == "RD 1915" && polls >= 0) ++polls;
      }
      // Ready goes off with the relay and comes on before the status read of the pass.
      if (polls == 0) plc.SetRelay(plcsim::kReady, c.readyAt == 1);
      if (polls == 2 * (c.readyAt - 1)) plc.SetRelay(plcsim::kReady, true);
    };
    if (c.quit) keys.Key(kKeyEsc, 2 * kSecond / 10), keys.Key('Y', 1);
    clock.SleepUntil((clock.NowMicros() / 10000 + 1) * 10000);  // on a hundredth
    ClrScr();
    GotoXY(1, 5);
    TimedAccess(1, kQuietRelay, 'L', false);
    keys.onPresent = nullptr;
    // A quit leaves out the countdown.
    EXPECT_EQ(AccessTime, c.hundredths);
    EXPECT_EQ(RowTrim(5), Bars("  1³L 0/ 0³POK³LOK³OK³A               ³  0³At " +
                               FixedText(c.hundredths / 100.0, 4, 1) + "  0.0   ³Wt  0³³Wt  0³" +
                               (c.quit ? "" : "0 s")));
    EXPECT_EQ(AccessCount, c.counted ? 1 : 0);
    EXPECT_EQ(SumAccessTime > 0, c.counted);
  }
}
