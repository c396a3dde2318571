// The frame every screen shares: start-up, main menu, status bar and quit prompt.
#include "PXN32_00/main_menu.h"

#include <algorithm>

#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

class MainMenuTest : public VirtualWorld {
 protected:
  // The start-up's answers and the menu's, Script's way, '_' two seconds.
  int Run(std::string_view script) {
    ResetProgramGlobals();
    line.ClearWire();
    Mark();
    Script(script, 2 * kSecond);
    return RunProgram();
  }
};

// DM25 and DM29 change while read: each is read until two readings agree, or until Esc.
TEST_F(MainMenuTest, GeometryIsReadUntilTwoReadingsAgree) {
  const std::pair<size_t, uint16_t> changes[] = {{7, 12}, {11, 7}, {13, 8}};
  keys.onPresent = [&](const console::Screen&) {
    for (const auto& [sent, value] : changes)
      if (line.Wire().size() == sent) plc.SetDm(sent < 10 ? 25 : 29, value);
  };
  ASSERT_EQ(Run("1\rTom\r_9\r_0\r"), 0);
  ExpectSent(Requests("CR,RD DM109,CQ,CR,RD DM109,WR DM123 0") + Lines(4, "RD DM25\r") +
             Lines(6, "RD DM29\r") + Requests("RD 1703,CQ,CR,RD DM109,WR DM123 0,CQ"));
  EXPECT_EQ(LevelCount * 100 + PositionCount, 1208);
  uint16_t levels = 0;
  clock.SetLimit(clock.NowMicros() + 600 * kSecond);
  keys.onPresent = [&](const console::Screen&) { plc.SetDm(25, ++levels); };
  ASSERT_EQ(Run("1\rTom\r_9\r_~_0\r"), 0);
  EXPECT_EQ(LevelCount * 100 + PositionCount, 9);
}

// A port that is no number ends the program; one that is shows the banner and the menu.
TEST_F(MainMenuTest, APortThatIsNoNumberEndsTheProgramAndOneThatIsShowsTheMenu) {
  keys.Type("1x\r");
  EXPECT_EQ(RunProgram(), 1);
  EXPECT_EQ(RowTrim(2), "Invalid numeric input");
  clock.Advance(3 * kSecond);
  EXPECT_THROW(Run("1\rTom\r_2\r_~"), console::OutOfKeys);  // stops at the menu prompt
  EXPECT_EQ(std::ranges::count(Sent(), "RD 500\r"), 1);
  ExpectWindowRows(1, Rows("Merovin R&D                                   06-12-126|"
                           "R.J.Vokel                                      10:00:07||"
                           "      Plaxon-Tavomir-UserSoft   *   V 2.08, 18.09.A2||"
                           "Merovin AG                                   PXN 0000.0|"
                           "Tom                                              # 1234|"));
  // The entries start at the window's column 10.
  ExpectWindowRows(9,
                   Rows("Direct Commands                 1|Monitor Flags                   2|"
                        "Macros                          3|Teach Positioning Times         4|"
                        "Component Test / Error Cntrs    5|Test Sequence all Slots         6|"
                        "Test Sequence Random Access     7|Test 3-Plate Squence            8|"
                        "Quit                            0|"),
                   19);
  ExpectWindowRows(19, {std::string(55, '_'), "         Enter [0..6]"});
}

// DM200 in sign and magnitude, the time in the last eight columns. In the banner window
// the blanks still count to screen column 72, so the time runs onto row 2.
TEST_F(MainMenuTest, StatusBarWithTheTimeInTheLastEightColumns) {
  OpenSimPort();
  SerialNo = 1234;
  clock.Advance(5 * kSecond);  // 10:00:05
  plc.SetDm(200, 65535);
  ShowStatus();
  EXPECT_EQ(Row(1),
            "Plaxon    ComPort 1  SNr. 1234  SysStat -7FFF    Ready 1                10:00:05");
  EXPECT_EQ(AttrAt(1, 1) * 256 + AttrAt(70, 1), 0x4E4E) << "yellow on red, blanks included";
  plc.SetDm(200, 0);
  ClrScr();
  Window(10, 1, 70, 25);
  ShowStatus();
  EXPECT_EQ(Row(1).substr(9, 61), "Plaxon    ComPort 1  SNr. 1234  SysStat 0000    Ready 1      ");
  EXPECT_EQ(Row(2).substr(9, 9), " 10:00:05");
}

// Esc, then N, Esc or Up (0 and its scan code) is a no that leaves nothing in the buffer.
TEST_F(MainMenuTest, AskQuitTakesOnlyYAsYes) {
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

// The random access wait column shows the minutes as seconds; the largest does not wrap.
TEST_F(MainMenuTest, MinutesBecomeSecondsWithoutWrapping) {
  for (const auto& [minutes, seconds] : {std::pair{"5", "300"}, {"2147483647", "2147483647"}}) {
    std::string wait;
    keys.onPresent = [&](const console::Screen&) {  // the rows as one text: a long one wraps
      std::string text;
      for (int row = 2; row <= 25; ++row) text += Row(row);
      if (size_t at = text.find("Wt"), end = text.find('/', at);
          wait.empty() && end != std::string::npos)
        wait = text.substr(at + 2, end - at - 2);
    };
    clock.SetLimit(clock.NowMicros() + 3600 * kSecond);
    RunScreen(RandomAccessTest, std::string("c") + minutes + "\r____________~_Y_x");
    EXPECT_EQ(wait, seconds);
  }
}

}  // namespace
