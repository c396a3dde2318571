#include "console/terminal_render.h"

#include <algorithm>

#include "console/terminal_cp437.h"

namespace console {
namespace {

// PC colour bits are blue, green, red; ANSI's are red, green, blue.
constexpr int kPcToAnsi[8] = {0, 4, 2, 6, 1, 5, 3, 7};

// Autowrap off so that the last cell of the screen never scrolls it; the screen is
// cleared in default colours, then every cell is written over it.
constexpr std::string_view kFullRepaint = "\x1b[?7l\x1b[0m\x1b[2J";

class FrameWriter {
 public:
  FrameWriter(Frame& shown, const RenderOptions& options, int visibleCols)
      : shown_(shown), options_(options), visibleCols_(visibleCols) {}

  void Put(int col, int row, const Cell& cell) {
    MoveTo(col, row);
    SetColours(cell.attr);
    if (options_.utf8)
      AppendUtf8(out_, Cp437ToUnicode(cell.ch));
    else
      out_ += Cp437ToAscii(cell.ch);
    // At the terminal's last column the cursor stays put (no autowrap): not worth guessing.
    shown_.cursorCol = col < visibleCols_ ? col + 1 : 0;
  }

  void MoveTo(int col, int row) {
    if (shown_.cursorRow == row && shown_.cursorCol == col) return;
    if (shown_.cursorRow == row && shown_.cursorCol > 0 && shown_.cursorCol < col) {
      int n = col - shown_.cursorCol;
      out_ += n == 1 ? "\x1b[C" : "\x1b[" + std::to_string(n) + "C";
    } else {
      out_ += "\x1b[" + std::to_string(row) + ";" + std::to_string(col) + "H";
    }
    shown_.cursorCol = col;
    shown_.cursorRow = row;
  }

  std::string& Out() { return out_; }

 private:
  void SetColours(uint8_t attr) {
    if (shown_.attr == attr) return;
    int fg = AnsiForeground(attr & 0x0F), bg = AnsiBackground(attr >> 4);
    if (shown_.attr < 0) {
      out_ += "\x1b[0;" + std::to_string(fg) + ";" + std::to_string(bg) + "m";
    } else {
      bool fgChanged = (shown_.attr & 0x0F) != (attr & 0x0F);
      bool bgChanged = (shown_.attr >> 4) != (attr >> 4);
      out_ += "\x1b[";
      if (fgChanged) out_ += std::to_string(fg);
      if (fgChanged && bgChanged) out_ += ';';
      if (bgChanged) out_ += std::to_string(bg);
      out_ += 'm';
    }
    shown_.attr = attr;
  }

  Frame& shown_;
  const RenderOptions& options_;
  int visibleCols_;
  std::string out_;
};

bool SameShape(const Frame& frame, const Screen& screen) {
  return frame.cols == screen.Cols() && frame.rows == screen.Rows() &&
         frame.cells.size() == static_cast<size_t>(screen.Cols() * screen.Rows());
}

// Row 1 stays on top while the rows below scroll, when rows are missing at all and
// there is a row to scroll beside it.
int PinnedRows(int screenRows, int termRows) {
  return termRows > 1 && termRows < screenRows ? 1 : 0;
}

}  // namespace

int AnsiForeground(int pc) {
  return (pc & 8 ? 90 : 30) + kPcToAnsi[pc & 7];
}
int AnsiBackground(int pc) {
  return (pc & 8 ? 100 : 40) + kPcToAnsi[pc & 7];
}

View FollowCursor(View view, int cursorCol, int cursorRow, int screenCols, int screenRows,
                  int termCols, int termRows) {
  termCols = std::max(termCols, 1);
  termRows = std::max(termRows, 1);
  // A cursor out of sight brings the view to where it shows the cursor last: the text
  // written up to it (a prompt, the replies of a row) shows with it.
  if (cursorCol <= view.cols || cursorCol > view.cols + termCols) view.cols = cursorCol - termCols;
  const int pinned = PinnedRows(screenRows, termRows);
  const int scrolling = termRows - pinned;
  const int first = pinned + 1 + view.rows;  // the screen row on the first scrolling row
  if (cursorRow > pinned && (cursorRow < first || cursorRow >= first + scrolling))
    view.rows = cursorRow - pinned - scrolling;
  view.cols = std::clamp(view.cols, 0, std::max(0, screenCols - termCols));
  view.rows = std::clamp(view.rows, 0, std::max(0, screenRows - termRows));
  return view;
}

std::string RenderFrame(Frame& shown, const Screen& screen, const RenderOptions& options) {
  const int cols = screen.Cols(), rows = screen.Rows();
  const int termCols = options.termCols > 0 ? options.termCols : cols;
  const int termRows = options.termRows > 0 ? options.termRows : rows;
  const int visibleCols = std::min(cols, termCols), visibleRows = std::min(rows, termRows);
  const int pinned = PinnedRows(rows, termRows);
  const bool sameShape = SameShape(shown, screen);
  const View view = FollowCursor(sameShape ? shown.view : View{}, screen.ScreenCursorCol(),
                                 screen.ScreenCursorRow(), cols, rows, termCols, termRows);
  // A moved view moves every cell on the terminal.
  const bool full = !sameShape || view != shown.view;
  if (full) {
    shown = Frame{};
    shown.cols = cols;
    shown.rows = rows;
    shown.cells.assign(static_cast<size_t>(cols * rows), Cell{});
    shown.view = view;
  }
  FrameWriter writer(shown, options, visibleCols);
  if (full) writer.Out() += kFullRepaint;
  for (int row = 1; row <= visibleRows; ++row) {
    const int screenRow = row <= pinned ? row : row + view.rows;
    for (int col = 1; col <= visibleCols; ++col) {
      const int screenCol = col + view.cols;
      Cell& was = shown.cells[static_cast<size_t>((screenRow - 1) * cols + (screenCol - 1))];
      const Cell& now = screen.At(screenCol, screenRow);
      if (!full && was == now) continue;
      writer.Put(col, row, now);
      was = now;
    }
  }
  const int cursorRow = screen.ScreenCursorRow();
  writer.MoveTo(
      std::clamp(screen.ScreenCursorCol() - view.cols, 1, visibleCols),
      std::clamp(cursorRow <= pinned ? cursorRow : cursorRow - view.rows, 1, visibleRows));
  return writer.Out();
}

}  // namespace console
