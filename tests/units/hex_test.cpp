#include "console/console.h"
#include "nbrBase/nbrBase.h"
#include "support/virtual_world.h"

using HexTest = VirtualWorld;

TEST_F(HexTest, HexWordWritesSignAndMagnitude) {
  for (auto [v, want] : {std::pair<uint16_t, std::string>{0x7FFF, "7FFF"},
                         {0x8001, "-0001"},
                         {0xFFFF, "-7FFF"},
                         {0x8000, "-0000"},
                         {0x00AB, "00AB"}}) {
    ClrScr();
    std::string text;
    HexWord(v, text);
    EXPECT_EQ(text, want);
    EXPECT_EQ(RowTrim(1), want);  // the console got the same characters
  }
}

TEST(BitTools, MasksAndTests) {
  EXPECT_EQ(BitMask(0) + BitMask(15) + BitMask(16) + BitMask(31), 0x8001);
  uint16_t w = 0xFFFF;
  ClearBit(15, w);
  EXPECT_TRUE(w == 0x7FFF && TestBit(14, w) && !TestBit(15, w));
}
