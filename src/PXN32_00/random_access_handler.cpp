// Handler mode of the random-access test: the handler alone brings a plate into a
// random level where the carousel stands and takes it out again, both timed.
#include <algorithm>
#include <string>
#include <vector>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "PXN32_00/random_access_modes.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/layout.h"
#include "PXN_Lib3/record.h"
#include "PXN_Lib3/status.h"
#include "PXN_Lib3/timed_access.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

namespace {

// The two rows of a handler cycle differ in their settling pause, the time label and
// the width of the wait.
struct HandlerRow {
  HandlerMove move;
  int settleTenths;
  const char* timeLabel;
  int waitWidth;
};

// One access on its own row, timed from the relay's reply until Ready. Returns its cells
// for the record.
std::vector<std::string> HandlerAccess(const HandlerRow& row) {
  WaitReady(PortNo);
  Write(NumText(AccessCount, 3) + " |Lvl" + NumText(AccessTarget, 2));
  const std::string level = WriteDM(PortNo, kTargetLevelDM, static_cast<uint16_t>(AccessTarget));
  Write(" |Acs" + level);
  WaitTenths(row.settleTenths);
  const std::string relay = SetRelay(PortNo, row.move.relay);
  Write(row.move.mark + relay);
  StartStopwatch(WatchStart, WatchLap);
  WaitReady(PortNo);
  AccessTime = Elapsed(WatchStart, WatchLap);
  const std::string levelRead = ReadDM(PortNo, kTargetLevelDM);
  Write(kColumnBar + row.timeLabel + SecondsText(AccessTime) + " s " + levelRead);
  WaitReady(PortNo);
  Write(kColumnBar + " Wt " + NumText(WaitTime, row.waitWidth) + "/");
  WaitReady(PortNo);
  Countdown(WaitTime);
  return {std::to_string(AccessCount), row.move.mark + 1, std::to_string(AccessTarget), level,
          relay, SecondsCell(AccessTime), levelRead, std::to_string(WaitTime)};
}

// An access outside its window adds the running mean instead of its own time. No
// plate-ready time is measured here, so the plate-ready figures are left alone. The row
// goes to the record as the access ends.
void CountHandlerAccess(std::vector<std::string> cells, bool valid) {
  if (valid) {
    CountAccessTime(AccessTime);
  } else {
    SumAccessTime += SumAccessTime / AccessCount;
  }
  cells.push_back(YesNo(valid));
  RecordRow(cells);
  NewLine();
}

}  // namespace

// A cycle brings a plate into a random level and takes it out again; AccessCount
// counts cycles, from the moment a cycle starts. The wait is the number typed, in
// seconds, or drawn from 1 up.
void HandlerLoop() {
  do {
    ++AccessCount;
    AccessTarget = RandomRange(1, LevelCount);
    if (MaxRandomWait > 0) WaitTime = RandomRange(1, MaxRandomWait);
    std::vector<std::string> cells = HandlerAccess({BringIn(), 2, " AcsTime ", 0});
    CountHandlerAccess(cells, AccessTime > 0);
    cells = HandlerAccess({TakeOut(), 1, " AcsTm ", 3});
    CountHandlerAccess(cells, AccessTime > kShortestAccess && AccessTime < kLongestAccess);
  } while (!AskQuit());
}
