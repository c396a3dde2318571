#include "console/terminal_keys.h"

#include <gtest/gtest.h>

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

// A 0 always comes with a scan code the PC knows; no LF or DEL reaches the program.
TEST(TerminalKeys, EveryByteInEveryStateGivesWellFormedKeys) {
  const std::string scans = "\x0F;<=>?@ABCDGHIKMOPQRS\x85\x86";  // 0Fh, 3Bh-44h, 47h...
  for (std::string prefix :
       {""s, "\x1b"s, "\x1b["s, "\x1bO"s, "\x1b[["s, "\x1b[1;"s, "\x1b[?"s, "\xC3"s, "\xE2\x94"s,
        "\xF0\x9F\x98"s, "\x1b\x1b[" + std::string(30, '1')}) {
    for (int b = 0; b < 512; ++b) {
      KeyDecoder d(b < 256);
      std::string keys = d.Feed(prefix + static_cast<char>(b));
      keys += d.Expire();
      for (size_t i = 0; i < keys.size(); ++i) {
        bool ok = keys[i] ? keys[i] != '\n' && keys[i] != '\x7f'
                          : scans.find(keys.c_str()[++i]) != std::string::npos;
        EXPECT_TRUE(ok) << PrintToString(prefix) << b << " gave " << PrintToString(keys);
      }
      EXPECT_EQ(d.Feed("z"), "z") << PrintToString(prefix) << b;
    }
  }
  EXPECT_EQ(KeyDecoder(false).Feed("\xE9\xC7\x9B\xA4"), "\x82\x80");  // Latin-1: é Ç, no key
}
