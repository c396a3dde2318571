#include "PXN_Lib3/positioning_times.h"

#include "PXN_Lib3/times_file.h"

std::array<int32_t, kPositioningTimeCount + 1> PositioningTimes{};

bool IsTaughtPosition(int32_t position) {
  return position >= 1 && position <= kPositioningTimeCount;
}

int32_t TaughtTime(int32_t position) {
  return IsTaughtPosition(position) ? PositioningTimes[static_cast<std::size_t>(position)] : 0;
}

void ResetPositioningTimes() {
  PositioningTimes.fill(0);
  ResetTimesFile();
}
