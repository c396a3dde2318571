#include "PXN32_00/main_menu.h"

#include "PXN_Lib3/globals.h"
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

// DM25 turns 12 after the 7th request, DM29 7 after the 11th and 8 after the 13th: each is
// read until two readings agree. One that never agrees is read until Esc.
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
  EXPECT_THROW(Run("1\rTom\r"), console::OutOfKeys);  // stops at the menu prompt
  ExpectWindowRows(1, {"Merovin R&D                                   06-12-126",
                       "R.J.Vokel                                      10:00:03",
                       "",
                       "      Plaxon-Tavomir-UserSoft   *   V 2.08, 18.09.A2",
                       "",
                       "Merovin AG                                   PXN 0000.0",
                       "Tom                                              # 1234",
                       "",
                       "         Direct Commands                 1",
                       "         Monitor Flags                   2",
                       "         Macros                          3",
                       "         Teach Positioning Times         4",
                       "         Component Test / Error Cntrs    5",
                       "         Test Sequence all Slots         6",
                       "         Test Sequence Random Access     7",
                       "         Test 3-Plate Squence            8",
                       "         Quit                            0",
                       "",
                       "_______________________________________________________",
                       "         Enter [0..6]"});
}

}  // namespace
