#include "PXN_Lib3/status.h"

#include <string>
#include <utility>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "KV_Lib3/text_to_int.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/layout.h"
#include "PXN_Lib3/record.h"
#include "PXN_Lib3/times_file.h"
#include "comLib3/keyboard.h"
#include "comLib3/line_log.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"
#include "nbrBase/nbrBase.h"

namespace {

// The gap before the time, with a mark at its end when the line log, a test record or
// the taught times could not be written ("NO LOG/TIMES"): the technician finds out from
// the bar, and the rest of the bar stays where it always is.
std::string Gap(int blanks) {
  const std::pair<bool, const char*> failures[] = {{!LineLogFailure().empty(), "LOG"},
                                                   {!RecordFailure().empty(), "REC"},
                                                   {!TimesFileFailure().empty(), "TIMES"}};
  std::string mark;
  for (const auto& [failed, what] : failures)
    if (failed) mark += (mark.empty() ? "NO " : "/") + std::string(what);
  std::string gap(static_cast<size_t>(blanks), ' ');
  if (!mark.empty() && gap.size() >= mark.size() + 2)
    gap.replace(gap.size() - mark.size() - 1, mark.size(), mark);
  return gap;
}

}  // namespace

void ShowStatus() {
  if (EscAbort) return;  // an Esc waits to be answered: no bar, no traffic
  SaveCursor();
  GotoXY(1, 1);
  TextColor(14);
  TextBackground(4);
  uint16_t hundredths = 0;
  GetTime(CurrentStamp.Hour, CurrentStamp.Minute, CurrentStamp.Second, hundredths);
  Write("Plaxon    ComPort " + std::to_string(PortNo) + "  SNr. " + std::to_string(SerialNo) +
        "  SysStat ");
  std::string reply, hex;
  ReadDM(PortNo, kSystemStatusDM, reply);
  HexWord(static_cast<uint16_t>(TextToInt(reply) & 0xFFFF), hex);
  ReadRelay(PortNo, kReadyRelay, reply);
  Write("    Ready " + reply);
  int blanks = ScreenCols() - 8 - WhereX() + 1;
  if (blanks > 0) Write(Gap(blanks));
  Write(TimeText(CurrentStamp));
  TextColor(1);
  TextBackground(7);
  RestoreCursor();
}

void NewScreen() {
  ClrScr();
  GotoXY(1, 2);
  ShowStatus();
}

bool AskQuit() {
  int key = PollKey();
  if (key != kEsc && !EscAbort) return QuitConfirmed;
  if (QuitConfirmed) return true;
  ClearKeys();
  int x = WhereX(), y = WhereY();
  GotoXY(1, 1);
  TextColor(14);
  TextBackground(2);
  Write(std::string(9, ' '));
  GotoXY(2, 1);
  Write("\aQuit ? ");
  int answer = ReadKey();
  ClearKeys();
  QuitConfirmed = answer == 'Y' || answer == 'y';
  TextColor(1);
  TextBackground(7);
  GotoXY(x, y);
  return QuitConfirmed;
}
