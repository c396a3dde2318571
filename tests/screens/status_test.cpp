#include "PXN_Lib3/status.h"

#include "PXN_Lib3/globals.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

const std::string kBar = "Plaxon    ComPort 1  SNr. 1234  SysStat 0000    Ready 1";

class StatusTest : public VirtualWorld {
 protected:
  StatusTest() {
    OpenSimPort();
    SerialNo = 1234;
    clock.Advance(5000000);  // 10:00:05
  }
};

TEST_F(StatusTest, BarInYellowOnRedWithTheTimeAtTheRightEdge) {
  GotoXY(7, 9);
  ShowStatus();
  EXPECT_EQ(Row(1), kBar + std::string(72 - 55, ' ') + "10:00:05");
  for (int col = 1; col <= 80; ++col) ASSERT_EQ(AttrAt(col, 1), 0x4E) << "column " << col;
  EXPECT_EQ(WhereX(), 7) << "the cursor goes back";
  EXPECT_EQ(WhereY(), 9) << "the cursor goes back";
  Write("x");
  EXPECT_EQ(AttrAt(7, 9), 0x71) << "blue on light grey again";
  ExpectSent({"RD DM200\r", "RD 1915\r"});
}

TEST_F(StatusTest, NothingIsDrawnOrSentWhileAnEscWaits) {
  EscAbort = true;
  ShowStatus();
  EXPECT_EQ(RowTrim(1), "");
  ExpectSent({});
}

// The time is placed by screen columns: in the 61-column banner window it runs onto row 2.
TEST_F(StatusTest, InTheBannerWindowTheTimeRunsOntoTheNextRow) {
  Window(10, 1, 70, 25);
  ShowStatus();
  EXPECT_EQ(Row(1).substr(9, 61), kBar + "      ");
  EXPECT_EQ(Row(2).substr(9, 9), " 10:00:05");
}

// DM200 in sign-and-magnitude hex; no controller: 0000 and no ready flag.
TEST_F(StatusTest, SystemStatusInSignAndMagnitudeHex) {
  const std::pair<uint16_t, std::string> cases[] = {{65535, "SysStat -7FFF    Ready 1"},
                                                    {32786, "SysStat -0012    Ready 1"},
                                                    {0x1A, "SysStat 001A    Ready 1"}};
  for (const auto& [dm200, shown] : cases) {
    plc.SetDm(200, dm200);
    ShowStatus();
    EXPECT_EQ(Row(1).substr(32, shown.size()), shown) << dm200;
  }
  line.faults.silent = true;
  ShowStatus();
  EXPECT_EQ(Row(1).substr(32, 25), "SysStat 0000    Ready    ");
}

TEST_F(StatusTest, AskQuitStates) {
  EXPECT_FALSE(AskQuit()) << "nothing pending: nothing drawn";
  Script("x");
  EXPECT_FALSE(AskQuit()) << "another key goes to the type-ahead buffer";
  EXPECT_EQ(KeyBuffer, "x");
  EXPECT_EQ(RowTrim(1), "");
  GotoXY(4, 6);
  Script("~_n", 100000);  // the answer comes after the prompt
  EXPECT_FALSE(AskQuit());
  EXPECT_FALSE(EscAbort);
  EXPECT_EQ(Row(1).substr(0, 9), " Quit ?  ");
  EXPECT_EQ(AttrAt(1, 1), 0x2E) << "yellow on green";
  EXPECT_EQ(keys.Bells(), 1);
  EXPECT_EQ(KeyBuffer, "");
  EXPECT_EQ(WhereX(), 4) << "the cursor goes back";
  EXPECT_EQ(WhereY(), 6) << "the cursor goes back";
  Script("~_~", 100000);  // Esc as the answer is a no
  EXPECT_FALSE(AskQuit());
  EXPECT_FALSE(EscAbort);
  Script("~_y", 100000);
  EXPECT_TRUE(AskQuit());
  EXPECT_TRUE(AskQuit()) << "sticky, reads nothing";
  EscAbort = true;
  EXPECT_TRUE(AskQuit());
  EXPECT_EQ(keys.Pending(), 0u);
}

}  // namespace
