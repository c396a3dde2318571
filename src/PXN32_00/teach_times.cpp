// Menu "4": drives the carousel from its home position to every position in turn,
// times each move until Ready and keeps the times for the component and access tests,
// and in the times file when one was given and the run was not quit.
#include <algorithm>
#include <cctype>
#include <string>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/layout.h"
#include "PXN_Lib3/positioning_times.h"
#include "PXN_Lib3/status.h"
#include "PXN_Lib3/times_file.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

namespace {

// '0' a single carousel, '1' the left one, '2' the right one.
struct Teaching {
  char side = '0';
  int32_t position = 0;
};

Teaching ChooseSide() {
  Teaching teaching;
  if (ReadRelay(PortNo, kTwoCarouselsRelay) != "1") return teaching;
  Write("Left Carrousel [Y/N] ");
  if (std::toupper(ReadKey()) == 'Y') {
    teaching.side = '1';
    teaching.position = -1;  // the first step of 2 lands on position 1
  } else {
    teaching.side = '2';
  }
  return teaching;
}

void WriteSeconds(int32_t hundredths) {
  Write(SecondsText(hundredths) + " s");
}

// Polls Ready every 100 ms. Esc brings up the quit prompt here as in every other wait,
// so a Ready that never comes cannot hold the screen. True when the operator quit.
bool WaitReadyTimed() {
  do {
    WaitTenths(1);
    if (ReadRelay(PortNo, kReadyRelay) == "1") return false;
  } while (!AskQuit());
  return true;
}

void TimeOneMove(int32_t position) {
  Write("Pos. " + NumText(position, 2) + "  " +
        WriteDM(PortNo, kTargetPositionDM, static_cast<uint16_t>(position)));
  StartStopwatch(WatchStart, WatchLap);
  if (WaitReadyTimed()) {  // an interrupted move is no positioning time: keep the old one
    NewLine();
    return;
  }
  const int32_t hundredths = Elapsed(WatchStart, WatchLap);
  PositioningTimes[static_cast<size_t>(position)] = hundredths;
  Write("  ");
  WriteSeconds(hundredths);
  NewLine();
  WaitTenths(1);
}

void TeachPositions(Teaching teaching) {
  const int32_t step = teaching.side == '0' ? 1 : 2;
  const uint16_t home = teaching.side == '2' ? 2 : 1;
  do {
    teaching.position += step;
    if (!IsTaughtPosition(teaching.position)) break;  // the table ends at position 56
    Write("Pos.  " + std::to_string(home) + "  " + WriteDM(PortNo, kTargetPositionDM, home));
    WaitReady(PortNo);
    NewLine();
    if (!QuitConfirmed) TimeOneMove(teaching.position);
  } while (teaching.position < PositionCount && !QuitConfirmed);
}

// Every position of the storage is listed, also those the chosen side did not visit;
// a storage with more positions than the table lists the table only.
void ShowSummary() {
  NewScreen();
  ShowBanner();
  NewLine();
  Write(AtColumn10("RBC Positioning Times:"));
  NewLine();
  NewLine();
  const int32_t last = std::min(PositionCount, kPositioningTimeCount);
  for (int32_t p = 1; p <= last; ++p) {
    Write(AtColumn10("Pos " + std::to_string(p) + "  "));
    WriteSeconds(PositioningTimes[static_cast<size_t>(p)]);
    NewLine();
  }
  NewLine();
  ClearKeys();
  LastKey = static_cast<char>(ReadKey());
}

}  // namespace

void TeachPositioningTimes() {
  ClrScr();
  WaitReady(PortNo);
  ClrScr();
  Teaching teaching = ChooseSide();
  Write("Activate Carousel " + SetRelay(PortNo, kCarouselActivationRelay));
  NewLine();
  WaitReady(PortNo);
  NewScreen();
  NewLine();
  TeachPositions(teaching);
  if (!QuitConfirmed) SaveTaughtTimes();  // before the summary, whose bar shows a failure
  ShowSummary();
}
