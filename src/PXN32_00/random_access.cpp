// Menu "7": serves random targets until the operator quits, times every access and
// closes with the access time summary. The carousel alone, the handler alone on the
// position where the carousel stands, or both together on random slots.
#include "PXN32_00/random_access.h"

#include <cctype>
#include <limits>
#include <string>
#include <vector>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "KV_Lib3/text_to_int.h"
#include "PXN32_00/random_access_modes.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/entry.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/record.h"
#include "PXN_Lib3/status.h"
#include "PXN_Lib3/timed_access.h"
#include "base/record_format.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

char TestMode = '\0';
bool XferIncluded = true;
int32_t LastCarTarget = 0;
uint16_t RotDistance = 0;

HandlerMove BringIn() {
  return BringInMove(XferIncluded);
}
HandlerMove TakeOut() {
  return TakeOutMove(XferIncluded);
}

namespace {

void ResetTest() {
  CarPosErrors = 0;
  InversMode = 'N';
  WaitTime = 0;
  MaxRandomWait = 0;
  LastKey = '\0';
  ResetAccessStatistics();
  PrevCarPos = kNoCarPos;
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
  Write(XferIncluded ? "Unld Plate form 1,1 " : "Get Plate from 1,1 ");
  MovePlate(PortNo, 1, 1, TakeOut().relay);
  WaitReady(PortNo);
  NewLine();
}

// DM25 read until two readings 200 ms apart agree. A controller that no longer answers
// gives no count: the one read at the menu stays, and the test goes on with empty
// replies until Esc and Y bring its summary, as under any silent controller.
int32_t ReadSteadyLevels() {
  std::string levels;
  ReadSteadyDM(PortNo, kLevelCountDM, 2, levels);
  return levels.empty() ? LevelCount : TextToInt(levels);
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
  const HandlerMove first = inverse ? TakeOut() : BringIn();
  const HandlerMove second = inverse ? BringIn() : TakeOut();
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

// The record of the test, named and laid out by its mode, with the answers it started
// with; the rows come from the loops.
void StartTestRecord() {
  const std::vector<std::string> settings = {
      "Test Sequence Random Access, mode " + std::string(1, TestMode) + ", X-fer " +
          std::string(1, XferMode) + ", invers " + std::string(1, InversMode),
      "interval entry " + std::to_string(WaitTime) + ", fixed wait " + std::to_string(FixedWait) +
          " s, random wait up to " + std::to_string(MaxRandomWait) + " s"};
  using namespace record_format;
  if (TestMode == 'C') {
    StartRecord(kRandomCarousel, kRandomCarouselColumns, settings);
  } else if (TestMode == 'H') {
    StartRecord(kRandomHandler, kRandomHandlerColumns, settings);
  } else {
    StartRecord(kRandomBoth, kRandomBothColumns, settings);
  }
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
    InversMode = std::toupper(ReadKeyPress()) == 'Y' ? 'Y' : 'N';
    Write(InversMode);
    NewLine();
  }
  XferIncluded = XferMode != 'N';
  AskWaits();
  StartTestRecord();

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
    EndRecord();
    return;
  }
  AccessTimeSummary();
  EndRecord();
}

void ResetRandomAccess() {
  TestMode = '\0';
  XferIncluded = true;
  LastCarTarget = 0;
  RotDistance = 0;
}
