// Handler mode of the random-access test: the handler alone brings a plate into a
// random level where the carousel stands and takes it out again, both timed.
#include <algorithm>
#include <string>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "PXN32_00/random_access_modes.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "PXN_Lib3/timed_access.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

namespace {

const std::string kBar(1, kColumnBar);

// The two rows of a handler cycle differ in their settling pause, the time label and
// the width of the wait.
struct HandlerRow {
  HandlerMove move;
  int settleTenths;
  const char* timeLabel;
  int waitWidth;
};

// True when the access ran to Ready, false when the operator quit before.
bool HandlerAccess(const HandlerRow& row) {
  WaitReady(PortNo);
  Write(NumText(AccessCount, 3) + " |Lvl" + NumText(AccessTarget, 2));
  Write(" |Acs" + WriteDM(PortNo, kTargetLevelDM, static_cast<uint16_t>(AccessTarget)));
  WaitTenths(row.settleTenths);
  Write(row.move.mark + SetRelay(PortNo, row.move.relay));
  StartStopwatch(WatchStart, WatchLap);
  WaitReady(PortNo);
  AccessTime = Elapsed(WatchStart, WatchLap);
  const bool whole = !QuitConfirmed;
  Write(kBar + row.timeLabel + SecondsText(AccessTime) + " s " + ReadDM(PortNo, kTargetLevelDM));
  WaitReady(PortNo);
  Write(kBar + " Wt " + NumText(WaitTime, row.waitWidth) + "/");
  WaitReady(PortNo);
  Countdown(WaitTime);
  return whole;
}

// An access outside its window adds the running mean instead of its own time. No
// plate-ready time is measured here, so the plate-ready figures are left alone.
void CountHandlerAccess(bool valid) {
  if (valid) {
    CountAccessTime(AccessTime);
  } else {
    SumAccessTime += SumAccessTime / AccessCount;
  }
  NewLine();
}

struct HandlerFigures {
  int32_t count, min, max;
  double sum;
};

}  // namespace

// A cycle brings a plate into a random level and takes it out again; AccessCount
// counts cycles. The wait is the number typed, in seconds, or drawn from 1 up. A cycle
// the operator cut short by quitting is taken back whole: its times are not times of
// a cycle.
void HandlerLoop() {
  do {
    const HandlerFigures before{AccessCount, MinAccessTime, MaxAccessTime, SumAccessTime};
    ++AccessCount;
    AccessTarget = RandomRange(1, LevelCount);
    if (MaxRandomWait > 0) WaitTime = RandomRange(1, MaxRandomWait);
    bool whole = HandlerAccess({BringIn(), 2, " AcsTime ", 0});
    CountHandlerAccess(AccessTime > 0);
    whole = HandlerAccess({TakeOut(), 1, " AcsTm ", 3}) && whole;
    CountHandlerAccess(AccessTime > kShortestAccess && AccessTime < kLongestAccess);
    if (!whole) {
      AccessCount = before.count;
      MinAccessTime = before.min;
      MaxAccessTime = before.max;
      SumAccessTime = before.sum;
    }
  } while (!AskQuit());
}
