#include "PXN_Lib3/entry.h"
#include "console/console.h"
#include "support/virtual_world.h"

using LineInputTest = VirtualWorld;

TEST_F(LineInputTest, IntegerLines) {
  // Hexadecimal takes all 32 bits, the top one as the sign: $FFFFFFFF is -1.
  // clang-format off
  struct { const char* typed; bool ok; int32_t value; } cases[] = {  // value stays 0 if no number
      {"  -7  \r", true, -7}, {"12 34\r", true, 12}, {"$1F\r", true, 31}, {"\r  \r5\r", true, 5},
      {"1\b7\r", true, 7}, {"12abc\r", false, 0}, {"abc\r", false, 0}, {"-\r", false, 0},
      {"2147483648\r", false, 0}, {"-2147483648\r", true, INT32_MIN}, {"99999999999\r", false, 0},
      {"$FFFFFFFF\r", true, -1}, {"$7fffffff\r", true, INT32_MAX}, {"$80000000\r", true, INT32_MIN},
      {"$100000000\r", false, 0}, {"$\r", false, 0}, {"$1G\r", false, 0}};
  // clang-format on
  for (const auto& c : cases) {
    keys.Type(c.typed);
    int32_t value = 0;
    EXPECT_EQ(ReadLineInteger(value), c.ok) << c.typed;
    EXPECT_EQ(value, c.value) << c.typed;
  }
}

TEST_F(LineInputTest, AskNumberAsksAgainAfterText) {
  keys.Type(std::string("x1\r") + "9\x1b" + "65536\r");  // Esc throws the typed 9 away
  EXPECT_EQ(AskNumber("  Cassette Number : "), 65536);
  EXPECT_EQ(RowTrim(1), "  Cassette Number : x1");
  EXPECT_EQ(RowTrim(2), "Invalid numeric input");
  EXPECT_EQ(RowTrim(3), "  Cassette Number : 65536");
}
