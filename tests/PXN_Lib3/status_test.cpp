#include "PXN_Lib3/status.h"

#include "PXN_Lib3/globals.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

class StatusTest : public VirtualWorld {
 protected:
  StatusTest() { OpenSimPort(), SerialNo = 1234, clock.Advance(5000000); }  // 10:00:05
};

TEST_F(StatusTest, BarHexStatusAndBannerWindow) {
  EscAbort = true;  // nothing is drawn or sent while an Esc waits
  ShowStatus();
  EXPECT_EQ(RowTrim(1), "");
  EscAbort = false;
  GotoXY(7, 9);
  ShowStatus();
  const std::string bar = "Plaxon    ComPort 1  SNr. 1234  SysStat 0000    Ready 1";
  EXPECT_EQ(Row(1), bar + std::string(72 - 55, ' ') + "10:00:05");
  for (int col = 1; col <= 80; ++col) ASSERT_EQ(AttrAt(col, 1), 0x4E) << col;  // yellow on red
  EXPECT_EQ(WhereX() * 100 + WhereY(), 709);
  Write("x");
  EXPECT_EQ(AttrAt(7, 9), 0x71);  // blue on light grey again
  EXPECT_EQ(Sent(), (std::vector<std::string>{"RD DM200\r", "RD 1915\r"}));
  // In the 61-column banner window the time, placed by screen columns, runs onto row 2.
  Window(10, 1, 70, 25);
  ShowStatus();
  EXPECT_EQ(Row(1).substr(9, 61) + Row(2).substr(9, 9), bar + "       10:00:05");
  Window(1, 1, 80, 25);
  // DM200 in sign-and-magnitude hex; no controller: 0000 and no ready flag.
  std::pair<uint16_t, std::string> cases[] = {
      {65535, "-7FFF "}, {32786, "-0012 "}, {0x1A, "001A "}};
  for (const auto& [dm200, shown] : cases) {
    plc.SetDm(200, dm200), ShowStatus();
    EXPECT_EQ(Row(1).substr(40, shown.size()), shown);
  }
  line.faults.silent = true;
  ShowStatus();
  EXPECT_EQ(Row(1).substr(40, 16), "0000    Ready   ");
}

TEST_F(StatusTest, AskQuitStates) {
  EXPECT_FALSE(AskQuit());  // nothing pending: nothing drawn
  keys.Type("x");
  EXPECT_FALSE(AskQuit());  // another key goes to the type-ahead buffer
  EXPECT_EQ(KeyBuffer + RowTrim(1), "x");
  GotoXY(4, 6);
  keys.Key(kEsc), keys.Pause(100000), keys.Type("n");  // the answer comes after the prompt
  EXPECT_FALSE(AskQuit() || EscAbort);
  EXPECT_EQ(Row(1).substr(0, 9), " Quit ?  ");
  EXPECT_EQ(AttrAt(1, 1), 0x2E);  // yellow on green
  EXPECT_EQ(std::tuple(keys.Bells(), KeyBuffer, WhereX(), WhereY()), std::tuple(1, "", 4, 6));
  keys.Key(kEsc), keys.Pause(100000), keys.Key(kEsc);  // Esc as the answer is a no
  EXPECT_FALSE(AskQuit() || EscAbort);
  keys.Key(kEsc), keys.Pause(100000), keys.Type("y");
  EXPECT_TRUE(AskQuit() && AskQuit());  // sticky, reads nothing
  EscAbort = true;
  EXPECT_TRUE(AskQuit());
  EXPECT_EQ(keys.Pending(), 0u);
}
