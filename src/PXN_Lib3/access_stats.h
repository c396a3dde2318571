// The access statistics the timed access gathers and the access time summary shows,
// with the target and the waits of the access being run. The random-access test
// resets them when it starts; the all-slots test counts its cycles in AccessCount.
#pragma once
#include <cstdint>

constexpr int32_t kNoMinimum = 2147483647;  // a minimum before anything was counted

extern int32_t AccessCount;    // running number of the access (or cycle); taken back when not counted
extern int32_t AccessTarget;   // carousel position of the slot (DM0), or a level in handler mode
extern int32_t AccessLevel;    // level of the slot (DM5)
extern int32_t MaxRandomWait;  // above 0: each wait is drawn from 0 .. this many seconds
extern int32_t FixedWait;      // the wait in seconds when there is no random one

extern int32_t AccessTime;      // hundredths from the move's start until Ready
extern int32_t PlateReadyTime;  // hundredths from the move's start until PlateReady
extern int32_t PosTestTime;     // DM350 after the access (carousel mode: deviation from the taught time)

extern int32_t MinAccessTime, MaxAccessTime;          // hundredths
extern double SumAccessTime;                          // seconds
extern int32_t MinPlateReadyTime, MaxPlateReadyTime;  // hundredths
extern double SumPlateReadyTime;                      // seconds
extern int32_t MinPosTestTime, MaxPosTestTime;

// Counters 0, minima kNoMinimum, maxima 0, sums 0 (the test's start values).
void ResetAccessStatistics();
// A counted access time (hundredths) into its minimum, maximum and sum of seconds.
void CountAccessTime(int32_t hundredths);
void CountPlateReadyTime(int32_t hundredths);
// A position-test figure counts only above 0.
void CountPosTestTime(int32_t figure);
// Every value of this unit as at start (the statistics and the access being run).
void ResetAccessGlobals();
