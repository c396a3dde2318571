// The terminal back end's keys, frames and input; number lines, clock, waits, random numbers.
#include "console/console.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "base/clock.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "console/screen.h"
#include "console/terminal.h"
#include "console/terminal_cp437.h"
#include "console/terminal_keys.h"
#include "console/terminal_render.h"
#include "support/virtual_world.h"

using namespace console;
using namespace std::string_literals;
using testing::PrintToString;

namespace {
struct Case {
  std::string input, keys, late = "";  // late: the keys when nothing more comes in time
};
// NUL would eat the next key; Esc alone waits; unknown or broken sequences go whole, a broken
// one giving way to the key that broke it; UTF-8 gives its code page 437 byte, if any.
// clang-format off
const Case kCases[] = {
    {"\x7f", "\b"}, {"\n", "\r"}, {"\0"s, ""}, {"\x1bOM", "\r"}, {"a\x1b[Ab", "a\0\x48\x62"s},
    {"\x1b[A", "\0\x48"s}, {"\x1b[D", "\0\x4B"s}, {"\x1b[H", "\0\x47"s}, {"\x1b[F", "\0\x4F"s},
    {"\x1b[Z", "\0\x0F"s}, {"\x1bOD", "\0\x4B"s}, {"\x1b[1~", "\0\x47"s}, {"\x1b[2~", "\0\x52"s},
    {"\x1b[3~", "\0\x53"s}, {"\x1b[4~", "\0\x4F"s}, {"\x1b[5~", "\0\x49"s}, {"\x1b[6~", "\0\x51"s},
    {"\x1bOP", "\0\x3B"s}, {"\x1bOS", "\0\x3E"s}, {"\x1b[11~", "\0\x3B"s}, {"\x1b[21~", "\0\x44"s},
    {"\x1b[23~", "\0\x85"s}, {"\x1b[24~", "\0\x86"s}, {"\x1b[[A", "\0\x3B"s},
    {"\x1b[1;5A", "\0\x48"s}, {"\x1b[1;2P", "\0\x3B"s}, {"\x1b[3;5~", "\0\x53"s},
    {"\x1bO5D", "\0\x4B"s}, {"\x1bY", "\x1bY"}, {"\x1b\x1b[A", "\x1b\0\x48"s}, {"\x1b[99~", ""},
    {"\x1b[200~x", "x"}, {"\x1b[1;2;3;4;5;6;7;8;9;10A", ""}, {"\x1b[[Zq", "q"}, {"\x1b[1\r", "\r"},
    {"\x1b[[\r", "\r"}, {"\xC3\xA9", "\x82"}, {"\xE2\x94\x82", "\xB3"}, {"\xC2\xA0", "\xFF"},
    {"\xE2\x82\xAC", ""}, {"\xF0\x9F\x98\x80z", "z"}, {"\xC0\xAF", ""}, {"\xED\xA0\x80", ""},
    {"\xC3q", "q"}, {"\x1b", "", "\x1b"}, {"x\x1b", "x", "\x1b"}, {"\x1b[", ""}, {"\x1bO", ""},
    {"\x1b[1;5", ""}, {"\x1b[[", ""}, {"\xE2\x94", ""}};
// clang-format on
}  // namespace

// Each input fed whole after its first `cut` bytes one at a time.
TEST(TerminalKeys, SequencesBecomePcKeyCodesHoweverTheReadsSplitThem) {
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

const std::string kFull = "\x1b[?7l\x1b[0m\x1b[2J";

// PC colours as ANSI ones, bright as 90-97; after the first frame, only changes.
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
}

// Writes wrap and scroll inside the window only; a backspace stops at its left edge.
TEST(ScreenModel, WritesWrapAndScrollInsideTheWindowOnly) {
  Screen screen(6, 4);
  screen.Write("abcdefghijklmnopqrstuvw");  // the last cell would scroll it all
  ASSERT_TRUE(screen.SetWindow(2, 2, 4, 3));
  screen.SetAttr(0x1E);
  screen.Write("12345\b\b\b\b6789");
  EXPECT_EQ(screen.RowText(1) + screen.RowText(2) + screen.RowText(3) + screen.RowText(4),
            "abcdefg678klm9  qrstuvw ");
  EXPECT_EQ(screen.At(4, 3).attr, 0x1E);  // scrolled in, in the colour written last
}

