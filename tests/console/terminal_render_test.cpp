#include "console/terminal_render.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "console/screen.h"
#include "console/terminal_cp437.h"

using console::Frame;
using console::RenderFrame;
using console::RenderOptions;
using console::Screen;

namespace {

const std::string kFull = "\x1b[?7l\x1b[0m\x1b[2J";

std::string Render(Frame& shown, const Screen& screen, bool utf8 = true, int termCols = 0,
                   int termRows = 0) {
  RenderOptions options;
  options.utf8 = utf8;
  options.termCols = termCols;
  options.termRows = termRows;
  return RenderFrame(shown, screen, options);
}

// A small ANSI terminal with autowrap off: enough of one to replay what the renderer
// sends and read back every cell's text and colours.
class MiniTerminal {
 public:
  MiniTerminal(int cols, int rows)
      : cols_(cols),
        rows_(rows),
        text_(rows, std::string(cols, '.')),
        sgr_(rows, std::vector<std::string>(cols)) {}

  void Play(const std::string& bytes) {
    for (size_t i = 0; i < bytes.size();) {
      if (bytes[i] != '\x1b') {
        Put(bytes[i]);
        ++i;
        continue;
      }
      size_t end = bytes.find_first_of("HCmJlh", i + 2);
      ASSERT_NE(end, std::string::npos);
      Control(bytes.substr(i + 2, end - i - 2), bytes[end]);
      i = end + 1;
    }
  }
  std::string Row(int row) const { return text_[row - 1]; }
  std::string Colours(int col, int row) const { return sgr_[row - 1][col - 1]; }
  int Col() const { return col_; }
  int Line() const { return row_; }

 private:
  void Put(char c) {
    text_[row_ - 1][col_ - 1] = c;
    sgr_[row_ - 1][col_ - 1] = "fg" + std::to_string(fg_) + " bg" + std::to_string(bg_);
    if (col_ < cols_) ++col_;  // autowrap off: the last column keeps the cursor
  }
  void Control(const std::string& params, char final) {
    std::vector<int> n;
    size_t pos = 0;
    while (pos <= params.size() && !params.empty()) {
      size_t semi = params.find(';', pos);
      n.push_back(std::atoi(params.substr(pos, semi - pos).c_str()));
      if (semi == std::string::npos) break;
      pos = semi + 1;
    }
    if (final == 'H') {
      row_ = std::min(n.at(0), rows_);
      col_ = std::min(n.at(1), cols_);
    } else if (final == 'C') {
      col_ = std::min(col_ + (n.empty() ? 1 : n[0]), cols_);
    } else if (final == 'm') {
      for (int v : n) {
        if (v == 0) fg_ = bg_ = 0;
        if ((v >= 30 && v <= 37) || (v >= 90 && v <= 97)) fg_ = v;
        if ((v >= 40 && v <= 47) || (v >= 100 && v <= 107)) bg_ = v;
      }
    } else if (final == 'J') {
      for (auto& row : text_) row.assign(cols_, ' ');
    }
  }

  int cols_, rows_;
  int col_ = 1, row_ = 1, fg_ = 0, bg_ = 0;
  std::vector<std::string> text_;
  std::vector<std::vector<std::string>> sgr_;
};

}  // namespace

TEST(TerminalRender, PcColoursMapToAnsiNumbers) {
  const int fg[16] = {30, 34, 32, 36, 31, 35, 33, 37, 90, 94, 92, 96, 91, 95, 93, 97};
  for (int pc = 0; pc < 16; ++pc) {
    EXPECT_EQ(console::AnsiForeground(pc), fg[pc]) << pc;
    EXPECT_EQ(console::AnsiBackground(pc), fg[pc] + 10) << pc;
  }
}

TEST(TerminalRender, FirstFramePaintsEveryCellThenOnlyChangesGoOut) {
  Screen screen(3, 2);
  screen.SetAttr(0x17);  // light grey on blue
  screen.Write("ab");
  Frame shown;
  EXPECT_EQ(Render(shown, screen),
            kFull + "\x1b[1;1H\x1b[0;37;44mab\x1b[40m \x1b[2;1H   \x1b[1;3H");

  EXPECT_EQ(Render(shown, screen), "");  // nothing changed, nothing sent

  screen.GotoXY(1, 2);
  screen.SetAttr(0x1E);  // yellow on blue: both colours change
  screen.Write("Y");
  EXPECT_EQ(Render(shown, screen), "\x1b[2;1H\x1b[93;44mY");

  screen.GotoXY(2, 1);
  screen.SetAttr(0x1E);
  screen.Write("b");  // same character, new colour: the cell goes out again
  EXPECT_EQ(Render(shown, screen), "\x1b[1;2Hb");

  screen.GotoXY(2, 2);  // only the cursor moved
  EXPECT_EQ(Render(shown, screen), "\x1b[2;2H");
}

TEST(TerminalRender, SkippedCellsMoveTheCursorRunsDoNot) {
  Screen screen(10, 3);
  Frame shown;
  Render(shown, screen);
  screen.GotoXY(2, 2);
  screen.Write("AB");
  screen.GotoXY(6, 2);
  screen.Write("C");
  screen.GotoXY(8, 2);
  screen.Write("D");
  screen.GotoXY(1, 3);
  screen.Write("E");
  EXPECT_EQ(Render(shown, screen), "\x1b[2;2HAB\x1b[2CC\x1b[CD\x1b[3;1HE");
}

