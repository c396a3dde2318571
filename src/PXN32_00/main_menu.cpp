#include "PXN32_00/main_menu.h"

#include <string>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "KV_Lib3/exchange.h"
#include "KV_Lib3/plc_port.h"
#include "KV_Lib3/text_to_int.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/layout.h"
#include "PXN_Lib3/times_file.h"
#include "base/version.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "comLib3/serial.h"
#include "comLib3/text.h"
#include "console/console.h"

char MenuChoice = '\0';

namespace {

constexpr int kInvalidNumericInputExit = 1;

const char* const kMenuLines[] = {
    "Direct Commands                 1", "Monitor Flags                   2",
    "Macros                          3", "Teach Positioning Times         4",
    "Component Test / Error Cntrs    5", "Test Sequence all Slots         6",
    "Test Sequence Random Access     7", "Test 3-Plate Squence            8",
    "Quit                            0",
};

struct MenuEntry {
  char key;
  void (*function)();
};

const MenuEntry kDispatch[] = {
    {'1', DirectCommands},        {'2', FlagMonitor},       {'3', MacroScreen},
    {'4', TeachPositioningTimes}, {'5', ComponentTestMenu}, {'6', AllSlotsTest},
    {'7', RandomAccessTest},      {'8', ThreePlateTest},    {'S', StatisticsScreen},
};

// Start-up: port, operator, open, connection check, the taught times when a file keeps
// them. False when the port number was not a number.
bool StartUp() {
  DosVersionWord = DosVersion();
  TextBackground(7);
  TextColor(1);
  ClrScr();
  ScratchText.clear();
  KeyBuffer.clear();
  Write("Enter Port Number to Tavomir [1,2] ");
  if (!ReadLineInteger(PortNo)) return false;
  Write("Enter Operator Name                ");
  OperatorName = ReadLineText();
  Write("Open Comport ");
  Write(std::to_string(OpenPlcPort(PortNo)));
  NewLine();
  std::string reply;
  CommRequest(PortNo, reply);
  int32_t serialNo = kSerialUnknown;
  if (reply == "CC") {
    Write("Communication Request to Hardware CC");
    NewLine();
    SerialNo = serialNo = TextToInt(ReadDM(PortNo, kSerialNumberDM));
    CommQuit(PortNo, reply);
    Write(reply + " Closed");
    RandomizeFromClock();
  } else {
    Write("No Communication to Hardware...");
  }
  if (!TimesFile.empty()) {
    NewLine();
    Write(LoadTaughtTimes(serialNo));
  }
  WaitTenths(TimesFile.empty() ? 5 : 25);  // the times file's line stays long enough to read
  return true;
}

// Reads a geometry word until two readings in a row agree.
int32_t ReadAgreeingDM(uint16_t address) {
  ReadSteadyDM(PortNo, address, 0, ScratchText);
  return TextToInt(ScratchText);
}

void ReadGeometry() {
  LevelCount = ReadAgreeingDM(kLevelCountDM);
  PositionCount = ReadAgreeingDM(kPositionCountDM);
  Flag1703 = ReadRelay(PortNo, kThreePlateRouteRelay) == "1";
  if (PositionCount == 0) PositionCount = 9;
}

void ShowMenu() {
  ClrScr();
  ShowBanner();
  for (const char* line : kMenuLines) {
    Write(AtColumn10(line));
    NewLine();
  }
  NewLine();
  Write(RuleLine());
  NewLine();
  Write(AtColumn10("Enter [0..6]                    "));
}

void RunChoice() {
  ClearKeys();
  LastKey = '\0';
  QuitConfirmed = false;
  std::string reply;
  CommRequest(PortNo, reply);
  Write(reply);
  NewLine();
  SerialNo = TextToInt(ReadDM(PortNo, kSerialNumberDM));
  WriteDM(PortNo, kServiceWordDM, 0);
  char key = UpperStr(std::string(1, MenuChoice))[0];
  if (static_cast<unsigned char>(key) > '3') ReadGeometry();
  for (const MenuEntry& entry : kDispatch)
    if (entry.key == key) entry.function();
  ClearKeys();
  CommQuit(PortNo, reply);
  Write(reply);
  NewLine();
}

}  // namespace

void ShowBanner() {
  FullWindow();
  ClrScr();
  Window(10, 1, ScreenCols() - 10, ScreenRows());
  ClrScr();
  ReadCurrentStamp();
  Write("Merovin R&D");
  RightAlign(DateText(CurrentStamp), 55);
  Write("R.J.Vokel");
  RightAlign(TimeText(CurrentStamp), 55);
  NewLine();
  Write(std::string("      Plaxon-Tavomir-UserSoft   *   V ") + base::kVersion + ", 18.09.A2");
  NewLine();
  NewLine();
  Write("Merovin AG");
  RightAlign("PXN 0000.0", 55);
  Write(OperatorName);
  ScratchText = std::to_string(SerialNo);
  RightAlign("# " + ScratchText, 55);
  NewLine();
}

int RunProgram() {
  if (!StartUp()) {
    Write("Invalid numeric input");
    NewLine();
    return kInvalidNumericInputExit;
  }
  do {
    ShowMenu();
    MenuChoice = ReadLineChar();
    RunChoice();
  } while (MenuChoice != '0');
  CloseComPort(PortNo);
  TextBackground(0);
  TextColor(7);
  FullWindow();
  ClrScr();
  return 0;
}

void ResetMainMenu() {
  MenuChoice = '\0';
}
