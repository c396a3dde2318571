#include "console/screen.h"

#include <algorithm>

namespace console {

Screen::Screen(int cols, int rows)
    : cols_(std::max(cols, 1)), rows_(std::max(rows, 1)), cells_(cols_ * rows_),
      right_(cols_), bottom_(rows_) {}

bool Screen::SetWindow(int left, int top, int right, int bottom) {
  // An impossible window (corners swapped or off the screen) leaves the window as it is.
  if (left < 1 || top < 1 || right > cols_ || bottom > rows_ || left > right || top > bottom)
    return false;
  left_ = left;
  top_ = top;
  right_ = right;
  bottom_ = bottom;
  curCol_ = left_;
  curRow_ = top_;
  return true;
}

void Screen::GotoXY(int x, int y) {
  int col = left_ + x - 1, row = top_ + y - 1;
  if (x < 1 || y < 1 || col > right_ || row > bottom_) return;  // outside: ignored
  curCol_ = col;
  curRow_ = row;
}

void Screen::ClearWindow() {
  for (int row = top_; row <= bottom_; ++row)
    for (int col = left_; col <= right_; ++col) cells_[Index(col, row)] = Cell{' ', attr_};
  curCol_ = left_;
  curRow_ = top_;
}

void Screen::ScrollUp() {
  for (int row = top_; row < bottom_; ++row)
    for (int col = left_; col <= right_; ++col)
      cells_[Index(col, row)] = cells_[Index(col, row + 1)];
  for (int col = left_; col <= right_; ++col) cells_[Index(col, bottom_)] = Cell{' ', attr_};
}

void Screen::LineFeed() {
  if (curRow_ < bottom_)
    ++curRow_;
  else
    ScrollUp();
}

void Screen::PutGlyph(uint8_t ch) {
  cells_[Index(curCol_, curRow_)] = Cell{ch, attr_};
  // The cursor wraps at once after the window's last column.
  if (++curCol_ > right_) {
    curCol_ = left_;
    LineFeed();
  }
}

int Screen::Write(std::string_view bytes) {
  int bells = 0;
  for (char c : bytes) {
    auto ch = static_cast<uint8_t>(c);
    switch (ch) {
      case 7: ++bells; break;
      case 8: if (curCol_ > left_) --curCol_; break;
      case 10: LineFeed(); break;
      case 13: curCol_ = left_; break;
      default: PutGlyph(ch); break;
    }
  }
  return bells;
}

std::string Screen::RowText(int row) const {
  std::string text;
  for (int col = 1; col <= cols_; ++col) text += static_cast<char>(At(col, row).ch);
  return text;
}

}  // namespace console