TEST(TerminalRender, Cp437ShowsAsUnicodeOrAsciiLookAlikes) {
  Screen screen(9, 1);  // one spare cell: a write into the last one would scroll
  screen.Write(std::string("\xB3\xDB\xC9\x01\x00\x7F\xE1\xFF", 8));
  Frame utf8, ascii;
  std::string glyphs = Render(utf8, screen, true);
  EXPECT_NE(
      glyphs.find("\xE2\x94\x82\xE2\x96\x88\xE2\x95\x94\xE2\x98\xBA \xE2\x8C\x82\xC3\x9F\xC2\xA0"),
      std::string::npos)
      << testing::PrintToString(glyphs);
  EXPECT_NE(Render(ascii, screen, false).find("|#+? ?B "), std::string::npos);

  // No byte of the screen ever reaches the terminal as a control character.
  Screen all(16, 16);
  for (int b = 0; b < 256; ++b)
    all.Write(std::string(1, static_cast<char>(b == 7 || b == 8 || b == 10 || b == 13 ? 'x' : b)));
  for (bool useUtf8 : {true, false}) {
    Frame shown;
    std::string out = Render(shown, all, useUtf8);
    std::string text;
    for (size_t i = kFull.size(); i < out.size(); ++i) {
      if (out[i] == '\x1b') {
        i = out.find_first_of("HCm", i);
        continue;
      }
      EXPECT_GE(static_cast<uint8_t>(out[i]), 0x20) << "at " << i;
      EXPECT_NE(out[i], '\x7f');
    }
  }
}

TEST(TerminalRender, AsciiFallbackCoversBoxDrawing) {
  struct Glyph {
    uint8_t byte;
    char ascii;
  } glyphs[] = {{0xB3, '|'}, {0xBA, '|'}, {0xC4, '-'}, {0xCD, '='}, {0xDA, '+'},
                {0xBF, '+'}, {0xC0, '+'}, {0xD9, '+'}, {0xC5, '+'}, {0xDB, '#'},
                {0x00, ' '}, {0x41, 'A'}, {0x82, 'e'}, {0xF8, 'o'}, {0x7F, '?'}};
  for (const Glyph& g : glyphs) EXPECT_EQ(console::Cp437ToAscii(g.byte), g.ascii) << int{g.byte};
  for (int b = 0; b < 256; ++b) {
    char c = console::Cp437ToAscii(static_cast<uint8_t>(b));
    EXPECT_TRUE(c >= 0x20 && c < 0x7F) << b;
  }
}

TEST(TerminalRender, LocaleDecidesUtf8) {
  EXPECT_TRUE(console::LocaleIsUtf8(nullptr, nullptr, "C.UTF-8"));
  EXPECT_TRUE(console::LocaleIsUtf8("", "de_DE.utf8", "C"));
  EXPECT_FALSE(console::LocaleIsUtf8("C", "de_DE.UTF-8", "en_US.UTF-8"));  // LC_ALL wins
  EXPECT_FALSE(console::LocaleIsUtf8(nullptr, nullptr, nullptr));
  EXPECT_FALSE(console::LocaleIsUtf8("", "", "de_DE.ISO-8859-1"));
}

TEST(TerminalRender, SmallerTerminalGetsOnlyWhatFits) {
  Screen screen(7, 3);
  screen.Write("abcdef\r\nghijkl\r\nmnopqr");
  MiniTerminal term(4, 2);
  Frame shown;
  term.Play(Render(shown, screen, false, 4, 2));
  EXPECT_EQ(term.Row(1), "abcd");
  EXPECT_EQ(term.Row(2), "ghij");
  EXPECT_EQ(term.Col(), 4);  // the model's cursor is off-screen: the nearest cell
  EXPECT_EQ(term.Line(), 2);
}

// Random edits drawn frame after frame leave the terminal showing exactly the model.
TEST(TerminalRender, DiffFramesKeepTheTerminalEqualToTheModel) {
  std::mt19937 random(7);
  Screen screen(12, 5);
  MiniTerminal term(12, 5);
  Frame shown;
  for (int frame = 0; frame < 300; ++frame) {
    int edits = static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      screen.SetAttr(static_cast<uint8_t>(random() % 256));
      screen.GotoXY(1 + static_cast<int>(random() % 12), 1 + static_cast<int>(random() % 5));
      std::string text(1 + random() % 14, ' ');
      for (char& c : text) c = static_cast<char>('a' + random() % 26);
      if (random() % 5 == 0) text += "\r\n";
      screen.Write(text);
    }
    if (frame == 150) shown = Frame{};  // as after SIGCONT: everything again
    term.Play(Render(shown, screen, false));
    for (int row = 1; row <= 5; ++row) {
      ASSERT_EQ(term.Row(row), screen.RowText(row)) << "frame " << frame << " row " << row;
      for (int col = 1; col <= 12; ++col) {
        uint8_t attr = screen.At(col, row).attr;
        ASSERT_EQ(term.Colours(col, row),
                  "fg" + std::to_string(console::AnsiForeground(attr & 15)) + " bg" +
                      std::to_string(console::AnsiBackground(attr >> 4)))
            << "frame " << frame << " at " << col << "," << row;
      }
    }
    ASSERT_EQ(term.Col(), screen.ScreenCursorCol()) << "frame " << frame;
    ASSERT_EQ(term.Line(), screen.ScreenCursorRow()) << "frame " << frame;
  }
}
