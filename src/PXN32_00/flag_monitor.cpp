// Menu "2": the controller's flags and key data words, redrawn in place pass after
// pass, with a command line typed blind into KeyBuffer and sent on Enter.
#include <string>

#include "KV_Lib3/commands.h"
#include "KV_Lib3/exchange.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

namespace {

constexpr int kNoRelay = -1;
constexpr int kPositionReadings = 8;
constexpr int kCommandColumns = 13;  // text, block and blanks
constexpr int kReplyColumn = 15;
constexpr char kBlock = static_cast<char>(219);  // stands for the cursor of the command line

struct RelayRow {
  const char* leftLabel;
  int leftRelay;
  const char* rightLabel;
  int rightRelay;
};

const RelayRow kRelayRows[] = {
    {"P0     0000 ", 0, "   Rot.EN   0500 ", 500},
    {"Pn     0001 ", 1, "   GateEN   0501 ", 501},
    {"GtClse 0002 ", 2, "   Rot.Dir  0502 ", 502},
    {"GtOpen 0003 ", 3, "   GateDir  0503 ", 503},
    {"       0004 ", 4, "   CarDrive 0504 ", 504},
    {"F.Door 0005 ", 5, "   LED      0505 ", 505},
    {"SW 2E0 0006 ", 6, nullptr, kNoRelay},
    {"SW 2E1 0007 ", 7, "   Acs.     1100 ", 1100},
    {"SW 2E2 0008 ", 8, "   Shaker        ", 1907},
    {"SW 2E3 0009 ", 9, "   SysAct   1801 ", 1801},
    {"PltShv 0010 ", 10, "   KeyVld        ", 1104},
    {"TrnIn  0011 ", 11, nullptr, kNoRelay},
    {"ShFrnt 0012 ", 12, "   PlateReady    ", 1815},
    {"ShBk   0013 ", 13, "   Ready    1915 ", 1915},
    {"TrnOut 0014 ", 14, nullptr, kNoRelay},
    {"z-Init 0015 ", 15, nullptr, kNoRelay},
};

// The right-hand relay is read before the left-hand one: the controller sees the reads
// of a row in that order.
void DrawRelayRow(const RelayRow& row) {
  std::string right;
  if (row.rightRelay != kNoRelay) ReadRelay(PortNo, row.rightRelay, right);
  std::string left = ReadRelay(PortNo, row.leftRelay);
  Write(row.leftLabel + left);
  if (row.rightRelay != kNoRelay) Write(row.rightLabel + right);
  NewLine();
}

void DrawWord(const char* label, uint16_t address) {
  Write(label + ReadDM(PortNo, address));
}

// Re-reads the carousel position in place; a key cuts the refreshing short so that
// typing stays responsive.
void RefreshPosition() {
  int x = WhereX(), y = WhereY();
  for (int count = 1;; ++count) {
    GotoXY(x, y);
    DrawWord("Rot.Pos. DM01 ", 1);
    if (count >= kPositionReadings) break;
    if (PollKey() != 0) break;
  }
}

// The cells the command line may take from the cursor on: up to the row before the
// window's last, less one, so that neither the line nor the reply written after it (from
// column 15, wrapping once) can scroll the window, and the status row and table with it.
size_t CommandLineRoom() {
  const int width = ScreenCols() - (WindowMin() & 0xFF);
  const int height = ScreenRows() - (WindowMin() >> 8);
  const int cells = (height - 1 - WhereY()) * width + (width - WhereX());
  return cells > 0 ? static_cast<size_t>(cells) : 0;
}

// A command line longer than its room shows its end, where the typing is.
std::string LastPart(const std::string& text, size_t room) {
  return text.size() > room ? text.substr(text.size() - room) : text;
}

void DrawCommandLine() {
  if (KeyBuffer.empty()) return;
  const size_t room = CommandLineRoom();
  if (KeyBuffer.back() != kEnter) {
    int blanks = kCommandColumns - 1 - static_cast<int>(KeyBuffer.size());
    Write(LastPart(
        KeyBuffer + kBlock + std::string(blanks > 0 ? static_cast<size_t>(blanks) : 0, ' '), room));
    return;
  }
  Write(LastPart(KeyBuffer, room + 1));  // its final CR brings the cursor back to column 1
  int row = WhereY();
  GotoXY(static_cast<int>(KeyBuffer.size()), row);  // the block of the previous pass
  Write(' ');
  GotoXY(kReplyColumn, row);
  Write(PlcExchange(PortNo, KeyBuffer) + "     ");
  ClearKeys();
}

}  // namespace

void FlagMonitorPass() {
  GotoXY(1, 2);
  for (const RelayRow& row : kRelayRows) DrawRelayRow(row);
  NewLine();
  DrawWord("Set.Spd. DM91 ", 91);
  DrawWord("  aSlpe.DM92 ", 92);
  DrawWord("  bSlpe.DM93 ", 93);
  NewLine();
  RefreshPosition();
  DrawWord("  Accs. DM00 ", 0);
  DrawWord("  AccV. DM02 ", 2);
  NewLine();
  NewLine();
  DrawCommandLine();
}

void FlagMonitor() {
  NewScreen();
  do {
    FlagMonitorPass();
  } while (!EscAbort);
}
