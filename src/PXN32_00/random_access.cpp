// Menu "7": serves random targets until the operator quits, times every access and
// closes with the access time summary. The carousel alone, the handler alone on the
// position where the carousel stands, or both together on random slots.
#include "PXN32_00/random_access.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <limits>
#include <string>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "KV_Lib3/text_to_int.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/entry.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/positioning_times.h"
#include "PXN_Lib3/status.h"
#include "PXN_Lib3/timed_access.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

char TestMode = '\0';
char XferMode = '\0';
bool XferIncluded = true;
char InversMode = 'N';
int32_t LastCarTarget = 0;
uint16_t RotDistance = 0;

namespace {

constexpr int kCarouselColumn = 50;       // where the carousel-mode row goes on after the trace
constexpr int32_t kDeviationPause = 100;  // hundredths off the taught time that stop the test

const std::string kBar(1, kColumnBar);

std::string Seconds(int32_t hundredths) {
  return FixedText(hundredths / 100.0, 4, 1);
}

// The handler relays of one direction, with the column mark of handler mode.
struct Move {
  int32_t relay;
  const char* mark;
};

Move BringIn() {
  return XferIncluded ? Move{kLoadRelay, "\xB3Load"} : Move{kPlaceRelay, "\xB3Plce"};
}
Move TakeOut() {
  return XferIncluded ? Move{kUnloadRelay, "\xB3UnLd"} : Move{kPickRelay, "\xB3Pick"};
}

void ResetTest() {
  CarPosErrors = 0;
  InversMode = 'N';
  WaitTime = 0;
  MaxRandomWait = 0;
  LastKey = '\0';
  ResetAccessStatistics();
  PrevCarPos = kNoCarPos;
}

char AskKey(const char* prompt) {
  Write(prompt);
  const char key = static_cast<char>(std::toupper(ReadKey()));
  Write(key);
  NewLine();
  return key;
}

// Minutes become seconds; a huge entry stays the longest wait there is instead of
// wrapping round into a short or negative one.
int32_t MinutesToSeconds(int32_t minutes) {
  const int64_t seconds = int64_t{minutes} * 60;
  return seconds > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                       : static_cast<int32_t>(seconds);
}

void AskWaits() {
  WaitTime = AskNumber("Enter Interval Time [n=min,0=Random Sec,-1=sec]: ");
  if (WaitTime > 0) {
    FixedWait = MinutesToSeconds(WaitTime);
  } else if (WaitTime == 0) {
    MaxRandomWait = AskNumber("Enter Max. Random Interval [Sec]   ");
    FixedWait = 0;
  } else {
    FixedWait = AskNumber("Enter Interval Time (>1sec)        ");
  }
}

// Random targets need at least one position and, for the handler, one level; without
// them nothing is drawn and nothing moves.
bool MissingGeometry(const char* what, uint16_t address, int32_t count) {
  if (count >= 1) return false;
  Write(std::string("Store reports no ") + what + " (DM" + std::to_string(address) + " = " +
        std::to_string(count) + "): press a key for the menu");
  NewLine();
  ClearKeys();
  LastKey = static_cast<char>(ReadKey());
  return true;
}

bool GeometryMissing() {
  if (MissingGeometry("positions", kPositionCountDM, PositionCount)) return true;
  return TestMode != 'C' && MissingGeometry("levels", kLevelCountDM, LevelCount);
}

void TakeOutTestPlate() {
  if (XferIncluded) {
    Write("Unld Plate form 1,1 ");
    MovePlate(PortNo, 1, 1, kUnloadRelay);
  } else {
    Write("Get Plate from 1,1 ");
    MovePlate(PortNo, 1, 1, kPickRelay);
  }
  WaitReady(PortNo);
  NewLine();
}

void CountCarouselAccess() {
  if (AccessTime > 0 && AccessTime < kLongestAccess) {
    MaxAccessTime = std::max(MaxAccessTime, AccessTime);
    MinAccessTime = std::min(MinAccessTime, AccessTime);
    SumAccessTime += AccessTime / 100.0;
    if (PosTestTime > 0) {
      MaxPosTestTime = std::max(MaxPosTestTime, PosTestTime);
      MinPosTestTime = std::min(MinPosTestTime, PosTestTime);
    }
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
  Write(NumText(AccessCount, 3) + kBar + " P" + NumText(AccessTarget, 2) + "  d" +
        NumText(RotDistance, 2) + kBar);
  WriteDM(PortNo, kTargetPositionDM, static_cast<uint16_t>(AccessTarget));
  if (AskQuit()) {
    --AccessCount;  // quit before the turn: no access was made
    return false;
  }

  StartStopwatch(WatchStart, WatchLap);
  Write(" *");
  TrackRotation(PortNo);
  AccessTime = Elapsed(WatchStart, WatchLap);
  const bool cutShort = QuitConfirmed;  // the operator quit before the turn ended
  PrevCarPos = static_cast<uint16_t>(TextToInt(ReadDM(PortNo, kCarouselPositionDM)));
  GotoXY(kCarouselColumn, WhereY());
  Write(std::string(1, CarPosLetter(PrevCarPos)) + "* " + kBar);
  const int32_t taught = TaughtTime(RotDistance + 1);  // 0 beyond the table
  Write("tP" + Seconds(taught) + "  tA" + Seconds(AccessTime) + " ");
  PosTestTime = std::abs(taught - AccessTime);
  Write(kBar + "Wt" + NumText(wait, 3) + "/");
  Countdown(wait);
  if (cutShort)
    --AccessCount;
  else
    CountCarouselAccess();

  if (PosTestTime > kDeviationPause && !QuitConfirmed) {
    Write("<tx..");
    LastKey = static_cast<char>(ReadKey());
    if (LastKey == kEsc) QuitConfirmed = true;
  }
  NewLine();
  return !EscAbort && !QuitConfirmed;
}

void CarouselLoop() {
  while (CarouselAccess()) {
  }
}

// The two rows of a handler cycle differ in their settling pause, the time label and
// the width of the wait.
struct HandlerRow {
  Move move;
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
  Write(kBar + row.timeLabel + Seconds(AccessTime) + " s " + ReadDM(PortNo, kTargetLevelDM));
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
    MaxAccessTime = std::max(MaxAccessTime, AccessTime);
    MinAccessTime = std::min(MinAccessTime, AccessTime);
    SumAccessTime += AccessTime / 100.0;
  } else {
    SumAccessTime += SumAccessTime / AccessCount;
  }
  NewLine();
}

struct HandlerFigures {
  int32_t count, min, max;
  double sum;
};

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

// DM25 read until two readings 200 ms apart agree.
int32_t ReadSteadyLevels() {
  std::string first, second;
  do {
    ReadDM(PortNo, kLevelCountDM, first);
    WaitTenths(2);
    ReadDM(PortNo, kLevelCountDM, second);
  } while (first != second);
  return TextToInt(first);
}

// Each cycle brings a plate into a random slot and takes it out again (the other way
// round in inverse mode), sending the carousel somewhere at random after each access.
// False when the store reports no levels and there is no summary to show.
bool BothLoop() {
  if (AskQuit()) return true;
  LevelCount = ReadSteadyLevels();
  if (MissingGeometry("levels", kLevelCountDM, LevelCount)) return false;
  RandomizeFromClock();
  NewScreen();
  const bool inverse = InversMode == 'Y';
  const Move first = inverse ? TakeOut() : BringIn();
  const Move second = inverse ? BringIn() : TakeOut();
  const char firstTag = inverse ? 'U' : 'L', secondTag = inverse ? 'L' : 'U';
  do {
    AccessTarget = RandomRange(1, PositionCount);
    AccessLevel = RandomRange(1, LevelCount);
    if (!AskQuit()) {
      TimedAccess(PortNo, first.relay, firstTag, XferIncluded);
      RotateTo(PortNo, RandomRange(1, PositionCount));
    }
    if (!AskQuit()) {
      TimedAccess(PortNo, second.relay, secondTag, XferIncluded);
      RotateTo(PortNo, RandomRange(1, PositionCount));
    }
  } while (!AskQuit());
  return true;
}

}  // namespace

