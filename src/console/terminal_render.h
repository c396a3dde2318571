// Draws the screen model on an ANSI terminal: only the cells that changed since the
// last frame, colours in ANSI numbers, code page 437 as UTF-8 or ASCII.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "console/screen.h"

namespace console {

// What the terminal shows, as far as we know it.
struct Frame {
  std::vector<Cell> cells;  // empty: unknown, the next frame paints everything
  int cols = 0, rows = 0;
  int attr = -1;                     // colours in effect; -1 unknown
  int cursorCol = 0, cursorRow = 0;  // 0: unknown
};

struct RenderOptions {
  bool utf8 = true;
  // The terminal's size now; the model keeps its start-up size, and what does not fit
  // is not drawn. 0 means the model's size.
  int termCols = 0, termRows = 0;
};

// The bytes that bring the terminal from `shown` to `screen`; `shown` then describes
// the terminal after them. Empty when nothing changed.
std::string RenderFrame(Frame& shown, const Screen& screen, const RenderOptions& options);

// ANSI colour numbers for a PC colour (0-15): 30-37 / 90-97 for text, 40-47 / 100-107
// for the background.
int AnsiForeground(int pcColour);
int AnsiBackground(int pcColour);

}  // namespace console
