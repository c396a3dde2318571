#include "PXN_Lib3/access_stats.h"

#include <algorithm>

int32_t AccessCount = 0;
int32_t AccessTarget = 0;
int32_t AccessLevel = 0;
int32_t MaxRandomWait = 0;
int32_t FixedWait = 0;
int32_t AccessTime = 0;
int32_t PlateReadyTime = 0;
int32_t PosTestTime = 0;
int32_t MinAccessTime = kNoMinimum, MaxAccessTime = 0;
double SumAccessTime = 0.0;
int32_t MinPlateReadyTime = kNoMinimum, MaxPlateReadyTime = 0;
double SumPlateReadyTime = 0.0;
int32_t MinPosTestTime = kNoMinimum, MaxPosTestTime = 0;

void ResetAccessStatistics() {
  AccessCount = 0;
  SumAccessTime = SumPlateReadyTime = 0.0;
  MinAccessTime = MinPlateReadyTime = MinPosTestTime = kNoMinimum;
  MaxAccessTime = MaxPlateReadyTime = MaxPosTestTime = 0;
}

void CountAccessTime(int32_t hundredths) {
  MaxAccessTime = std::max(MaxAccessTime, hundredths);
  MinAccessTime = std::min(MinAccessTime, hundredths);
  SumAccessTime += hundredths / 100.0;
}

void CountPlateReadyTime(int32_t hundredths) {
  MaxPlateReadyTime = std::max(MaxPlateReadyTime, hundredths);
  MinPlateReadyTime = std::min(MinPlateReadyTime, hundredths);
  SumPlateReadyTime += hundredths / 100.0;
}

void CountPosTestTime(int32_t figure) {
  if (figure <= 0) return;
  MaxPosTestTime = std::max(MaxPosTestTime, figure);
  MinPosTestTime = std::min(MinPosTestTime, figure);
}

void ResetAccessGlobals() {
  ResetAccessStatistics();
  AccessTarget = AccessLevel = MaxRandomWait = FixedWait = 0;
  AccessTime = PlateReadyTime = PosTestTime = 0;
}
