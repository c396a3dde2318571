// The console toolkit: hexadecimal words, number and text lines, the keyboard with its
// abort flag and type-ahead, the clock, the waits and the random numbers.
#include <set>
#include <tuple>
#include <vector>

#include "PXN_Lib3/entry.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "comLib3/text.h"
#include "console/console.h"
#include "nbrBase/nbrBase.h"
#include "support/virtual_world.h"

using HexTest = VirtualWorld;

TEST_F(HexTest, HexWordWritesSignAndMagnitude) {
  for (auto [v, want] : {std::pair<uint16_t, std::string>{0x7FFF, "7FFF"},
                         {0x8001, "-0001"},
                         {0xFFFF, "-7FFF"},
                         {0x8000, "-0000"},
                         {0x00AB, "00AB"}}) {
    ClrScr();
    std::string text;
    HexWord(v, text);
    EXPECT_EQ(text, want);
    EXPECT_EQ(RowTrim(1), want);  // the console got the same characters
  }
}

TEST(BitTools, MasksAndTests) {
  EXPECT_EQ(BitMask(0) + BitMask(15) + BitMask(16) + BitMask(31), 0x8001);
  uint16_t w = 0xFFFF;
  ClearBit(15, w);
  EXPECT_TRUE(w == 0x7FFF && TestBit(14, w) && !TestBit(15, w));
}

using LineInputTest = VirtualWorld;

TEST_F(LineInputTest, IntegerLines) {
  // Hexadecimal takes all 32 bits, the top one as the sign: $FFFFFFFF is -1.
  // clang-format off
  struct { const char* typed; bool ok; int32_t value; } cases[] = {  // value stays 0 if no number
      {"  -7  \r", true, -7}, {"12 34\r", true, 12}, {"$1F\r", true, 31}, {"\r  \r5\r", true, 5},
      {"1\b7\r", true, 7}, {"12abc\r", false, 0}, {"abc\r", false, 0}, {"-\r", false, 0},
      {"2147483648\r", false, 0}, {"-2147483648\r", true, INT32_MIN}, {"99999999999\r", false, 0},
      {"$FFFFFFFF\r", true, -1}, {"$7fffffff\r", true, INT32_MAX}, {"$80000000\r", true, INT32_MIN},
      {"$100000000\r", false, 0}, {"$\r", false, 0}, {"$1G\r", false, 0}};
  // clang-format on
  for (const auto& c : cases) {
    keys.Type(c.typed);
    int32_t value = 0;
    EXPECT_EQ(ReadLineInteger(value), c.ok) << c.typed;
    EXPECT_EQ(value, c.value) << c.typed;
  }
}

TEST_F(LineInputTest, AskNumberAsksAgainAfterText) {
  keys.Type(std::string("x1\r") + "9\x1b" + "65536\r");  // Esc throws the typed 9 away
  EXPECT_EQ(AskNumber("  Cassette Number : "), 65536);
  EXPECT_EQ(RowTrim(1), "  Cassette Number : x1");
  EXPECT_EQ(RowTrim(2), "Invalid numeric input");
  EXPECT_EQ(RowTrim(3), "  Cassette Number : 65536");
}

using TextTest = VirtualWorld;

TEST_F(TextTest, InputLineEchoesEditsAndEnds) {
  struct Case {
    std::string initial, typed, row1, line;
    int maxLen, result, endY;
  } cases[] = {
      {"", "\r", "", "", 255, 0, 2},
      {"", "\b\bab\bc\r", "ac", "ac", 255, 2, 2},
      {"xy", "\b\b\b\r", "", "", 255, 0, 2},
      {"", "abcdef\r", "abcdef", "abcd", 4, 6, 2},
      {"", std::string(300, 'k') + "\r", std::string(80, 'k'), std::string(255, 'k'), 255, 255, 5},
  };
  for (const auto& c : cases) {
    ClrScr();
    std::string line = c.initial;
    keys.Type(c.typed);
    EXPECT_EQ(InputLine(line, c.maxLen), c.result) << c.typed;
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(RowTrim(1), c.row1);
    EXPECT_EQ(WhereY(), c.endY) << "a line end follows Enter";
  }
}

