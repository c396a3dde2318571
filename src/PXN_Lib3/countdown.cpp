#include <string>

#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "console/console.h"

// Counts down in place: each value is backspaced over so the next one replaces it.
uint8_t Countdown(int32_t seconds) {
  if (EscAbort || QuitConfirmed) return kEsc;
  const int width = seconds < 1 ? 1 : DecimalDigits(seconds);
  const std::string back(static_cast<size_t>(width) + 2, '\b');
  for (int32_t n = seconds; n >= 0 && !AskQuit(); --n) {
    WriteNum(n, width);
    Write(" s");
    WaitSeconds(1);
    Write(back);
  }
  WriteNum(0, width);
  Write(" s");
  return 0;
}
