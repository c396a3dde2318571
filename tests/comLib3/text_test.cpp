#include "comLib3/text.h"

#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

using TextTest = VirtualWorld;

TEST_F(TextTest, InputLineEchoesEditsAndEnds) {
  struct Case {
    std::string initial, typed, row1;
    int result;
    std::string line;
  } cases[] = {
      {"", "abc\r", "abc", 3, "abc"},
      {"", "\r", "", 0, ""},
      {"", "\b\bx\r", "x", 1, "x"},
      {"xy", "\b\b\b\r", "", 0, ""},
      {"", "ab\bc\r", "ac", 2, "ac"},
  };
  for (const auto& c : cases) {
    ClrScr();
    std::string line = c.initial;
    keys.Type(c.typed);
    EXPECT_EQ(InputLine(line, 255), c.result) << c.typed;
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(RowTrim(1), c.row1);
    EXPECT_EQ(WhereY(), 2) << "a line end follows Enter";
  }
}

TEST_F(TextTest, InputLineEscAbandonsTheLine) {
  std::string line = "keep";
  keys.Type("ab");
  keys.Key(kEsc);
  EXPECT_EQ(InputLine(line, 255), -1);
  EXPECT_EQ(line, "keep");
  EXPECT_TRUE(EscAbort);
  EXPECT_EQ(Row(1).substr(0, 7), "keepab\x1b");  // Esc is echoed
  EXPECT_EQ(WhereY(), 1);                         // no line end
  // Entered with the flag up: shows the text, pauses, reads nothing.
  int64_t start = NowMs();
  keys.Type("z");
  EXPECT_EQ(InputLine(line, 255), -1);
  EXPECT_EQ(NowMs() - start, 100);
  EXPECT_EQ(keys.Pending(), 1u);
}

TEST_F(TextTest, InputLineKeeps255CharactersAndCutsToMaxLen) {
  std::string line;
  keys.Type(std::string(300, 'k') + "\r");
  EXPECT_EQ(InputLine(line, 255), 255);
  EXPECT_EQ(line.size(), 255u);
  line.clear();
  keys.Type("abcdef\r");
  EXPECT_EQ(InputLine(line, 4), 6);
  EXPECT_EQ(line, "abcd");
}

TEST(TextTools, UpperStrAndTwoDigits) {
  EXPECT_EQ(UpperStr(""), "");
  EXPECT_EQ(UpperStr("ab1-z\x84"), "AB1-Z\x84");
  EXPECT_EQ(TwoDigits(9, ':'), "09:");
  EXPECT_EQ(TwoDigits(12, '\0'), "12");
  EXPECT_EQ(TwoDigits(0, '\0'), "00");
  EXPECT_EQ(TwoDigits(100, '-'), "100-");
}
