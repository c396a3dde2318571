// Menu "3": one key, one controller command; keys B and I run short handler macros
// that ask for their numbers in a sub-window.
#include <cstdint>
#include <iterator>
#include <string>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/entry.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "comLib3/text.h"
#include "console/console.h"

namespace {

constexpr int kNoKeyValue = 255;
constexpr int kFlagsRow = 18;

const char* const kKeyTable[] = {
    "Function           Command    Key",
    "",
    "Rot. Position      WR DM0 x  1..9",
    "Enable Rotation    WR DM0 0     0",
    "Gate Open          ST 1901      O",
    "Gate Close         ST 1902      C",
    "End Access         ST 1903      E",
    "BCR                RS 1909      B",
    "CarAct ON          ST 1801      A",
    "System Reset       ST 1900      R",
    "",
    "Quit               --         esc",
};

struct CommandKey {
  char key;
  bool set;  // set the relay, else reset it
  int relay;
};

const CommandKey kCommandKeys[] = {
    {'A', true, kCarouselActivationRelay}, {'C', true, kGateCloseRelay},
    {'E', true, kEndAccessRelay},          {'F', false, kShakerRelay},
    {'L', false, kMacroPRelay},            {'O', true, kGateOpenRelay},
    {'P', true, kMacroPRelay},             {'R', true, kSystemResetRelay},
    {'S', true, kShakerRelay},
};

int KeyValue = 0;  // code of the key taken minus 48; 255 when this cycle took none

bool NewColourScheme() {
  return (DosVersionWord & 0xFF) > 6;
}

char Upper(int key) {
  return UpperStr(std::string(1, static_cast<char>(key)))[0];
}

// An extended key (0 and a scan code) means nothing here: its scan code must not pass
// for a letter, or the arrow and function keys would open the gate or reset the system.
void DropScanCodeFromConsole(int key) {
  if (key == 0 && KeyPressed()) ReadKey();
}

void DropScanCodeFromBuffer(char key) {
  if (key == '\0' && !KeyBuffer.empty()) KeyBuffer.erase(0, 1);
}

void DrawScreen() {
  Window(1, 1, 80, 25);
  NewScreen();
  KeyValue = 0;
  LastKey = '\0';
  const size_t lines = std::size(kKeyTable);
  for (size_t i = 0; i < lines; ++i) {
    Write(kKeyTable[i]);
    if (i + 1 < lines) NewLine();
  }
}

void DrawFlag(const char* label, int relay) {
  Write(label + ReadRelay(PortNo, relay));
  NewLine();
}

// Takes at most one key. An idle cycle leaves a NUL in KeyBuffer, which the next cycle
// takes as its key.
void TakeKey() {
  if ((KeyPressed() || !KeyBuffer.empty()) && !EscAbort) {
    if (!KeyBuffer.empty()) {
      LastKey = Upper(KeyBuffer[0]);
      KeyBuffer.erase(0, 1);
      DropScanCodeFromBuffer(LastKey);
    } else {
      int key = ReadKeyAbort();
      LastKey = Upper(key);
      DropScanCodeFromConsole(key);
    }
    KeyValue = static_cast<unsigned char>(LastKey) - '0';
  } else {
    KeyValue = kNoKeyValue;
    LastKey = '\0';
    KeyBuffer.assign(1, '\0');
  }
}

// Entries go out as unsigned 16-bit words: 65536 as 0, -1 as 65535.
uint16_t AskWord(const char* prompt) {
  return static_cast<uint16_t>(AskNumber(prompt));
}

void OpenMacroWindow(int background) {
  TextBackground(background);
  Window(8, 18, 72, 25);
  NewScreen();
  NewLine();
}

void MacroB() {
  WaitRelay(PortNo, kReadyRelay);
  OpenMacroWindow(NewColourScheme() ? 1 : 7);
  Write(WriteDM(PortNo, kTargetPositionDM, AskWord("  Cassette Number : ")));
  NewLine();
  NewLine();
  WaitTenths(1);
  Write(WriteDM(PortNo, kTargetLevelDM, AskWord("  Level Number : ")));
  NewLine();
  NewLine();
  WaitTenths(5);
  SetRelay(PortNo, kPlaceRelay);
  WaitTenths(1);
  TextBackground(NewColourScheme() ? 7 : 0);
}

// Waits for c or C; every other key, extended keys and Esc included, is dropped.
void WaitForC() {
  for (;;) {
    int key = ReadKey();
    if (key == 'c' || key == 'C') return;
    DropScanCodeFromConsole(key);
  }
}

void MacroI() {
  OpenMacroWindow(NewColourScheme() ? 1 : 15);
  Write(WriteDM(PortNo, kTargetPositionDM, AskWord("  Cassette Number : ")));
  NewLine();
  WaitTenths(2);
  WaitRelay(PortNo, kReadyRelay);
  SetRelay(PortNo, kPickRelay);
  WaitTenths(2);
  std::string dm121 = ReadDM(PortNo, kAccessesDM);
  std::string dm120 = ReadDM(PortNo, kReferenceTimeHighDM);
  Write(dm120 + " " + dm121);
  NewLine();
  Write("Press c to continue ");
  WaitForC();
  TextBackground(NewColourScheme() ? 7 : 0);
}

// True when a macro ran: the screen is then drawn anew.
bool RunCommandKey(char key) {
  GotoXY(1, ScreenRows() - 1);
  Write(std::string(1, key) + "  ");
  if (key == 'B' || key == 'I') {
    key == 'B' ? MacroB() : MacroI();
    return true;
  }
  for (const CommandKey& command : kCommandKeys) {
    if (command.key != key) continue;
    std::string text = (command.set ? "ST " : "RS ") + std::to_string(command.relay) + " ";
    std::string reply =
        command.set ? SetRelay(PortNo, command.relay) : ResetRelay(PortNo, command.relay);
    Write(text + reply);
  }
  return false;
}

bool IsCommandKey(char key) {
  if (key == 'B' || key == 'I') return true;
  for (const CommandKey& command : kCommandKeys)
    if (command.key == key) return true;
  return false;
}

// One cycle; true when a macro ran and the screen must be drawn anew.
bool MacroCycle() {
  GotoXY(1, kFlagsRow);
  DrawFlag("ErrorFlag  [1814] ", kErrorFlagRelay);
  DrawFlag("PlateReady [1815] ", kPlateReadyRelay);
  DrawFlag("Ready      [1915] ", kReadyRelay);
  NewLine();
  Write("Please Select ->  \b");
  NewLine();
  WaitTenths(3);
  TakeKey();
  if (KeyValue != kNoKeyValue) WriteNum(KeyValue);
  NewLine();
  if (IsCommandKey(LastKey) && RunCommandKey(LastKey)) return true;
  LastKey = '\0';
  return false;
}

}  // namespace

// A macro goes back to the drawing of the screen, not to the end-of-cycle test: after
// an Esc in its wait for Ready the redrawn screen still runs one cycle before it ends.
void MacroScreen() {
  bool redraw = true;
  while (redraw) {
    DrawScreen();
    do {
      redraw = MacroCycle();
    } while (!redraw && !EscAbort);
  }
}
