// Component test 8: the controller's nine error counters as it sends them, and all of
// them set back to 0 on request.
#include <cctype>
#include <cstdint>
#include <string>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

namespace {
constexpr int kErrorCounters = 9;
constexpr int kTimeSpill = 9;

uint16_t CounterAddress(int i) {
  return static_cast<uint16_t>(kFirstErrorCounterDM + i);
}
}  // namespace

// The answer is not kept: LastKey holds the menu key, so the menu stays.
void ErrorCountersScreen() {
  NewScreen();
  // In the banner window the bar's time runs on into row 2, columns 2 to 9, where the
  // counters start: blank it, so that no digit of it reads as part of a counter.
  Write(std::string(kTimeSpill, ' '));
  GotoXY(1, 2);
  for (int i = 0; i < kErrorCounters; ++i) {
    const std::string reply = ReadDM(PortNo, CounterAddress(i));
    Write("DM" + NumText(CounterAddress(i), 3) + " " + reply);
    NewLine();
  }
  NewLine();
  Write("Reset Counter [Y/N] ");
  if (std::toupper(ReadKeyPress()) != 'Y') return;
  NewLine();
  // Each counter on its own: a failed write shows its reply and the next one still goes.
  for (int i = 0; i < kErrorCounters; ++i) {
    Write("Reset DM" + std::to_string(CounterAddress(i)) + " ");
    Write(WriteDM(PortNo, CounterAddress(i), 0));
    NewLine();
  }
  WaitTenths(15);
}
