// The report that closes the random-access test: counts, wait, minimum, maximum and
// mean of the access and plate-ready times, the position-test extremes and the
// carousel position errors, under the program's banner.
#include <string>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/layout.h"
#include "PXN_Lib3/record.h"
#include "PXN_Lib3/status.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

namespace {

std::string Real(double value) {
  return FixedText(value, 4, 1);
}

// A line of the report, and of the test's record.
void SummaryLine(const std::string& text) {
  Write(AtColumn10(text));
  NewLine();
  RecordNote(text);
}

// Access and plate-ready figure side by side, in seconds.
std::string Pair(double access, double plateReady) {
  return Real(access) + "  PR " + Real(plateReady);
}

}  // namespace

void AccessTimeSummary() {
  ClearKeys();
  NewScreen();
  ShowBanner();
  SummaryLine("Complete Access Time Summary");
  SummaryLine("Access Including Gate Cycles");
  NewLine();
  SummaryLine("Access Procedure:       Fast");
  NewLine();
  SummaryLine("Total Accesses:        " + NumText(AccessCount, 4));
  SummaryLine("Access Interval [Min]: " + NumText(WaitTime / 60, 4));
  SummaryLine("Min. Access Time:      " + SecondsText(MinAccessTime) + "  PR " +
              SecondsText(MinPlateReadyTime));
  SummaryLine("Max. Access Time:      " + SecondsText(MaxAccessTime) + "  PR " +
              SecondsText(MaxPlateReadyTime));
  // With nothing counted the sums are shown as they are (0.0) instead of divided by 0.
  const double divisor = AccessCount > 0 ? AccessCount : 1;
  SummaryLine("Mean Access Time:      " +
              Pair(SumAccessTime / divisor, SumPlateReadyTime / divisor));
  NewLine();
  SummaryLine("Max PosTest Time:      " + Real(MaxPosTestTime / 10.0));
  SummaryLine("Min PosTest Tim:       " + Real(MinPosTestTime / 10.0));
  NewLine();
  SummaryLine("Car. Pos. Errs         " + std::to_string(CarPosErrors));
  Write(RuleLine());
  NewLine();
  ClearKeys();
  FlushWaitKey();
}
