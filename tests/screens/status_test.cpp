#include "PXN_Lib3/status.h"

#include "PXN_Lib3/globals.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

class StatusTest : public VirtualWorld {
 protected:
  StatusTest() { OpenSimPort(), SerialNo = 1234, clock.Advance(5 * kSecond); }  // 10:00:05
};

// DM200 in sign and magnitude; no controller: 0000 and no Ready. In the banner window the
// blanks still count to screen column 72, so the time runs onto row 2. While an Esc waits
// nothing is drawn or sent.
TEST_F(StatusTest, BarInYellowOnRedWithTheTimeInTheLastEightColumns) {
  GotoXY(7, 9), plc.SetDm(200, 65535), ShowStatus();
  EXPECT_EQ(Row(1),
            "Plaxon    ComPort 1  SNr. 1234  SysStat -7FFF    Ready 1                10:00:05");
  for (int col = 1; col <= 80; ++col) ASSERT_EQ(AttrAt(col, 1), 0x4E) << "column " << col;
  EXPECT_EQ(WhereX() * 100 + WhereY(), 709) << "the cursor goes back";
  Write("x");
  EXPECT_EQ(AttrAt(7, 9), 0x71) << "blue on light grey again";
  ExpectSent({"RD DM200\r", "RD 1915\r"});
  plc.SetDm(200, 0), ClrScr(), Window(10, 1, 70, 25), ShowStatus();
  EXPECT_EQ(Row(1).substr(9, 61), "Plaxon    ComPort 1  SNr. 1234  SysStat 0000    Ready 1      ");
  EXPECT_EQ(Row(2).substr(9, 9), " 10:00:05");
  line.faults.silent = true, ShowStatus();
  EXPECT_EQ(Row(1).substr(49, 16), "0000    Ready   ");
  ClrScr(), Mark(), EscAbort = true, ShowStatus();
  EXPECT_EQ(RowTrim(1), "");
  ExpectSent({});
}

// Esc, then N, Esc or Up (0 and its scan code) is a no that leaves no key behind; Y sticks.
TEST_F(StatusTest, AskQuitAsksAfterEscOnlyAndAYesSticks) {
  Script("x");
  EXPECT_FALSE(AskQuit()) << "another key goes to the type-ahead buffer";
  EXPECT_EQ(KeyBuffer + RowTrim(1), "x") << "no prompt";
  GotoXY(4, 6);
  for (std::string answer : {std::string("~_n"), std::string("~_~"), std::string("~_\0H", 4)}) {
    Script(answer, 100000);
    EXPECT_FALSE(AskQuit());
    EXPECT_EQ(KeyBuffer + (EscAbort ? "Esc" : ""), "");
    EXPECT_EQ(keys.Pending(), 0u);
  }
  EXPECT_EQ(Row(1).substr(0, 10), " Quit ?   ");
  for (int col = 1; col <= 10; ++col) EXPECT_EQ(AttrAt(col, 1), col < 10 ? 0x2E : 0x07) << col;
  EXPECT_EQ(keys.Bells(), 3);
  EXPECT_EQ(WhereX() * 100 + WhereY(), 406) << "the cursor goes back";
  Write("x");
  EXPECT_EQ(AttrAt(4, 6), 0x71);
  Script("~_y", 100000);
  EXPECT_TRUE(AskQuit());
  Script("~");
  EXPECT_TRUE(AskQuit()) << "sticky, asks nothing";
  EXPECT_EQ(keys.Bells(), 4);
}

}  // namespace
