#include "console/terminal_keys.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using console::KeyDecoder;

namespace {

std::string Ext(int scan) {
  return std::string(1, '\0') + static_cast<char>(scan);
}

struct Case {
  std::string input;
  std::string keys;
};

// What the terminal sends for each key, and the PC codes the program must read.
const Case kCases[] = {
    {"a", "a"},
    {"\x01", "\x01"},
    {"\t", "\t"},
    {"\x7f", "\b"},
    {"\b", "\b"},
    {"\r", "\r"},
    {"\n", "\r"},
    {std::string(1, '\0'), ""},  // Ctrl-Space would eat the next key as a scan code
    {"\x1b[A", Ext(0x48)},
    {"\x1b[B", Ext(0x50)},
    {"\x1b[C", Ext(0x4D)},
    {"\x1b[D", Ext(0x4B)},
    {"\x1b[H", Ext(0x47)},
    {"\x1b[F", Ext(0x4F)},
    {"\x1bOA", Ext(0x48)},
    {"\x1bOD", Ext(0x4B)},
    {"\x1bOH", Ext(0x47)},
    {"\x1bOF", Ext(0x4F)},
    {"\x1b[1~", Ext(0x47)},
    {"\x1b[2~", Ext(0x52)},
    {"\x1b[3~", Ext(0x53)},
    {"\x1b[4~", Ext(0x4F)},
    {"\x1b[5~", Ext(0x49)},
    {"\x1b[6~", Ext(0x51)},
    {"\x1b[7~", Ext(0x47)},
    {"\x1b[8~", Ext(0x4F)},
    {"\x1bOP", Ext(0x3B)},
    {"\x1bOS", Ext(0x3E)},
    {"\x1b[11~", Ext(0x3B)},
    {"\x1b[15~", Ext(0x3F)},
    {"\x1b[17~", Ext(0x40)},
    {"\x1b[21~", Ext(0x44)},
    {"\x1b[[A", Ext(0x3B)},
    {"\x1b[[E", Ext(0x3F)},
    {"\x1b[1;5A", Ext(0x48)},
    {"\x1b[1;2P", Ext(0x3B)},
    {"\x1b[3;5~", Ext(0x53)},
    {"\x1b[15;2~", Ext(0x3F)},
    {"\x1bO5D", Ext(0x4B)},
    {"\x1bOM", "\r"},  // keypad Enter in application mode
    {"a\x1b[Ab", "a" + Ext(0x48) + "b"},
    {"\x1b[A\x1b[B", Ext(0x48) + Ext(0x50)},
    // Esc typed ahead of another key while the program was busy: both keys count.
    {"\x1bY", "\x1bY"},
    {"\x1b\x1b[A", "\x1b" + Ext(0x48)},
    // Unknown, private and overlong sequences go whole, and are never an Esc.
    {"\x1b[99~", ""},
    {"\x1b[~", ""},
    {"\x1b[5A", ""},
    {"\x1b[?1;2c", ""},
    {"\x1b[200~x", "x"},
    {"\x1b[1;2;3;4;5;6;7;8;9;10A", ""},
    {"\x1b[X", ""},
    {"\x1bOz", ""},
    {"\x1b[[Zq", "q"},
    {"\x1b[1\r", "\r"},  // a broken sequence gives way to the key that broke it
    // UTF-8 from the terminal: the code page 437 byte when there is one.
    {"\xC3\xA9", "\x82"},
    {"\xE2\x94\x82", "\xB3"},
    {"\xE2\x96\x88", "\xDB"},
    {"\xC2\xA0", "\xFF"},
    {"\xE2\x82\xAC", ""},        // euro sign: not in the code page
    {"\xF0\x9F\x98\x80z", "z"},  // emoji
    {"\xC0\xAF", ""},            // overlong '/'
    {"\xE0\x80\xAF", ""},
    {"\xED\xA0\x80", ""},  // surrogate
    {"\x80", ""},
    {"\xC3"
     "a",
     "a"},
};

std::string FeedAll(const std::string& input) {
  KeyDecoder decoder;
  return decoder.Feed(input);
}

// Keys as the program reads them: a 0 always comes with a scan code the PC knows.
bool IsWellFormedKeyStream(const std::string& keys) {
  static const std::set<int> kScans = {0x0F, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41,
                                       0x42, 0x43, 0x44, 0x47, 0x48, 0x49, 0x4B, 0x4D,
                                       0x4F, 0x50, 0x51, 0x52, 0x53, 0x85, 0x86};
  for (size_t i = 0; i < keys.size(); ++i) {
    auto c = static_cast<uint8_t>(keys[i]);
    if (c == '\n' || c == 127) return false;
    if (c == 0) {
      if (i + 1 >= keys.size() || !kScans.count(static_cast<uint8_t>(keys[i + 1]))) return false;
      ++i;
    }
  }
  return true;
}

}  // namespace

