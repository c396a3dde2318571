#include "console/terminal_render.h"

#include <gtest/gtest.h>

#include "console/screen.h"
#include "console/terminal_cp437.h"

using namespace console;

const std::string kFull = "\x1b[?7l\x1b[0m\x1b[2J";

TEST(TerminalRender, PcColoursMapToAnsiNumbers) {
  const int fg[16] = {30, 34, 32, 36, 31, 35, 33, 37, 90, 94, 92, 96, 91, 95, 93, 97};
  for (int pc = 0; pc < 16; ++pc)
    EXPECT_EQ(std::pair(AnsiForeground(pc), AnsiBackground(pc)), std::pair(fg[pc], fg[pc] + 10));
}

TEST(TerminalRender, FirstFramePaintsEveryCellThenOnlyChangesGoOut) {
  Screen screen(3, 2);
  screen.SetAttr(0x17);  // light grey on blue
  screen.Write("ab");
  Frame shown;
  EXPECT_EQ(RenderFrame(shown, screen, {}),
            kFull + "\x1b[1;1H\x1b[0;37;44mab\x1b[40m \x1b[2;1H   \x1b[1;3H");
  EXPECT_EQ(RenderFrame(shown, screen, {}), "");
  screen.GotoXY(1, 2);
  screen.SetAttr(0x1E);  // yellow on blue: both colours change
  screen.Write("Y");
  EXPECT_EQ(RenderFrame(shown, screen, {}), "\x1b[2;1H\x1b[93;44mY");
  screen.GotoXY(2, 1);
  screen.SetAttr(0x12);
  screen.Write("b");  // same character, new colour: the cell goes out again
  EXPECT_EQ(RenderFrame(shown, screen, {}), "\x1b[1;2H\x1b[32mb");
  screen.GotoXY(2, 2);  // only the cursor moved
  EXPECT_EQ(RenderFrame(shown, screen, {}), "\x1b[2;2H");

  Screen wide(10, 3);  // a new size paints all again; skipped cells move the cursor, runs do not
  const std::string head = kFull + "\x1b[1;1H\x1b[0;37;40m";
  EXPECT_EQ(RenderFrame(shown, wide, {}).substr(0, head.size()), head);
  wide.GotoXY(2, 2);
  wide.Write("AB  C D\r\nE");
  EXPECT_EQ(RenderFrame(shown, wide, {}), "\x1b[2;2HAB\x1b[2CC\x1b[CD\x1b[3;1HE");
}

// A terminal smaller than the screen shows the part that holds the cursor, with the
// status row on top; the picture moves only when the cursor leaves it.
TEST(TerminalRender, ASmallTerminalFollowsTheCursorUnderTheStatusRow) {
  struct Case {
    const char* what;
    View from;
    int col, row;  // the cursor on an 80 x 25 screen
    int termCols, termRows;
    View to;
  } cases[] = {
      {"all of it fits", {}, 80, 25, 80, 25, {}},
      {"a larger terminal", {}, 80, 25, 200, 60, {}},
      {"cursor inside: still", {10, 3}, 40, 12, 60, 20, {10, 3}},
      {"past the right edge", {}, 61, 5, 60, 20, {1, 0}},
      {"at the last column", {}, 80, 5, 60, 20, {20, 0}},
      {"back to column 1", {20, 0}, 1, 6, 60, 20, {0, 0}},
      {"left of it, with its prompt", {13, 0}, 9, 1, 60, 20, {0, 0}},
      {"left of it, far right", {50, 0}, 45, 3, 20, 20, {25, 0}},
      {"below the bottom", {}, 21, 21, 60, 20, {0, 1}},
      {"on the last row", {}, 1, 25, 60, 20, {0, 5}},
      {"above the top", {0, 5}, 1, 4, 60, 20, {0, 0}},
      {"above the top, far down", {0, 5}, 1, 5, 60, 3, {0, 2}},
      {"on the status row: still", {0, 5}, 9, 1, 60, 20, {0, 5}},
      {"one row: no pinning", {}, 1, 25, 60, 1, {0, 24}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FollowCursor(c.from, c.col, c.row, 80, 25, c.termCols, c.termRows), c.to) << c.what;

  Screen screen(10, 4);
  screen.Write("status");
  screen.GotoXY(1, 4);
  screen.Write("abcdefgh");
  Frame shown;
  const std::string head = kFull + "\x1b[1;1H\x1b[0;37;40m";
  EXPECT_EQ(RenderFrame(shown, screen, {false, 6, 2}), head + "tus   \x1b[2;1Hdefgh \x1b[2;6H");
  screen.GotoXY(4, 4);  // still in sight: nothing moves
  EXPECT_EQ(RenderFrame(shown, screen, {false, 6, 2}), "\x1b[2;1H");
  screen.Write("D");
  EXPECT_EQ(RenderFrame(shown, screen, {false, 6, 2}), "D");
  screen.GotoXY(1, 2);  // the view moves, so all of it is drawn again
  EXPECT_EQ(RenderFrame(shown, screen, {false, 6, 2}), head + "status\x1b[2;1H      \x1b[2;1H");
}

TEST(TerminalRender, Cp437ShowsAsUnicodeOrAsciiLookAlikes) {
  Screen screen(19, 1);  // one spare cell: a write into the last one would scroll
  screen.Write(
      std::string("\xB3\xBA\xC4\xCD\xDA\xBF\xC0\xD9\xC5\xDB\x00\x41\x82\xF8\x7F\x01\xE1\xFF", 18));
  Frame utf8, ascii;
  const std::string head = kFull + "\x1b[1;1H\x1b[0;37;40m", tail = " \x1b[1;19H";
  EXPECT_EQ(RenderFrame(utf8, screen, {}), head + "│║─═┌┐└┘┼█ Aé°⌂☺ß\u00A0" + tail);
  EXPECT_EQ(RenderFrame(ascii, screen, {false}), head + "||-=+++++# Aeo??B " + tail);
  for (int b = 0; b < 256; ++b) {  // no glyph ever goes out as a control character
    char a = Cp437ToAscii(static_cast<uint8_t>(b));
    char32_t u = Cp437ToUnicode(static_cast<uint8_t>(b));
    EXPECT_TRUE(a >= 0x20 && a < 0x7F && u >= 0x20 && u != 0x7F && (u < 0x80 || u >= 0xA0)) << b;
  }
  EXPECT_TRUE(LocaleIsUtf8(nullptr, "", "C.UTF-8"));
  EXPECT_TRUE(LocaleIsUtf8("", "de_DE.utf8", "C"));
  EXPECT_FALSE(LocaleIsUtf8("C", "de_DE.UTF-8", "en_US.UTF-8"));  // LC_ALL wins
  EXPECT_FALSE(LocaleIsUtf8(nullptr, nullptr, nullptr));
}
