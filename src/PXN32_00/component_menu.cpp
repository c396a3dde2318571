// Menu "5": one exercise per mechanism of the store and the error counters. Every
// choice ends with the service word back at 0, so no test leaves shovel or turn free.
#include <cctype>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

namespace {

const char* const kMenuLines[] = {
    "Carrousel Movement  1", "Plate Movement      2", "Stack Movement      3",
    "Lift Movement       4", "Gate Movement       5", "Shovel Movement     6",
    "Turn Movement       7", "Error Counters      8",
};

struct Choice {
  char key;
  void (*test)();
};

// "3" (the stack) has no test of its own: only the end step runs.
const Choice kChoices[] = {
    {'1', CarouselMovementTest}, {'2', PlateMovementTest},  {'4', LiftMovementTest},
    {'5', GateMovementTest},     {'6', ShovelMovementTest}, {'7', TurnMovementTest},
    {'8', ErrorCountersScreen},
};

void ShowMenu() {
  NewScreen();
  NewLine();
  for (const char* line : kMenuLines) {
    Write(line);
    NewLine();
  }
  NewLine();
  Write("Select now      ");
}

}  // namespace

// The quit flag is left as the test left it: a test chosen after a confirmed quit runs
// a single cycle (or none) until the main menu clears the flag.
void ComponentTestMenu() {
  for (;;) {
    ShowMenu();
    LastKey = static_cast<char>(std::toupper(ReadKeyPress()));
    NewLine();
    for (const Choice& choice : kChoices)
      if (choice.key == LastKey) choice.test();
    WriteDM(PortNo, kServiceWordDM, 0);
    if (LastKey == kEsc) return;
  }
}
