#include "console/terminal_render.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "console/screen.h"
#include "console/terminal_cp437.h"

using console::AnsiBackground;
using console::AnsiForeground;
using console::Frame;
using console::RenderFrame;
using console::Screen;

namespace {

const std::string kFull = "\x1b[?7l\x1b[0m\x1b[2J";

// Just enough of an ANSI terminal with autowrap off to replay what the renderer sends.
struct MiniTerminal {
  int cols, rows, col = 1, row = 1, fg = 0, bg = 0;
  std::vector<std::string> text = std::vector<std::string>(rows, std::string(cols, '.'));
  std::vector<int> colours = std::vector<int>(rows * cols);  // fg * 1000 + bg per cell

  void Play(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i) {
      if (bytes[i] != '\x1b') {
        text[row - 1][col - 1] = bytes[i];
        colours[(row - 1) * cols + col - 1] = fg * 1000 + bg;
        col = std::min(col + 1, cols);
        continue;
      }
      size_t end = bytes.find_first_of("HCmJlh", i + 2);
      ASSERT_NE(end, std::string::npos);
      std::vector<int> n;
      std::istringstream params(bytes.substr(i + 2, end - i - 2));
      for (int v; params >> v; params.ignore()) n.push_back(v);
      char final = bytes[end];
      i = end;
      if (final == 'H') row = std::min(n.at(0), rows), col = std::min(n.at(1), cols);
      if (final == 'C') col = std::min(col + (n.empty() ? 1 : n[0]), cols);
      if (final == 'J') text.assign(rows, std::string(cols, ' '));
      for (int v : final == 'm' ? n : std::vector<int>{}) {
        if (v == 0) fg = bg = 0;
        if (v / 10 == 3 || v / 10 == 9) fg = v;
        if (v / 10 == 4 || v / 10 == 10) bg = v;
      }
    }
  }
};

}  // namespace

TEST(TerminalRender, PcColoursMapToAnsiNumbers) {
  const int fg[16] = {30, 34, 32, 36, 31, 35, 33, 37, 90, 94, 92, 96, 91, 95, 93, 97};
  for (int pc = 0; pc < 16; ++pc) {
    EXPECT_EQ(AnsiForeground(pc), fg[pc]) << pc;
    EXPECT_EQ(AnsiBackground(pc), fg[pc] + 10) << pc;
  }
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
  screen.Write("b");  // same character, new colour: the cell goes out again
  EXPECT_EQ(RenderFrame(shown, screen, {}), "\x1b[1;2Hb");
  screen.GotoXY(2, 2);  // only the cursor moved
  EXPECT_EQ(RenderFrame(shown, screen, {}), "\x1b[2;2H");

  Screen wide(10, 3);  // skipped cells move the cursor, runs do not
  RenderFrame(shown, wide, {});
  wide.GotoXY(2, 2);
  wide.Write("AB  C D\r\nE");
  EXPECT_EQ(RenderFrame(shown, wide, {}), "\x1b[2;2HAB\x1b[2CC\x1b[CD\x1b[3;1HE");
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
    char a = console::Cp437ToAscii(static_cast<uint8_t>(b));
    char32_t u = console::Cp437ToUnicode(static_cast<uint8_t>(b));
    EXPECT_TRUE(a >= 0x20 && a < 0x7F && u >= 0x20 && u != 0x7F && (u < 0x80 || u >= 0xA0)) << b;
  }
}

TEST(TerminalRender, LocaleDecidesUtf8) {
  EXPECT_TRUE(console::LocaleIsUtf8(nullptr, "", "C.UTF-8"));
  EXPECT_TRUE(console::LocaleIsUtf8("", "de_DE.utf8", "C"));
  EXPECT_FALSE(console::LocaleIsUtf8("C", "de_DE.UTF-8", "en_US.UTF-8"));  // LC_ALL wins
  EXPECT_FALSE(console::LocaleIsUtf8(nullptr, nullptr, nullptr));
}

TEST(TerminalRender, SmallerTerminalGetsOnlyWhatFits) {
  Screen screen(7, 3);
  screen.Write("abcdef\r\nghijkl\r\nmnopqr");
  MiniTerminal term{4, 2};
  Frame shown;
  term.Play(RenderFrame(shown, screen, {false, 4, 2}));
  EXPECT_EQ(term.text, (std::vector<std::string>{"abcd", "ghij"}));
  EXPECT_EQ(std::pair(term.col, term.row),
            std::pair(4, 2));  // the cursor is off-screen: the nearest cell
}

// Random edits drawn frame after frame leave the terminal showing exactly the model.
TEST(TerminalRender, DiffFramesKeepTheTerminalEqualToTheModel) {
  std::mt19937 random(7);
  Screen screen(12, 5);
  MiniTerminal term{12, 5};
  Frame shown;
  for (int frame = 0; frame < 300; ++frame) {
    for (int e = static_cast<int>(random() % 4); e > 0; --e) {
      screen.SetAttr(static_cast<uint8_t>(random() % 256));
      screen.GotoXY(1 + static_cast<int>(random() % 12), 1 + static_cast<int>(random() % 5));
      std::string text(1 + random() % 14, ' ');
      for (char& c : text) c = static_cast<char>('a' + random() % 26);
      screen.Write(random() % 5 ? text : text + "\r\n");
    }
    if (frame == 150) shown = Frame{};  // as after SIGCONT: everything again
    term.Play(RenderFrame(shown, screen, {false}));
    std::vector<std::string> rows;
    std::vector<int> colours;
    for (int row = 1; row <= 5; ++row) {
      rows.push_back(screen.RowText(row));
      for (int col = 1; col <= 12; ++col) {
        uint8_t attr = screen.At(col, row).attr;
        colours.push_back(AnsiForeground(attr & 15) * 1000 + AnsiBackground(attr >> 4));
      }
    }
    ASSERT_EQ(term.text, rows) << "frame " << frame;
    ASSERT_EQ(term.colours, colours) << "frame " << frame;
    ASSERT_EQ(std::pair(term.col, term.row),
              std::pair(screen.ScreenCursorCol(), screen.ScreenCursorRow()));
  }
}
