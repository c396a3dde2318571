// Component test 1: random carousel moves, each timed with the PC clock from the target
// write until timer T20 reports the move's end, against the taught positioning times.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "KV_Lib3/text_to_int.h"
#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/entry.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/layout.h"
#include "PXN_Lib3/positioning_times.h"
#include "PXN_Lib3/record.h"
#include "PXN_Lib3/status.h"
#include "base/record_format.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

namespace {

constexpr int32_t kPositions = 9;  // the test always drives a carousel of nine
// Moves outside this window (hundredths) failed or were skipped: shown, not counted.
constexpr int32_t kShortestMove = record_format::kShortestCountedMove;
constexpr int32_t kLongestMove = record_format::kLongestCountedMove;
constexpr int32_t kTolerance = record_format::kMoveTolerance;

struct Figures {
  int32_t count = 0;   // counted accesses
  int32_t errors = 0;  // deviations above the tolerance (only without pauses)
  int32_t min = kNoMinimum, max = 0;
  int32_t maxDeviation = 0;  // largest counted deviation from the taught time
  double sum = 0;            // seconds
};

// Polls T20 back to back, so the measured time is as close as the line allows, and
// nothing else goes on the line or the screen meanwhile. With Esc up nothing is sent and
// T20 would never come: the wait ends, as WaitRelay does. Keys are only looked at once the
// move has run past the counting window, so an Esc never cuts a move that is being timed
// (the cycle's end asks); past it, Esc ends a wait for a T20 that never comes.
void WaitMoveEnd() {
  ClockTime start, lap;
  StartStopwatch(start, lap);
  while (ReadTimer(PortNo, kCarouselMoveTimer) != "1") {
    if (EscAbort) return;
    if (Elapsed(start, lap) <= kLongestMove) continue;
    PollKey();
    if (EscAbort) return;
  }
}

void Prepare() {
  ClearKeys();
  WaitTenths(10);
  WaitRelay(PortNo, kReadyRelay);
  Write("Activate Carousel " + SetRelay(PortNo, kCarouselActivationRelay) + "  ");
  WaitTenths(10);
  WaitRelay(PortNo, kReadyRelay);
  Write("Pos. " + WriteDM(PortNo, kTargetPositionDM, 1));
  NewLine();
  Write("Init Pos.1 .. ");
  WaitMoveEnd();
  NewScreen();
}

// DM1 read until two readings 100 ms apart agree: the carousel stands.
int32_t StandingPosition() {
  return ReadSteadyNumber(PortNo, kCarouselPositionDM, 1);
}

// Forward steps from `from` to `to`; 64-bit, as a reply outside 1..9 may lie far off.
int64_t StepsTo(int32_t to, int32_t from) {
  return to >= from ? int64_t{to} - from : int64_t{to} + kPositions - from;
}

// The taught time for a move of `steps`: entry steps + 1; 0 where the table has none.
int32_t ExpectedTime(int64_t steps) {
  return steps >= 0 && steps < kPositioningTimeCount ? TaughtTime(static_cast<int32_t>(steps + 1))
                                                     : 0;
}

void RunCycle(int32_t range, Figures& f) {
  const int32_t target = RandomRange(1, kPositions);
  const int64_t steps = StepsTo(target, StandingPosition());
  const int32_t expected = ExpectedTime(steps);
  const int32_t pause = RandomRange(0, std::max(range, 0));
  ++f.count;
  Write(NumText(f.count, 4) + " Pos: " + std::to_string(target) + " Pth: " + std::to_string(steps) +
        " wt: " + NumText(pause, 2) + " t0:" + SecondsText(expected, 4) + " ");
  WaitSeconds(pause);
  if (steps != 0) WriteDM(PortNo, kTargetPositionDM, static_cast<uint16_t>(target));
  StartStopwatch(WatchStart, WatchLap);
  WaitMoveEnd();
  const int32_t took = Elapsed(WatchStart, WatchLap);
  int32_t deviation = 0;
  const bool counted = steps > 0 && took >= kShortestMove && took <= kLongestMove;
  if (counted) {
    f.max = std::max(f.max, took);
    f.min = std::min(f.min, took);
    deviation = std::abs(took - expected);
    f.maxDeviation = std::max(f.maxDeviation, deviation);
    f.sum += took / 100.0;
  } else {
    --f.count;  // the next cycle shows the same number again
  }
  Write(" t1:" + SecondsText(took, 4) + " te: " + SecondsText(deviation, 3));
  if (range == 0) {
    if (deviation > kTolerance) ++f.errors;
    Write(" Ers: " + NumText(f.errors, 2));
  }
  Write(" max: " + SecondsText(f.maxDeviation, 3));
  RecordRow({std::to_string(counted ? f.count : f.count + 1), std::to_string(target),
             std::to_string(steps), std::to_string(pause), SecondsCell(expected), SecondsCell(took),
             SecondsCell(deviation), range == 0 ? std::to_string(f.errors) : "",
             SecondsCell(f.maxDeviation), YesNo(counted)});
  NewLine();
  if (range == 0) NewLine();
}

void ShowSummary(const Figures& f) {
  NewScreen();
  ShowBanner();
  WriteSummaryLine("Rotation Access Time Summary");
  NewLine();
  NewLine();
  WriteSummaryLine("Access Procedure:   Sequence");
  NewLine();
  NewLine();
  WriteSummaryLine("Total Accesses:        " + NumText(f.count, 4));
  NewLine();
  WriteSummaryLine("Min Acs Time:       " + SecondsText(f.min, 4));
  NewLine();
  WriteSummaryLine("Max Acs Time:       " + SecondsText(f.max, 4));
  NewLine();
  // Nothing counted: no mean to take, shown as 0.0.
  const double mean = f.count > 0 ? f.sum / f.count : 0.0;
  WriteSummaryLine("Mean Acs Time:      " + FixedText(mean, 4, 1));
  NewLine();
  Write(RuleLine());
  ClearKeys();
  LastKey = static_cast<char>(ReadKeyPress());
}

}  // namespace

void CarouselMovementTest() {
  const int32_t range = AskNumber("Enter Pause range 0..x s ");
  Figures figures;
  LastKey = '\0';
  Prepare();
  StartRecord(record_format::kCarouselMovement, record_format::kCarouselMovementColumns,
              {"Carrousel Movement, pause range " + std::to_string(range) + " s"});
  do {
    RunCycle(range, figures);
  } while (!AskQuit());
  ShowSummary(figures);
  EndRecord();
}
