#include "PXN_Lib3/status.h"

#include "PXN_Lib3/globals.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

class StatusTest : public VirtualWorld {
 protected:
  StatusTest() {
    OpenSimPort();
    SerialNo = 1234;
    clock.Advance(5 * kSecond);  // 10:00:05
  }
};

// DM200 in sign and magnitude, the time in the last eight columns. In the banner window
// the blanks still count to screen column 72, so the time runs onto row 2.
TEST_F(StatusTest, BarWithTheTimeInTheLastEightColumns) {
  plc.SetDm(200, 65535);
  ShowStatus();
  EXPECT_EQ(Row(1),
            "Plaxon    ComPort 1  SNr. 1234  SysStat -7FFF    Ready 1                10:00:05");
  plc.SetDm(200, 0);
  ClrScr();
  Window(10, 1, 70, 25);
  ShowStatus();
  EXPECT_EQ(Row(1).substr(9, 61), "Plaxon    ComPort 1  SNr. 1234  SysStat 0000    Ready 1      ");
  EXPECT_EQ(Row(2).substr(9, 9), " 10:00:05");
}

// Esc, then N, Esc or Up (0 and its scan code) is a no that leaves nothing in the buffer.
TEST_F(StatusTest, AskQuitTakesOnlyYAsYes) {
  for (std::string answer : {std::string("~_n"), std::string("~_~"), std::string("~_\0H", 4)}) {
    Script(answer, 100000);
    EXPECT_FALSE(AskQuit());
    EXPECT_EQ(KeyBuffer + (EscAbort ? "Esc" : ""), "");
  }
  EXPECT_EQ(Row(1).substr(0, 10), " Quit ?   ");
  for (int col = 1; col <= 10; ++col) EXPECT_EQ(AttrAt(col, 1), col < 10 ? 0x2E : 0x07) << col;
  Script("~_y", 100000);
  EXPECT_TRUE(AskQuit());
}

}  // namespace
