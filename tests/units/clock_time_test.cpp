#include "comLib3/clock_time.h"

#include <set>
#include <tuple>
#include <vector>

#include "comLib3/keyboard.h"
#include "support/virtual_world.h"

using ClockTest = VirtualWorld;

TEST_F(ClockTest, StopwatchRunsAcrossMidnight) {
  base::VirtualClock late(2026, 12, 6, 23, 59, 59, 50);
  base::SetClock(&late);
  StartStopwatch(WatchStart, WatchLap);
  late.Advance(1200000);  // to 00:00:00.70
  EXPECT_EQ(Elapsed(WatchStart, WatchLap), 120);
  auto parts = [](ClockTime t) { return std::tuple(t.Hour, t.Minute, t.Second, t.Hundredths); };
  EXPECT_EQ(parts(WatchLap), std::tuple(0, 0, 1, 20));
  ClockTime t;
  HundredthsToTime(366102, t);
  EXPECT_EQ(parts(t), std::tuple(1, 1, 1, 2));
  base::SetClock(&clock);
}

TEST_F(ClockTest, WaitSecondsEndsOnTheNthTickOrOnEsc) {
  clock.Advance(300000);  // 10:00:00.30: between two ticks
  int64_t start = NowMs();
  EXPECT_EQ(WaitSeconds(0), '\0');
  EXPECT_EQ(NowMs(), start);
  WaitSeconds(3);
  EXPECT_EQ(NowMs() - start, 2700);
  keys.Pause(400000);
  keys.Type("ab");
  keys.Pause(800000);
  keys.Key(kEsc);
  start = NowMs();
  WaitSeconds(10);
  EXPECT_EQ(NowMs() - start, 1200);
  EXPECT_TRUE(EscAbort);
  EXPECT_EQ(KeyBuffer, "ab");
  keys.Type("x");  // with the flag up it still waits one tick, and reads nothing
  start = NowMs();
  WaitSeconds(5);
  EXPECT_EQ(NowMs() - start, 800);
  EXPECT_EQ(keys.Pending(), 1u);
}

TEST_F(ClockTest, RandomDrawsFollowTheGeneratorFromSeedZero) {
  std::vector<int32_t> draws, range;
  for (int i = 0; i < 6; ++i) draws.push_back(RandomBelow(100));
  RandomSeed = 0;
  for (int i = 0; i < 5; ++i) range.push_back(RandomRange(1, 9));
  EXPECT_EQ(draws, (std::vector<int32_t>{0, 3, 86, 20, 27, 67}));
  EXPECT_EQ(range, (std::vector<int32_t>{8, 2, 2, 6, 3}));
  clock.Advance(300000);  // 10:00:00.30: randomizing moves on by 10 + 30 draws
  uint32_t seed = RandomSeed;
  RandomizeFromClock();
  std::swap(seed, RandomSeed);
  for (int i = 0; i < 40; ++i) RandomBelow(100);
  EXPECT_EQ(seed, RandomSeed);
}

// Both bounds come up, nothing outside them does. A range of one value comes last: a
// range that misses its bounds would draw for ever there.
TEST_F(ClockTest, RandomRangeCoversItsBoundsAndNothingElse) {
  struct Case {
    int32_t a, b;
  } cases[] = {{1, 9}, {3, 7}, {0, 2}, {55, 56}, {4, 4}, {0, 0}};
  for (const auto& c : cases) {
    std::set<int32_t> seen;
    for (int i = 0; i < 2000; ++i) seen.insert(RandomRange(c.a, c.b));
    std::set<int32_t> all;
    for (int32_t v = c.a; v <= c.b; ++v) all.insert(v);
    ASSERT_EQ(seen, all) << c.a << ".." << c.b;
  }
}