// Code page 437 as Unicode, or as ASCII look-alikes where the locale is not UTF-8.
TEST(TerminalRender, Cp437ShowsAsUnicodeOrAsciiLookAlikes) {
  Screen screen(20, 1);  // one spare cell: a write into the last one would scroll
  screen.Write(std::string(
      "\xB0\xB1\xB2\xB3\xBA\xC4\xCD\xDA\xBF\xC0\xD9\xC5\xDB\x00\x41\x82\xF8\x7F\x01", 19));
  Frame utf8, ascii;
  const std::string head = kFull + "\x1b[1;1H\x1b[0;37;40m", tail = " \x1b[1;20H";
  EXPECT_EQ(RenderFrame(utf8, screen, {}), head + "░▒▓│║─═┌┐└┘┼█ Aé°⌂☺" + tail);
  EXPECT_EQ(RenderFrame(ascii, screen, {false}), head + ":%#||-=+++++# Aeo??" + tail);
  EXPECT_TRUE(LocaleIsUtf8("", "de_DE.utf8", "C"));
  EXPECT_FALSE(LocaleIsUtf8("C", "de_DE.UTF-8", "en_US.UTF-8"));      // LC_ALL wins
  EXPECT_EQ(KeyDecoder(false).Feed("\xE9\xC7\x9B\xA4"), "\x82\x80");  // Latin-1 keys: é Ç, no key
}

// A small terminal shows the part of the screen that holds the cursor, under the status row.
TEST(TerminalRender, ASmallTerminalFollowsTheCursorUnderTheStatusRow) {
  const std::tuple<const char*, View, int, int, int, int, View> cases[] = {
      {"a larger terminal", {}, 80, 25, 200, 60, {}},
      {"past the right edge", {}, 61, 5, 60, 20, {1, 0}},
      {"left of it, with its prompt", {13, 0}, 9, 1, 60, 20, {0, 0}},
      {"left of it, far right", {50, 0}, 45, 3, 20, 20, {25, 0}},
      {"on the last row", {}, 1, 25, 60, 20, {0, 5}},
      {"above the top, far down", {0, 5}, 1, 5, 60, 3, {0, 2}},
      {"on the status row: still", {0, 5}, 9, 1, 60, 20, {0, 5}},
      {"one row: no pinning", {}, 1, 25, 60, 1, {0, 24}},
  };
  for (const auto& [what, from, col, row, termCols, termRows, to] : cases)
    EXPECT_EQ(FollowCursor(from, col, row, 80, 25, termCols, termRows), to) << what;
  Screen screen(10, 4);  // on a terminal of 6 x 2: the status row over the cursor's row
  screen.Write("status");
  screen.GotoXY(1, 4);
  screen.Write("abcdefgh");
  Frame shown;
  EXPECT_EQ(RenderFrame(shown, screen, {false, 6, 2}),
            kFull + "\x1b[1;1H\x1b[0;37;40mtus   \x1b[2;1Hdefgh \x1b[2;6H");
}

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

using ToolkitTest = VirtualWorld;

// A number ends at a blank or the line's end; hexadecimal's top bit is the sign.
TEST_F(ToolkitTest, IntegerLines) {
  // clang-format off
  struct { const char* typed; bool ok; int32_t value; } cases[] = {  // value stays 0 if no number
      {"  -7  \r", true, -7}, {"12 34\r", true, 12}, {"$1F\r", true, 31}, {"\r  \r5\r", true, 5},
      {"1\b7\r", true, 7}, {"12abc\r", false, 0}, {"-\r", false, 0}, {"2147483648\r", false, 0},
      {"-2147483648\r", true, INT32_MIN}, {"$\r", false, 0}, {"$100000000\r", false, 0},
      {"$7fffffff\r", true, INT32_MAX}, {"$80000000\r", true, INT32_MIN}};
  // clang-format on
  for (const auto& c : cases) {
    keys.Type(c.typed);
    int32_t value = 0;
    EXPECT_EQ(ReadLineInteger(value), c.ok) << c.typed;
    EXPECT_EQ(value, c.value) << c.typed;
  }
}

// From 10:00:00.30: on the nth tick of the clock, or on Esc, keeping the keys before it.
TEST_F(ToolkitTest, WaitSecondsEndsOnTheNthTickOrOnEsc) {
  clock.Advance(300000);
  EXPECT_EQ(WaitSeconds(0), '\0');
  WaitSeconds(3);
  EXPECT_EQ(NowMs(), 3000);  // the third tick
  keys.Pause(400000);
  keys.Type("ab");
  keys.Pause(800000);
  keys.Key(kEsc);
  WaitSeconds(10);
  EXPECT_EQ(NowMs(), 4200);  // the Esc
  EXPECT_TRUE(EscAbort);
  EXPECT_EQ(KeyBuffer, "ab");
}