void RandomAccessTest() {
  FullWindow();
  NewScreen();
  ResetTest();
  TestMode = AskKey("Test Carrousel, Handler, Both [C,H,B] ");
  if (GeometryMissing()) return;
  if (TestMode != 'C') {
    XferMode = AskKey("Include X-fer Station ");
    Write("Invers. Mode [Y/N]    ");
    InversMode = std::toupper(ReadKey()) == 'Y' ? 'Y' : 'N';
    Write(InversMode);
    NewLine();
  }
  XferIncluded = XferMode != 'N';
  AskWaits();

  NewScreen();
  Write("Levels detected: " + std::to_string(LevelCount) +
        "    RotPos detected: " + std::to_string(PositionCount));
  Write("; Access " + SetRelay(PortNo, kCarouselActivationRelay));
  Write(";  Waiting for Ready ");
  WaitReady(PortNo);
  NewLine();
  LastCarTarget = TextToInt(ReadDM(PortNo, kCarouselPositionDM));
  if (TestMode != 'C' && InversMode != 'Y') TakeOutTestPlate();

  if (TestMode == 'C') {
    CarouselLoop();
  } else if (TestMode == 'H') {
    HandlerLoop();
  } else if (!BothLoop()) {
    return;
  }
  AccessTimeSummary();
}
