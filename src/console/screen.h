// The screen model: every cell, the cursor, the window and the colours live here,
// so the program never asks the terminal where anything is.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace console {

struct Cell {
  uint8_t ch = ' ';    // code page 437 byte
  uint8_t attr = 0x07;  // low nibble text colour, high nibble background
  bool operator==(const Cell&) const = default;
};

class Screen {
 public:
  Screen(int cols = 80, int rows = 25);

  int Cols() const { return cols_; }
  int Rows() const { return rows_; }
  const Cell& At(int col, int row) const { return cells_[Index(col, row)]; }  // 1-based

  // Window corners in screen coordinates, 1-based and inclusive.
  int WinLeft() const { return left_; }
  int WinTop() const { return top_; }
  int WinRight() const { return right_; }
  int WinBottom() const { return bottom_; }
  bool SetWindow(int left, int top, int right, int bottom);

  // Cursor in window coordinates, 1-based.
  int CursorX() const { return curCol_ - left_ + 1; }
  int CursorY() const { return curRow_ - top_ + 1; }
  // Cursor in screen coordinates, 1-based.
  int ScreenCursorCol() const { return curCol_; }
  int ScreenCursorRow() const { return curRow_; }
  void GotoXY(int x, int y);

  uint8_t Attr() const { return attr_; }
  void SetAttr(uint8_t attr) { attr_ = attr; }

  void ClearWindow();
  // Writes bytes at the cursor: CR, LF, BS and BEL act, every other byte is a glyph.
  // Returns the number of BEL bytes seen so the back end can ring.
  int Write(std::string_view bytes);

  // Test and render helpers.
  std::string RowText(int row) const;  // the row's raw bytes, screen coordinates

 private:
  int Index(int col, int row) const { return (row - 1) * cols_ + (col - 1); }
  void PutGlyph(uint8_t ch);
  void LineFeed();
  void ScrollUp();

  int cols_, rows_;
  std::vector<Cell> cells_;
  int left_ = 1, top_ = 1, right_, bottom_;
  int curCol_ = 1, curRow_ = 1;
  uint8_t attr_ = 0x07;
};

}  // namespace console
