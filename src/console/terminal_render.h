// Draws the screen model on an ANSI terminal: only the cells that changed since the
// last frame, colours in ANSI numbers, code page 437 as UTF-8 or ASCII.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "console/screen.h"

namespace console {

// The part of the screen a terminal smaller than it shows: how many columns and rows
// are skipped. Row 1, the status bar of every screen, stays on the terminal's top row
// while the rows below it scroll.
struct View {
  int cols = 0, rows = 0;
  bool operator==(const View&) const = default;
};

// What the terminal shows, as far as we know it.
struct Frame {
  std::vector<Cell> cells;  // empty: unknown, the next frame paints everything
  int cols = 0, rows = 0;
  int attr = -1;                     // colours in effect; -1 unknown
  int cursorCol = 0, cursorRow = 0;  // 0: unknown, terminal coordinates
  View view;
};

struct RenderOptions {
  bool utf8 = true;
  // The terminal's size now; the model keeps its start-up size. On a smaller terminal
  // the part around the cursor shows (FollowCursor). 0 means the model's size.
  int termCols = 0, termRows = 0;
};

// The view of a screen of `screenCols` x `screenRows` on a terminal of `termCols` x
// `termRows` that keeps the cursor (screen coordinates) in sight: `view` as it was while
// the cursor stays inside it, so the picture holds still; else moved to show the cursor
// with as much as fits to its left and above it.
View FollowCursor(View view, int cursorCol, int cursorRow, int screenCols, int screenRows,
                  int termCols, int termRows);

// The bytes that bring the terminal from `shown` to `screen`; `shown` then describes
// the terminal after them. Empty when nothing changed.
std::string RenderFrame(Frame& shown, const Screen& screen, const RenderOptions& options);

// ANSI colour numbers for a PC colour (0-15): 30-37 / 90-97 for text, 40-47 / 100-107
// for the background.
int AnsiForeground(int pcColour);
int AnsiBackground(int pcColour);

}  // namespace console
