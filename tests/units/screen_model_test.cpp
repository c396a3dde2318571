#include <gtest/gtest.h>

#include "console/screen.h"

using console::Screen;

namespace {
// Every row ended by "|", then the cursor in window coordinates.
std::string Text(const Screen& s) {
  std::string all;
  for (int row = 1; row <= s.Rows(); ++row) all += s.RowText(row) + "|";
  return all + std::to_string(s.CursorX()) + "," + std::to_string(s.CursorY());
}
}  // namespace

TEST(ScreenModel, WritesWrapAndScrollInsideTheWindowOnly) {
  Screen s(9, 5);
  s.Write(std::string(45, 'x'));  // the last cell scrolls the whole screen
  ASSERT_TRUE(s.SetWindow(3, 2, 6, 4));
  s.SetAttr(0x1E);
  s.ClearWindow();
  s.Write("abcdef");
  EXPECT_EQ(Text(s), "xxxxxxxxx|xxabcdxxx|xxef  xxx|xx    xxx|         |3,2");
  s.Write("\r\b\nr3\r\nr4\r\nr5");  // Backspace stops at the window edge
  EXPECT_EQ(Text(s), "xxxxxxxxx|xxr3  xxx|xxr4  xxx|xxr5  xxx|         |3,3");
  EXPECT_EQ(s.At(6, 4).attr, 0x1E);
}

TEST(ScreenModel, LastCellWrapsAtOnceAndControlBytesAct) {
  Screen s(5, 3);
  s.GotoXY(4, 1);
  s.Write("ab");
  EXPECT_EQ(Text(s), "   ab|     |     |1,2");
  EXPECT_EQ(s.Write("cd\bX\r\b\bY\a\a"), 2);  // bells ring, nothing is drawn
  s.GotoXY(6, 1);                             // outside the window: ignored
  s.GotoXY(0, 2);
  EXPECT_EQ(Text(s), "   ab|YX   |     |2,2");
  s.GotoXY(3, 2);
  s.Write(std::string("\x1b\xdb\x00", 3));  // other bytes are glyphs
  s.GotoXY(5, 3);
  s.Write("z");  // bottom-right corner: scrolls at once
  EXPECT_EQ(Text(s), std::string("YX\x1b\xdb\x00|    z|     |1,3", 21));
  EXPECT_FALSE(s.SetWindow(5, 1, 4, 3) || s.SetWindow(1, 1, 6, 3));
}
