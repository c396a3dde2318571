#include "PXN_Lib3/timed_access.h"

#include <algorithm>
#include <string>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "KV_Lib3/text_to_int.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/layout.h"
#include "PXN_Lib3/record.h"
#include "PXN_Lib3/status.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

namespace {

// Counted only inside the window, and only when the operator has not just quit:
// a quit cuts the tracking short, so the time would be wrong.
bool AccessCounts() {
  return AccessTime > kShortestAccess && AccessTime < kLongestAccess && !AskQuit();
}

// The plate-ready figures take the time the row shows: measured by this access, or,
// without the transfer station, the last one measured (0 when none ever was).
void CountAccess() {
  CountAccessTime(AccessTime);
  CountPlateReadyTime(PlateReadyTime);
  CountPosTestTime(PosTestTime);
}

std::string WaitColumn() {
  return kColumnBar + "Wt" + NumText(WaitTime, 3) + kColumnBar;
}

}  // namespace

void TimedAccess(int port, int32_t relay, char tag, bool plateReady) {
  ++AccessCount;
  const int32_t number = AccessCount, marksBefore = CarPosErrors;
  PrevCarPos = kNoCarPos;
  WaitTime = MaxRandomWait > 0 ? RandomRange(0, MaxRandomWait) : FixedWait;
  WaitTenths(1);
  WaitReady(port);

  Write(NumText(AccessCount, 3) + kColumnBar + tag + NumText(AccessTarget, 2) + "/" +
        NumText(AccessLevel, 2));
  const std::string dm0 = WriteDM(port, kTargetPositionDM, static_cast<uint16_t>(AccessTarget));
  Write(kColumnBar + "P" + dm0);
  const std::string dm5 = WriteDM(port, kTargetLevelDM, static_cast<uint16_t>(AccessLevel));
  Write(kColumnBar + "L" + dm5);
  const std::string relayReply = SetRelay(port, relay);
  Write(kColumnBar + relayReply + kColumnBar);

  // Both times run from the relay's reply until the tracking sees its relay on.
  StartStopwatch(WatchStart, WatchLap);
  std::string trace;
  if (plateReady) {
    trace = TrackUntilPlateReady(port);
    PlateReadyTime = Elapsed(WatchStart, WatchLap);
  }
  trace += TrackUntilReady(port);
  AccessTime = Elapsed(WatchStart, WatchLap);
  PosTestTime = TextToInt(ReadDM(port, kPositionTestDM));

  GotoXY(kPosTestColumn, WhereY());
  Write(kColumnBar + NumText(PosTestTime, 3));
  const bool counted = AccessCounts();
  if (counted)
    CountAccess();
  else
    --AccessCount;
  Write(kColumnBar + "At " + SecondsText(AccessTime) + " " + SecondsText(PlateReadyTime) + " ");

  WaitReady(port);
  const std::string endAccess = WaitTime > 0 ? SetRelay(port, kEndAccessRelay) : "";
  Write(WaitTime > 0 ? endAccess : std::string("  "));
  Write(WaitColumn());
  const int32_t wait = WaitTime;
  std::string rotation;
  if (MaxRandomWait > 0) {
    rotation = TrackRotation(port);  // shows where the carousel goes; the wait is not waited
  } else {
    Write(WaitColumn());
    Countdown(WaitTime);
  }
  RecordRow({std::to_string(number), std::string(1, tag), std::to_string(AccessTarget),
             std::to_string(AccessLevel), dm0, dm5, relayReply, trace, std::to_string(PosTestTime),
             SecondsCell(AccessTime), SecondsCell(PlateReadyTime), endAccess, std::to_string(wait),
             rotation, YesNo(counted), std::to_string(CarPosErrors - marksBefore)});
  NewLine();
}