TEST(TerminalKeys, SequencesBecomePcKeyCodes) {
  for (const Case& c : kCases)
    EXPECT_EQ(FeedAll(c.input), c.keys) << testing::PrintToString(c.input);
}

TEST(TerminalKeys, SequencesSplitAcrossReadsDecodeTheSame) {
  for (const Case& c : kCases) {
    for (size_t cut = 1; cut < c.input.size(); ++cut) {
      KeyDecoder decoder;
      std::string keys = decoder.Feed(c.input.substr(0, cut));
      keys += decoder.Feed(c.input.substr(cut));
      EXPECT_EQ(keys, c.keys) << testing::PrintToString(c.input) << " cut at " << cut;
    }
    KeyDecoder decoder;
    std::string keys;
    for (char b : c.input) keys += decoder.Feed(std::string(1, b));
    EXPECT_EQ(keys, c.keys) << testing::PrintToString(c.input) << " byte by byte";
  }
}

TEST(TerminalKeys, OnlyALoneEscBecomesTheEscKeyWhenNothingFollows) {
  struct Expiry {
    std::string input, keys;
  } cases[] = {
      {"\x1b", "\x1b"}, {"x\x1b", "x\x1b"}, {"\x1b[", ""}, {"\x1bO", ""},
      {"\x1b[1;5", ""}, {"\x1b[[", ""},     {"\xC3", ""},  {"\xE2\x94", ""},
  };
  for (const auto& c : cases) {
    KeyDecoder decoder;
    std::string keys = decoder.Feed(c.input);
    EXPECT_TRUE(decoder.Pending()) << testing::PrintToString(c.input);
    keys += decoder.Expire();
    EXPECT_EQ(keys, c.keys) << testing::PrintToString(c.input);
    EXPECT_FALSE(decoder.Pending());
    // What comes after the time-out is a fresh key, not the rest of the sequence.
    EXPECT_EQ(decoder.Feed("A"), "A") << testing::PrintToString(c.input);
  }
  KeyDecoder decoder;
  EXPECT_EQ(decoder.Expire(), "");
}

TEST(TerminalKeys, EveryByteInEveryStateGivesWellFormedKeys) {
  const std::string prefixes[] = {"",
                                  "\x1b",
                                  "\x1b[",
                                  "\x1bO",
                                  "\x1b[[",
                                  "\x1b[1;",
                                  "\x1b[?",
                                  "\xC3",
                                  "\xE2\x94",
                                  "\xF0\x9F\x98",
                                  std::string(20, '\x1b') + "[" + std::string(30, '1')};
  for (bool utf8 : {true, false}) {
    for (const std::string& prefix : prefixes) {
      for (int b = 0; b < 256; ++b) {
        KeyDecoder decoder(utf8);
        std::string keys = decoder.Feed(prefix + static_cast<char>(b));
        keys += decoder.Expire();
        EXPECT_TRUE(IsWellFormedKeyStream(keys)) << testing::PrintToString(prefix) << " + " << b
                                                 << " gave " << testing::PrintToString(keys);
        EXPECT_EQ(decoder.Feed("z"), "z") << testing::PrintToString(prefix) << " + " << b;
      }
    }
  }
}

TEST(TerminalKeys, OutsideUtf8HighBytesAreLatin1) {
  KeyDecoder decoder(false);
  EXPECT_EQ(decoder.Feed("\xE9\xC7\x9B\xA4"), "\x82\x80");  // é Ç; CSI and ¤ have no key
  EXPECT_FALSE(decoder.Pending());
}
