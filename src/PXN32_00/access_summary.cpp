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
void ReportLine(const std::string& text) {
  WriteSummaryLine(text);
  NewLine();
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
  ReportLine("Complete Access Time Summary");
  ReportLine("Access Including Gate Cycles");
  NewLine();
  ReportLine("Access Procedure:       Fast");
  NewLine();
  ReportLine("Total Accesses:        " + NumText(AccessCount, 4));
  ReportLine("Access Interval [Min]: " + NumText(WaitTime / 60, 4));
  ReportLine("Min. Access Time:      " + SecondsText(MinAccessTime) + "  PR " +
              SecondsText(MinPlateReadyTime));
  ReportLine("Max. Access Time:      " + SecondsText(MaxAccessTime) + "  PR " +
              SecondsText(MaxPlateReadyTime));
  // With nothing counted the sums are shown as they are (0.0) instead of divided by 0.
  const double divisor = AccessCount > 0 ? AccessCount : 1;
  ReportLine("Mean Access Time:      " +
              Pair(SumAccessTime / divisor, SumPlateReadyTime / divisor));
  NewLine();
  ReportLine("Max PosTest Time:      " + Real(MaxPosTestTime / 10.0));
  ReportLine("Min PosTest Tim:       " + Real(MinPosTestTime / 10.0));
  NewLine();
  ReportLine("Car. Pos. Errs         " + std::to_string(CarPosErrors));
  Write(RuleLine());
  NewLine();
  ClearKeys();
  FlushWaitKey();
}
