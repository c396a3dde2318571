// Windows, cursor moves and writes in any order keep every write inside the screen.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "console/screen.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  console::Screen screen(1 + (size ? data[0] % 100 : 0), 1 + (size > 1 ? data[1] % 40 : 0));
  for (size_t at = 2; at + 4 < size; at += 5) {
    const uint8_t* op = data + at;
    const int kind = op[0] % 4;
    if (kind == 0) screen.SetWindow(op[1] % 110, op[2] % 45, op[3] % 110, op[4] % 45);
    if (kind == 1) screen.GotoXY(op[1] - 5, op[2] - 5);
    if (kind == 2) screen.Write(std::string_view(reinterpret_cast<const char*>(op + 1), 4));
    if (kind == 3) screen.ClearWindow();
    const int col = screen.ScreenCursorCol(), row = screen.ScreenCursorRow();
    if (col < screen.WinLeft() || col > screen.WinRight() || row < screen.WinTop() ||
        row > screen.WinBottom())
      __builtin_trap();
  }
  return 0;
}
