#include <gtest/gtest.h>

#include "console/screen.h"

using console::Screen;

namespace {
std::string Trimmed(const Screen& s, int row) {
  std::string text = s.RowText(row);
  return text.erase(text.find_last_not_of(' ') + 1);
}
}  // namespace

TEST(ScreenModel, WritesWrapAndScrollInsideTheWindowOnly) {
  Screen s(20, 6);
  s.Write(std::string(20 * 6, 'x'));
  ASSERT_TRUE(s.SetWindow(3, 2, 7, 4));
  s.SetAttr(0x1E);
  s.ClearWindow();
  s.Write("abcdefg");  // wraps after column 7 to the window's next row
  EXPECT_EQ(s.RowText(2), "xxabcdexxxxxxxxxxxxx");
  EXPECT_EQ(s.RowText(3), "xxfg   xxxxxxxxxxxxx");
  EXPECT_EQ(s.At(3, 2).attr, 0x1E);
  s.Write("\r\nrow3\r\nrow4\r\nrow5");  // the last line end scrolls the window, not the screen
  EXPECT_EQ(s.RowText(1), std::string(20, 'x'));
  EXPECT_EQ(s.RowText(2), "xxrow3 xxxxxxxxxxxxx");
  EXPECT_EQ(s.RowText(4), "xxrow5 xxxxxxxxxxxxx");
  EXPECT_EQ(s.RowText(5), std::string(20, 'x'));
  EXPECT_EQ(s.CursorX(), 5);
  EXPECT_EQ(s.CursorY(), 3);
}

TEST(ScreenModel, WritingTheLastCellWrapsAtOnce) {
  Screen s(10, 3);
  s.GotoXY(8, 1);
  s.Write("abc");
  EXPECT_EQ(s.CursorX(), 1);
  EXPECT_EQ(s.CursorY(), 2);
  s.GotoXY(10, 3);
  s.Write("z");  // bottom-right corner: the window scrolls
  EXPECT_EQ(Trimmed(s, 1), "");
  EXPECT_EQ(s.RowText(2), "         z");
}

TEST(ScreenModel, ControlBytesAndCursorLimits) {
  Screen s(10, 3);
  s.Write("ab\bX");
  EXPECT_EQ(Trimmed(s, 1), "aX");
  s.Write("\r\b\bY");  // Backspace stops at the window's left edge
  EXPECT_EQ(Trimmed(s, 1), "YX");
  EXPECT_EQ(s.Write("\a\a"), 2);  // bells ring, nothing is drawn
  EXPECT_EQ(Trimmed(s, 1), "YX");
  s.GotoXY(11, 1);  // outside the window: ignored
  EXPECT_EQ(s.CursorX(), 2);
  s.GotoXY(0, 2);
  EXPECT_EQ(s.CursorY(), 1);
  s.Write(std::string("\x1b\xdb\x00", 3));  // other bytes are glyphs
  EXPECT_EQ(s.RowText(1).substr(1, 3), std::string("\x1b\xdb\x00", 3));
  EXPECT_FALSE(s.SetWindow(5, 1, 4, 3));
  EXPECT_FALSE(s.SetWindow(1, 1, 11, 3));
  EXPECT_EQ(s.WinRight(), 10);
}
