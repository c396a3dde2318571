#include "PXN_Lib3/status.h"

#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/layout.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

class StatusTest : public VirtualWorld {
 protected:
  StatusTest() {
    OpenSimPort();
    SerialNo = 1234;
    clock.Advance(5 * 1000000);  // 10:00:05
  }
};

TEST_F(StatusTest, BarOnAnEightyColumnScreen) {
  GotoXY(7, 9);
  ShowStatus();
  EXPECT_EQ(Row(1), "Plaxon    ComPort 1  SNr. 1234  SysStat 0000    Ready 1" +
                        std::string(72 - 55, ' ') + "10:00:05");
  for (int col = 1; col <= 80; ++col) ASSERT_EQ(AttrAt(col, 1), 0x4E) << col;  // yellow on red
  EXPECT_EQ(WhereX(), 7);
  EXPECT_EQ(WhereY(), 9);
  Write("x");
  EXPECT_EQ(AttrAt(7, 9), 0x71);  // blue on light grey again
  EXPECT_EQ(Sent(), (std::vector<std::string>{"RD DM200\r", "RD 1915\r"}));
}

TEST_F(StatusTest, SystemStatusInSignAndMagnitudeHex) {
  struct Case {
    uint16_t dm200;
    const char* shown;
  } cases[] = {{65535, "-7FFF"}, {32786, "-0012"}, {0x1A, "001A"}};
  for (const auto& c : cases) {
    plc.SetDm(200, c.dm200);
    ShowStatus();
    EXPECT_EQ(Row(1).substr(40, std::string(c.shown).size() + 1), c.shown + std::string(" "));
  }
  line.faults.silent = true;
  ShowStatus();
  EXPECT_EQ(Row(1).substr(40, 16), "0000    Ready   ");  // no controller: 0000 and nothing
}

TEST_F(StatusTest, NothingIsDrawnWhileAnEscWaits) {
  EscAbort = true;
  ShowStatus();
  EXPECT_EQ(RowTrim(1), "");
  EXPECT_TRUE(Sent().empty());
}

TEST_F(StatusTest, InTheBannerWindowTheTimeRunsOntoTheNextRow) {
  Window(10, 1, 70, 25);
  ShowStatus();
  // Blanks and time are placed by screen columns in a 61-column window.
  EXPECT_EQ(Row(1).substr(9, 61), "Plaxon    ComPort 1  SNr. 1234  SysStat 0000    Ready 1      ");
  EXPECT_EQ(Row(2).substr(9, 9), " 10:00:05");
}

TEST_F(StatusTest, AskQuitStates) {
  EXPECT_FALSE(AskQuit());  // nothing pending: nothing drawn
  EXPECT_EQ(RowTrim(1), "");
  keys.Type("x");
  EXPECT_FALSE(AskQuit());  // another key goes to the type-ahead buffer
  EXPECT_EQ(KeyBuffer, "x");

  GotoXY(4, 6);
  keys.Key(kEsc);
  keys.Pause(100000);  // the answer comes after the prompt shows
  keys.Type("n");
  EXPECT_FALSE(AskQuit());
  EXPECT_EQ(Row(1).substr(0, 9), " Quit ?  ");
  EXPECT_EQ(AttrAt(1, 1), 0x2E);  // yellow on green
  EXPECT_EQ(keys.Bells(), 1);
  EXPECT_FALSE(EscAbort);
  EXPECT_EQ(KeyBuffer, "");
  EXPECT_EQ(WhereX(), 4);
  EXPECT_EQ(WhereY(), 6);

  keys.Key(kEsc);
  keys.Pause(100000);
  keys.Key(kEsc);  // Esc as the answer is a no
  EXPECT_FALSE(AskQuit());
  EXPECT_FALSE(EscAbort);

  keys.Key(kEsc);
  keys.Pause(100000);
  keys.Type("y");
  EXPECT_TRUE(AskQuit());
  EXPECT_TRUE(AskQuit());  // sticky, reads nothing
  EscAbort = true;
  EXPECT_TRUE(AskQuit());
  EXPECT_EQ(keys.Pending(), 0u);
}

TEST(LayoutTexts, DateAndTime) {
  EXPECT_EQ(DateText({2026, 12, 6, 0, 0, 0}), "06-12-126");
  EXPECT_EQ(DateText({1999, 3, 5, 0, 0, 0}), "05-03-99");
  EXPECT_EQ(DateText({2000, 1, 1, 0, 0, 0}), "01-01-100");
  EXPECT_EQ(TimeText({2026, 1, 1, 14, 5, 9}), "14:05:09");
  EXPECT_EQ(RuleLine(), std::string(55, '_'));
}
