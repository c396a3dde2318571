#include "comLib3/clock_time.h"

#include "base/clock.h"
#include "comLib3/keyboard.h"
#include "console/console.h"

ClockTime WatchStart, WatchLap;
uint32_t RandomSeed = 0;

namespace {
ClockTime TimeOfDay() {
  ClockTime t;
  GetTime(t.Hour, t.Minute, t.Second, t.Hundredths);
  return t;
}
}  // namespace

int32_t TimeToHundredths(const ClockTime& t) {
  return int32_t{t.Hour} * 360000 + int32_t{t.Minute} * 6000 + int32_t{t.Second} * 100 +
         t.Hundredths;
}

void HundredthsToTime(int32_t n, ClockTime& t) {
  t.Hour = static_cast<uint16_t>(n / 360000);
  t.Minute = static_cast<uint16_t>((n / 6000) % 60);
  t.Second = static_cast<uint16_t>((n % 6000) / 100);
  t.Hundredths = static_cast<uint16_t>(n % 100);
}

void StartStopwatch(ClockTime& start, ClockTime& lap) {
  start = TimeOfDay();
  lap = ClockTime{};
}

int32_t Elapsed(const ClockTime& start, ClockTime& lap) {
  lap = TimeOfDay();
  int32_t now = TimeToHundredths(lap);
  int32_t then = TimeToHundredths(start);
  while (now < then) now += kHundredthsPerDay;  // past midnight
  int32_t d = now - then;
  HundredthsToTime(d, lap);
  return d;
}

// Ends at the next change of the seconds digit or on Esc. Between checks it sleeps in
// the console's key wait until the next full second is due, so it costs no CPU.
void WaitSecondTick(int& counter) {
  uint16_t second = TimeOfDay().Second;
  for (;;) {
    ClockTime now = TimeOfDay();
    if (now.Second != second) break;
    int64_t untilTick = int64_t{100 - now.Hundredths} * 10000;
    if (EscAbort)
      base::TheClock().SleepUntil(base::TheClock().NowMicros() + untilTick);
    else if (KeyWait(untilTick) && PollKey() == kEsc)
      break;
  }
  ++counter;
}

char WaitSeconds(int n) {
  int counter = 0;
  if (n <= 0) return '\0';
  do {
    WaitSecondTick(counter);
  } while (counter < n && !EscAbort);
  return '\0';
}

uint32_t RandomBelow(uint32_t n) {
  RandomSeed = RandomSeed * 134775813u + 1u;
  return static_cast<uint32_t>((uint64_t{RandomSeed} * n) >> 32);
}

void RandomizeFromClock() {
  ClockTime now = TimeOfDay();
  int draws = now.Hour + now.Hundredths;
  for (int i = 0; i < draws; ++i) RandomBelow(100);
}

int32_t RandomRange(int32_t a, int32_t b) {
  int32_t r;
  do {
    r = static_cast<int32_t>(RandomBelow(static_cast<uint32_t>(b) + 1u));
  } while (r < a);
  return r;
}

void ResetClockTime() {
  WatchStart = WatchLap = ClockTime{};
  RandomSeed = 0;
}