TEST_F(TextTest, InputLineEscAbandonsTheLine) {
  std::string line = "keep";
  keys.Type("ab");
  keys.Key(kEsc);
  EXPECT_EQ(InputLine(line, 255), -1);
  EXPECT_EQ(line, "keep");
  EXPECT_TRUE(EscAbort);
  EXPECT_EQ(Row(1).substr(0, 8), "keepab\x1b ");  // Esc is echoed, no line end
  EXPECT_EQ(WhereY(), 1);
  // Entered with the flag up: shows the text, pauses, reads nothing.
  int64_t start = NowMs();
  keys.Type("z");
  EXPECT_EQ(InputLine(line, 255), -1);
  EXPECT_EQ(NowMs() - start, 100);
  EXPECT_EQ(keys.Pending(), 1u);
}

using KeyboardTest = VirtualWorld;

TEST_F(KeyboardTest, PollKeyEditsTheTypeAheadBufferUpTo255) {
  EXPECT_EQ(PollKey(), 0);
  keys.Type("\bab\bc\r");
  for (int i = 0; i < 6; ++i) PollKey();
  keys.Key(0);  // an extended key: its first half is stored and returned as 0
  keys.Key(0x48);
  EXPECT_EQ(PollKey(), 0);
  EXPECT_EQ(PollKey(), 0x48);
  EXPECT_EQ(KeyBuffer, std::string("ac\r\0\x48", 5));
  // A full buffer drops letters; Backspace still makes room.
  KeyBuffer = std::string(254, 'a') + "z";
  keys.Type("b\bcd");
  for (int i = 0; i < 4; ++i) PollKey();
  EXPECT_EQ(KeyBuffer, std::string(254, 'a') + "c");
}

TEST_F(KeyboardTest, EscRaisesTheFlagAndLeavesLaterKeysButFlushWaitKeyDoesNot) {
  KeyBuffer = std::string(255, 'a');  // Esc acts on a full buffer too
  keys.Key(kEsc);
  keys.Type("x");
  EXPECT_EQ(PollKey(), kEsc);
  EXPECT_TRUE(EscAbort);
  EXPECT_EQ(PollKey(), 0);  // the flag is up: nothing is read
  EXPECT_EQ(ReadKeyAbort(), 0);
  EXPECT_EQ(keys.Pending(), 1u);
  ClearKeys();
  EXPECT_EQ(keys.Pending(), 0u);
  EXPECT_EQ(KeyBuffer, "");
  keys.Type("xy");
  keys.Pause(500000);
  keys.Key(kEsc);
  EXPECT_EQ(FlushWaitKey(), kEsc);  // drops the waiting keys; this Esc raises no flag
  EXPECT_FALSE(EscAbort);
  keys.Key(kEsc);
  EXPECT_EQ(ReadKeyAbort(), kEsc);
  EXPECT_TRUE(EscAbort);
}

TEST_F(KeyboardTest, WaitTenthsTakesAtLeastOneStepAndStopsOnTheFlag) {
  for (auto [n, abort, ms] :
       {std::tuple{0, false, 100}, {-3, false, 100}, {20, false, 2000}, {20, true, 100}}) {
    EscAbort = abort;
    int64_t start = NowMs();
    WaitTenths(n);
    EXPECT_EQ(NowMs() - start, ms) << "n=" << n;
  }
}

TEST_F(KeyboardTest, ScreenColsFollowsTheWindow) {
  Window(10, 1, 70, 25);
  EXPECT_EQ(ScreenCols(), 70);
  FullWindow();
  EXPECT_EQ(ScreenCols(), 80);
}

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
