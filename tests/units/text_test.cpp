#include "comLib3/text.h"

#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

using TextTest = VirtualWorld;

TEST_F(TextTest, InputLineEchoesEditsAndEnds) {
  struct Case {
    std::string initial, typed, row1, line;
    int maxLen, result, endY;
  } cases[] = {
      {"", "\r", "", "", 255, 0, 2},
      {"", "\b\bab\bc\r", "ac", "ac", 255, 2, 2},
      {"xy", "\b\b\b\r", "", "", 255, 0, 2},
      {"", "abcdef\r", "abcdef", "abcd", 4, 6, 2},
      {"", std::string(300, 'k') + "\r", std::string(80, 'k'), std::string(255, 'k'), 255, 255, 5},
  };
  for (const auto& c : cases) {
    ClrScr();
    std::string line = c.initial;
    keys.Type(c.typed);
    EXPECT_EQ(InputLine(line, c.maxLen), c.result) << c.typed;
    EXPECT_EQ(line, c.line);
    EXPECT_EQ(RowTrim(1), c.row1);
    EXPECT_EQ(WhereY(), c.endY) << "a line end follows Enter";
  }
}

TEST_F(TextTest, InputLineEscAbandonsTheLine) {
  std::string line = "keep";
  keys.Type("ab");
  keys.Key(kEsc);
  EXPECT_EQ(InputLine(line, 255), -1);
  EXPECT_EQ(line, "keep");
  EXPECT_TRUE(EscAbort);
  EXPECT_EQ(Row(1).substr(0, 8), "keepab\x1b ");  // Esc is echoed, no line end
  EXPECT_EQ(WhereY(), 1);
  // Entered with the flag up: shows the text, pauses, reads nothing.
  int64_t start = NowMs();
  keys.Type("z");
  EXPECT_EQ(InputLine(line, 255), -1);
  EXPECT_EQ(NowMs() - start, 100);
  EXPECT_EQ(keys.Pending(), 1u);
}
