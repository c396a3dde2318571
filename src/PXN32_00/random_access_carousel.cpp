// Carousel mode of the random-access test: the carousel alone turns to random
// positions, each turn timed and set against the taught time of its distance.
#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "KV_Lib3/text_to_int.h"
#include "PXN32_00/random_access.h"
#include "PXN32_00/random_access_modes.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/layout.h"
#include "PXN_Lib3/positioning_times.h"
#include "PXN_Lib3/record.h"
#include "PXN_Lib3/status.h"
#include "PXN_Lib3/timed_access.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

namespace {

constexpr int kCarouselColumn = 50;       // where the row goes on after the trace
constexpr int32_t kDeviationPause = 100;  // hundredths off the taught time that stop the test

void CountCarouselAccess() {
  if (AccessTime > 0 && AccessTime < kLongestAccess) {
    CountAccessTime(AccessTime);
    CountPosTestTime(PosTestTime);
  } else {
    --AccessCount;
  }
}

// One timed turn to a random position, set against the taught time of its distance.
// False when the test ends.
bool CarouselAccess() {
  ++AccessCount;
  AccessTarget = RandomRange(1, PositionCount);
  // Shown and waited from here: the tracking scales WaitTime by ten.
  const int32_t wait = MaxRandomWait > 0 ? RandomRange(0, MaxRandomWait) : FixedWait;
  WaitTime = wait;
  int32_t distance = AccessTarget - LastCarTarget;
  if (distance < 0) distance += PositionCount;
  RotDistance = static_cast<uint16_t>(distance);
  LastCarTarget = AccessTarget;
  WaitReady(PortNo);
  Write(NumText(AccessCount, 3) + kColumnBar + " P" + NumText(AccessTarget, 2) + "  d" +
        NumText(RotDistance, 2) + kColumnBar);
  WriteDM(PortNo, kTargetPositionDM, static_cast<uint16_t>(AccessTarget));
  const int32_t number = AccessCount;
  if (AskQuit()) {
    // Quit before the turn: the cycle had started, so it stays in the count.
    RecordRow({std::to_string(number), std::to_string(AccessTarget), std::to_string(RotDistance),
               "", "", "", "", "", "", YesNo(true), ""});
    return false;
  }

  StartStopwatch(WatchStart, WatchLap);
  Write(" *");
  const std::string trace = TrackRotation(PortNo);
  AccessTime = Elapsed(WatchStart, WatchLap);
  PrevCarPos = static_cast<uint16_t>(TextToInt(ReadDM(PortNo, kCarouselPositionDM)));
  GotoXY(kCarouselColumn, WhereY());
  Write(std::string(1, CarPosLetter(PrevCarPos)) + "* " + kColumnBar);
  const int32_t taught = TaughtTime(RotDistance + 1);  // 0 beyond the table
  Write("tP" + SecondsText(taught) + "  tA" + SecondsText(AccessTime) + " ");
  PosTestTime = std::abs(taught - AccessTime);
  Write(kColumnBar + "Wt" + NumText(wait, 3) + "/");
  Countdown(wait);
  const int32_t countBefore = AccessCount;
  CountCarouselAccess();

  const bool deviationStop = PosTestTime > kDeviationPause && !QuitConfirmed;
  RecordRow({std::to_string(number), std::to_string(AccessTarget), std::to_string(RotDistance),
             trace, std::string(1, CarPosLetter(PrevCarPos)), SecondsCell(taught),
             SecondsCell(AccessTime), SecondsCell(PosTestTime), std::to_string(wait),
             YesNo(AccessCount == countBefore), YesNo(deviationStop)});
  if (deviationStop) {
    Write("<tx..");
    LastKey = static_cast<char>(ReadKey());
    if (LastKey == kEsc) QuitConfirmed = true;
  }
  NewLine();
  return !EscAbort && !QuitConfirmed;
}

}  // namespace

void CarouselLoop() {
  while (CarouselAccess()) {
  }
}
