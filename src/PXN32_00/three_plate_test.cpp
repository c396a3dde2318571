// Menu "8": three plates walk up the stack of each position in turn and over to the next
// one, round the carousel, until the operator quits. The position counter is WaitTime.
#include "PXN_Lib3/three_plate.h"

#include <string>

#include "PXN32_00/screens.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/record.h"
#include "PXN_Lib3/status.h"
#include "base/record_format.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

namespace {

// A stack too short for the walk: say so and move nothing.
void RefuseShortStack() {
  Write("! 3-Plate Test needs " + std::to_string(kThreePlateMinLevels) +
        " Levels or more, Detected Levels: " + std::to_string(LevelCount) + " !");
  NewLine();
  Write("Press any key");
  FlushWaitKey();
  NewLine();
}

}  // namespace

void ThreePlateTest() {
  FullWindow();
  NewScreen();
  if (LevelCount < kThreePlateMinLevels) return RefuseShortStack();
  Write("                    ! WARNING !");
  NewLine();
  Write("! Remove all Plates from Cassettes except 3 Plates !");
  NewLine();
  Write("!      Put Plate in Pos 1.1, 1.2 and 1.3 !");
  NewLine();
  Write("\a\a");
  FlushWaitKey();
  NewLine();
  NewScreen();
  StartRecord(record_format::kThreePlate, record_format::kThreePlateColumns,
              {std::string("Test 3-Plate Squence, relay 1703 ") + (Flag1703 ? "on" : "off")});
  WaitTime = 1;
  for (;;) {
    ThreePlateCycle(PortNo, WaitTime, LevelCount, PositionCount);
    ++WaitTime;
    if (AskQuit()) break;
    if (WaitTime > PositionCount) WaitTime = 1;  // the block is back at position 1
  }
  EndRecord();
}
