// Clock arithmetic in hundredths of a second, the shared stopwatch, waits in whole
// seconds that keep collecting keys, and the random numbers of the random test.
#pragma once
#include <cstdint>

struct ClockTime {
  uint16_t Hour = 0, Minute = 0, Second = 0, Hundredths = 0;
};

constexpr int32_t kHundredthsPerDay = 8640000;

extern ClockTime WatchStart;  // when the current measurement started (time of day)
extern ClockTime WatchLap;    // the last elapsed time, as a duration
extern uint32_t RandomSeed;   // generator state; 0 at start, only moved on by draws

int32_t TimeToHundredths(const ClockTime& t);
void HundredthsToTime(int32_t n, ClockTime& t);
void StartStopwatch(ClockTime& start, ClockTime& lap);
int32_t Elapsed(const ClockTime& start, ClockTime& lap);
void WaitSecondTick(int& counter);
char WaitSeconds(int n);
uint32_t RandomBelow(uint32_t n);
void RandomizeFromClock();
int32_t RandomRange(int32_t a, int32_t b);
// The stopwatch at zero and the generator at its seed: as at start.
void ResetClockTime();
