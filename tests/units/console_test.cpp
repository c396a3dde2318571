// The console: the screen model, the terminal back end's keys, frames and colours, and
// its input from a pipe.
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

#include "base/clock.h"
#include "console/console.h"
#include "console/screen.h"
#include "console/terminal.h"
#include "console/terminal_cp437.h"
#include "console/terminal_keys.h"
#include "console/terminal_render.h"

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

using console::KeyDecoder;
using testing::PrintToString;
using namespace std::string_literals;

namespace {
struct Case {
  std::string input, keys, late = "";  // late: the keys when nothing more comes in time
};
// NUL (Ctrl-Space) would eat the next key; Esc ahead of a key counts as both, alone it waits;
// unknown, private and overlong sequences go whole, and a broken one gives way to the key that
// broke it, or to nothing in time; UTF-8 gives the code page 437 byte when there is one.
// clang-format off
const Case kCases[] = {
    {"a", "a"}, {"\t", "\t"}, {"\x7f", "\b"}, {"\b", "\b"}, {"\r", "\r"}, {"\n", "\r"},
    {"\0"s, ""}, {"\x1bOM", "\r"}, {"a\x1b[Ab", "a\0\x48\x62"s}, {"\x1b[A", "\0\x48"s},
    {"\x1b[B", "\0\x50"s}, {"\x1b[C", "\0\x4D"s}, {"\x1b[D", "\0\x4B"s}, {"\x1b[H", "\0\x47"s},
    {"\x1b[F", "\0\x4F"s}, {"\x1b[Z", "\0\x0F"s}, {"\x1bOD", "\0\x4B"s}, {"\x1b[1~", "\0\x47"s},
    {"\x1b[2~", "\0\x52"s}, {"\x1b[3~", "\0\x53"s}, {"\x1b[4~", "\0\x4F"s}, {"\x1b[5~", "\0\x49"s},
    {"\x1b[6~", "\0\x51"s}, {"\x1b[7~", "\0\x47"s}, {"\x1b[8~", "\0\x4F"s}, {"\x1bOP", "\0\x3B"s},
    {"\x1bOS", "\0\x3E"s}, {"\x1b[11~", "\0\x3B"s}, {"\x1b[15~", "\0\x3F"s},
    {"\x1b[17~", "\0\x40"s}, {"\x1b[21~", "\0\x44"s}, {"\x1b[23~", "\0\x85"s},
    {"\x1b[24~", "\0\x86"s}, {"\x1b[[A", "\0\x3B"s}, {"\x1b[[E", "\0\x3F"s},
    {"\x1b[1;5A", "\0\x48"s}, {"\x1b[1;2P", "\0\x3B"s}, {"\x1b[3;5~", "\0\x53"s},
    {"\x1b[15;2~", "\0\x3F"s}, {"\x1bO5D", "\0\x4B"s}, {"\x1bY", "\x1bY"},
    {"\x1b\x1b[A", "\x1b\0\x48"s}, {"\x1b[99~", ""}, {"\x1b[~", ""}, {"\x1b[5A", ""},
    {"\x1b[?1;2c", ""}, {"\x1b[200~x", "x"}, {"\x1b[1;2;3;4;5;6;7;8;9;10A", ""}, {"\x1b[X", ""},
    {"\x1bOz", ""}, {"\x1b[[Zq", "q"}, {"\x1b[1\r", "\r"}, {"\x1b[[\r", "\r"},
    {"\xC3\xA9", "\x82"}, {"\xE2\x94\x82", "\xB3"}, {"\xC2\xA0", "\xFF"}, {"\xE2\x82\xAC", ""},
    {"\xF0\x9F\x98\x80z", "z"}, {"\xC0\xAF", ""}, {"\xE0\x80\xAF", ""}, {"\xED\xA0\x80", ""},
    {"\x80", ""}, {"\xC3q", "q"}, {"\x1b", "", "\x1b"}, {"x\x1b", "x", "\x1b"}, {"\x1b[", ""}, {"\x1bO", ""},
    {"\x1b[1;5", ""}, {"\x1b[[", ""}, {"\xE2\x94", ""}};
// clang-format on
}  // namespace

TEST(TerminalKeys, SequencesBecomePcKeyCodesHoweverTheReadsSplitThem) {  // first `cut` bytewise
  for (const Case& c : kCases) {
    for (size_t cut = 0; cut <= c.input.size(); ++cut) {
      KeyDecoder d;
      std::string keys;
      for (size_t i = 0; i < cut; ++i) keys += d.Feed(c.input.substr(i, 1));
      EXPECT_EQ(keys + d.Feed(c.input.substr(cut)), c.keys) << PrintToString(c.input) << cut;
      std::string late = d.Expire();
      EXPECT_EQ(late + d.Feed("A"), c.late + "A") << PrintToString(c.input) << cut;
    }
  }
}

TEST(TerminalKeys, Latin1TerminalsGiveCodePageBytes) {
  EXPECT_EQ(KeyDecoder(false).Feed("\xE9\xC7\x9B\xA4"), "\x82\x80");  // é Ç, no key
}

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

// In the child: the real back end reads keys from a pipe, then loses it.
static void ReadKeysFromPipeThenLoseIt() {
  int fds[2];
  if (pipe(fds) != 0 || write(fds[1], "ab\x1b[A\x1b", 6) != 6) _exit(3);
  dup2(fds[0], STDIN_FILENO);
  if (!std::freopen("/dev/null", "w", stdout)) _exit(5);
  base::SetClock(nullptr);
  std::string error;
  auto backend = console::StartTerminal(error);
  if (!backend) _exit(4);
  console::Install(backend.get());
  int64_t start = base::TheClock().NowMicros();
  for (int i = 0; i < 4; ++i) std::fprintf(stderr, " %02X", ReadKey());
  // A poll finds the lone Esc undecided and waits for the decision.
  std::fprintf(stderr, KeyPressed() ? " polled" : " missed");
  std::fprintf(stderr, " %02X", ReadKey());
  bool waited = base::TheClock().NowMicros() - start >= 50000;
  std::fprintf(stderr, waited ? " waited\n" : " too soon\n");
  close(fds[1]);
  ReadKey();  // end of input: the back end stops the program
  _exit(0);
}

TEST(TerminalInputDeathTest, KeysArriveDecodedAndEndOfInputStopsTheProgram) {
  EXPECT_EXIT(ReadKeysFromPipeThenLoseIt(), testing::ExitedWithCode(1),
              " 61 62 00 48 polled 1B waited\n.*pxn32: end of input, stopping.");
}
