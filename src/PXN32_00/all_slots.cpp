// Menu "6": with a single plate in the store, brings it into every slot in turn and takes
// it out again, cycle after cycle, until the operator quits. The quick test serves only
// the lowest and the highest level of every position.
#include "PXN32_00/all_slots.h"

#include <cctype>
#include <string>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/entry.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/record.h"
#include "PXN_Lib3/status.h"
#include "base/record_format.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

char BySlotMode = 'N';
int32_t StartLevel = 1;
char AnswerKey = 'N';
int32_t SlotLevel = 1;

namespace {

int32_t BringInRelay() {
  return BringInMove(XferMode == 'Y').relay;
}
int32_t TakeOutRelay() {
  return TakeOutMove(XferMode == 'Y').relay;
}

void AskQuestions() {
  Write("             ! WARNING !");
  NewLine();
  Write("! Remove all Plates from Cassettes except one !");
  NewLine();
  Write("!      Put Plate in Pos 1.1                   !");
  NewLine();
  Write("\a\a");
  NewLine();
  Write("Detected Levels: " + std::to_string(LevelCount) +
        "            CarPos: " + std::to_string(PositionCount));
  NewLine();
  NewLine();
  AnswerKey = AskKey("X-fer Station [Y/N] ");
  XferMode = AnswerKey == 'Y' ? 'Y' : 'N';
  AnswerKey = AskKey("Quick Test [Y/N]   ");
  if (AnswerKey == 'Y') return;
  StartLevel = AskNumber("Enter Start Level [1]    ");
  if (StartLevel < 1) StartLevel = 1;
  if (StartLevel > LevelCount) StartLevel = LevelCount;
  InversMode = AskKey("Invers. Mode [Y/N] ");
  BySlotMode = AskKey("By Slot [Y/N] ");
}

// Only "N" takes the plate out of 1.1 first: the inverse order finds it there.
void TakePlateOutOfFirstSlot() {
  if (InversMode != 'N') return;
  Write(XferMode == 'Y' ? "Unload Plate from 1,1: " : "Pick Plate form 1,1: ");
  MovePlate(PortNo, 1, 1, TakeOutRelay());
}

void WriteSlotHead(int32_t position, int32_t level) {
  Write("Cyc " + NumText(AccessCount, 3) + "  Lvl " + NumText(level, 2) + "  Pos " +
        NumText(position, 2));
}

// The move's label as the row shows it, then the move.
MoveReplies LabelledMove(const char* label, int32_t position, int32_t level, int32_t relay) {
  Write(label);
  return MovePlate(PortNo, position, level, relay);
}

// One row of the record: the slot, then each move that went out by the name its label
// shows and its three replies. A slot where no move went out (after a quit) has no row.
void RecordSlot(int32_t position, int32_t level, const char* first, const MoveReplies& a,
                const char* second, const MoveReplies& b) {
  if (!a.made && !b.made) return;
  auto name = [](const char* label, const MoveReplies& m) { return m.made ? label : ""; };
  RecordRow({std::to_string(AccessCount), std::to_string(level), std::to_string(position),
             name(first, a), a.position, a.level, a.relay, name(second, b), b.position, b.level,
             b.relay});
}

void ServeSlot(int32_t position) {
  WriteSlotHead(position, SlotLevel);
  MoveReplies a, b;
  if (InversMode == 'Y') {
    a = LabelledMove(" UnLoad ", position, SlotLevel, TakeOutRelay());
    b = LabelledMove("     Load ", position, SlotLevel, BringInRelay());
    RecordSlot(position, SlotLevel, "UnLoad", a, "Load", b);
  } else {
    a = LabelledMove("   Load ", position, SlotLevel, BringInRelay());
    b = LabelledMove("   Unload ", position, SlotLevel, TakeOutRelay());
    RecordSlot(position, SlotLevel, "Load", a, "Unload", b);
  }
  NewLine();
}

// Every slot once, from the start slot on, in the order chosen; the last slot served is
// the top level of the last position in both orders. False once the operator quit.
bool FullCycle(int32_t firstLevel) {
  int32_t position = 1;
  SlotLevel = firstLevel;
  for (;;) {
    ServeSlot(position);
    if (QuitConfirmed) return false;
    if (position >= PositionCount && SlotLevel >= LevelCount) return true;
    if (BySlotMode == 'Y') {
      if (SlotLevel < LevelCount) {
        ++SlotLevel;
      } else {
        SlotLevel = 1;
        ++position;
      }
    } else if (position < PositionCount) {
      ++position;
    } else {
      position = 1;
      ++SlotLevel;
    }
  }
}

void QuickSlot(int32_t position, int32_t level) {
  WriteSlotHead(position, level);
  const MoveReplies a = LabelledMove("  Laod ", position, level, BringInRelay());
  const MoveReplies b = LabelledMove("  Unload ", position, level, TakeOutRelay());
  RecordSlot(position, level, "Laod", a, "Unload", b);
  NewLine();
}

bool QuickCycle() {
  // A store that reports no positions has nothing to serve: the cycles go round at a
  // second each, so the screen waits for the quit instead of spinning.
  if (PositionCount < 1) WaitTenths(10);
  for (int32_t position = 1; position <= PositionCount; ++position) {
    QuickSlot(position, 1);
    QuickSlot(position, LevelCount);
    if (QuitConfirmed) return false;
  }
  return true;
}

void StartAllSlotsRecord(bool quick) {
  const std::string settings = std::string("Test Sequence all Slots, X-fer ") + XferMode +
                               ", quick " + AnswerKey +
                               (quick ? ""
                                      : std::string(", start level ") + std::to_string(StartLevel) +
                                            ", invers " + InversMode + ", by slot " + BySlotMode);
  StartRecord(record_format::kAllSlots, record_format::kAllSlotsColumns, {settings});
}

}  // namespace

void AllSlotsTest() {
  FullWindow();
  NewScreen();
  InversMode = BySlotMode = 'N';
  AccessCount = 1;
  AskQuestions();
  WaitTenths(1);
  WaitReady(PortNo);
  Write("Activate Carousel " + SetRelay(PortNo, kCarouselActivationRelay));
  NewLine();
  Write("Check Ready: ");
  WaitReady(PortNo);
  TakePlateOutOfFirstSlot();
  NewLine();
  NewScreen();
  const bool quick = AnswerKey == 'Y';
  StartAllSlotsRecord(quick);
  // The start level entered holds for the first cycle; every later one starts at the bottom.
  int32_t firstLevel = StartLevel;
  while (quick ? QuickCycle() : FullCycle(firstLevel)) {
    firstLevel = 1;
    ++AccessCount;
    if (AskQuit()) break;
  }
  EndRecord();
}

void ResetAllSlots() {
  BySlotMode = AnswerKey = 'N';
  StartLevel = SlotLevel = 1;
}
