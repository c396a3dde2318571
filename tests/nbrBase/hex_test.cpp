#include "nbrBase/nbrBase.h"

#include "console/console.h"
#include "support/virtual_world.h"

using HexTest = VirtualWorld;

TEST_F(HexTest, HexWordWritesSignAndMagnitude) {
  struct Case {
    uint16_t v;
    const char* text;
  } cases[] = {{0x7FFF, "7FFF"}, {0x8001, "-0001"}, {0xFFFF, "-7FFF"},
               {0, "0000"},      {0x8000, "-0000"}, {0x00AB, "00AB"}};
  for (const auto& c : cases) {
    ClrScr();
    std::string text;
    HexWord(c.v, text);
    EXPECT_EQ(text, c.text);
    EXPECT_EQ(RowTrim(1), c.text);  // the console got the same characters
  }
}

TEST(BitTools, MasksAndTests) {
  EXPECT_EQ(BitMask(0), 1);
  EXPECT_EQ(BitMask(15), 0x8000);
  EXPECT_EQ(BitMask(16), 0);
  EXPECT_EQ(BitMask(31), 0);
  uint16_t w = 0xFFFF;
  ClearBit(15, w);
  EXPECT_EQ(w, 0x7FFF);
  EXPECT_TRUE(TestBit(14, w));
  EXPECT_FALSE(TestBit(15, w));
}
