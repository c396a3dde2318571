// The carousel positioning times taught on the teach screen, in hundredths of a
// second: entry p is the time from the home position to position p. The component
// and random-access tests show them beside their own measurements.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

constexpr int32_t kPositioningTimeCount = 56;

// Index 1..56; index 0 is not an entry and stays 0.
extern std::array<int32_t, kPositioningTimeCount + 1> PositioningTimes;

bool IsTaughtPosition(int32_t position);
// The taught time of a position, 0 for a position outside the table.
int32_t TaughtTime(int32_t position);
// Nothing taught and no file to keep the times in: as at start.
void ResetPositioningTimes();
