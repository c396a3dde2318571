#include "comLib3/clock_time.h"

#include "comLib3/keyboard.h"
#include "support/virtual_world.h"

TEST(ClockArithmetic, HundredthsBothWays) {
  EXPECT_EQ(TimeToHundredths({23, 59, 59, 99}), 8639999);
  EXPECT_EQ(TimeToHundredths({0, 0, 0, 0}), 0);
  ClockTime t;
  HundredthsToTime(366101, t);
  EXPECT_EQ(t.Hour, 1);
  EXPECT_EQ(t.Minute, 1);
  EXPECT_EQ(t.Second, 1);
  EXPECT_EQ(t.Hundredths, 1);
}

class MidnightTest : public VirtualWorld {};

TEST_F(MidnightTest, StopwatchRunsAcrossMidnight) {
  console::VirtualClock late(2026, 12, 6, 23, 59, 59, 50);
  console::SetClock(&late);
  StartStopwatch(WatchStart, WatchLap);
  EXPECT_EQ(WatchLap.Second, 0);
  late.Advance(1200000);  // to 00:00:00.70
  EXPECT_EQ(Elapsed(WatchStart, WatchLap), 120);
  EXPECT_EQ(WatchLap.Hour, 0);
  EXPECT_EQ(WatchLap.Minute, 0);
  EXPECT_EQ(WatchLap.Second, 1);
  EXPECT_EQ(WatchLap.Hundredths, 20);
  StartStopwatch(WatchStart, WatchLap);
  EXPECT_EQ(Elapsed(WatchStart, WatchLap), 0);
  EXPECT_EQ(TimeToHundredths(WatchLap), 0);
  console::SetClock(&clock);
}

class WaitSecondsTest : public VirtualWorld {
 protected:
  WaitSecondsTest() { clock.Advance(300000); }  // 10:00:00.30: between two ticks
};

TEST_F(WaitSecondsTest, LastsBetweenNMinusOneAndNSeconds) {
  int64_t start = NowMs();
  EXPECT_EQ(WaitSeconds(0), '\0');
  EXPECT_EQ(NowMs(), start);
  WaitSeconds(3);
  EXPECT_EQ(NowMs() - start, 2700);  // ends at the third change of the seconds digit
}

TEST_F(WaitSecondsTest, CollectsKeysAndEndsOnEsc) {
  keys.Pause(400000);
  keys.Type("ab");
  keys.Pause(800000);
  keys.Key(kEsc);
  int64_t start = NowMs();
  WaitSeconds(10);
  EXPECT_EQ(NowMs() - start, 1200);
  EXPECT_TRUE(EscAbort);
  EXPECT_EQ(KeyBuffer, "ab");
}

TEST_F(WaitSecondsTest, WithTheFlagUpItStillWaitsOneTick) {
  EscAbort = true;
  keys.Type("x");  // must not make the wait spin or read it
  int64_t start = NowMs();
  WaitSeconds(5);
  EXPECT_EQ(NowMs() - start, 700);
  EXPECT_EQ(keys.Pending(), 1u);
}

TEST(RandomNumbers, SameDrawsAsTheOriginalGenerator) {
  RandomSeed = 0;
  std::vector<uint32_t> draws;
  for (int i = 0; i < 6; ++i) draws.push_back(RandomBelow(100));
  EXPECT_EQ(draws, (std::vector<uint32_t>{0, 3, 86, 20, 27, 67}));
  RandomSeed = 0;
  std::vector<int32_t> range;
  for (int i = 0; i < 5; ++i) range.push_back(RandomRange(1, 9));
  EXPECT_EQ(range, (std::vector<int32_t>{8, 2, 2, 6, 3}));
  for (int i = 0; i < 1000; ++i) {
    int32_t r = RandomRange(1, 9);
    ASSERT_GE(r, 1);
    ASSERT_LE(r, 9);
  }
  EXPECT_EQ(RandomRange(5, 5), 5);
}

TEST_F(WaitSecondsTest, RandomizeFromClockMovesOnByHourPlusHundredths) {
  RandomSeed = 0;
  RandomizeFromClock();  // 10:00:00.30: 40 draws
  uint32_t after = RandomSeed;
  RandomSeed = 0;
  for (int i = 0; i < 40; ++i) RandomBelow(100);
  EXPECT_EQ(after, RandomSeed);
}
