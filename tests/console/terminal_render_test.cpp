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
  wide.Write("abcdefgh");  // a smaller terminal gets what fits, the cursor the nearest cell
  EXPECT_EQ(RenderFrame(shown = {}, wide, {false, 4, 2}), head + "    \x1b[2;1H AB \x1b[2;4H");
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
