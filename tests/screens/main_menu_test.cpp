#include "PXN32_00/main_menu.h"

#include "PXN_Lib3/globals.h"
#include "comLib3/clock_time.h"
#include "comLib3/serial.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

const Lines kCheck = {"CR\r", "RD DM109\r", "CQ\r"}, kOpen = {"CR\r", "RD DM109\r", "WR DM123 0\r"};
const Lines kQuit = {"CQ\r"}, kBar = {"RD DM200\r", "RD 1915\r"};

class MainMenuTest : public VirtualWorld {
 protected:
  // Start-up answers, then each menu line typed two seconds after the one before.
  int Run(const Lines& choices) {
    ResetProgramGlobals(), line.ClearWire(), Mark(), keys.Type("1\rTom\r");
    for (const auto& choice : choices) keys.Pause(2 * kSecond), keys.Type(choice);
    return RunProgram();
  }
};

// Keys above "3" read the geometry (DM29 at 0 is 9 positions), "s" opens the statistics.
TEST_F(MainMenuTest, EveryChoiceIsBracketedByTheSameRequests) {
  const Lines geometry = {"RD DM25\r", "RD DM25\r", "RD DM29\r", "RD DM29\r", "RD 1703\r"};
  plc.SetDm(29, 0), plc.SetRelay(1703, true);
  const std::pair<Lines, Lines> cases[] = {
      {{"\r"}, kOpen + kQuit},
      {{"9\r"}, kOpen + geometry + kQuit},
      {{"s\r", "klm\r"}, kOpen + geometry + kBar + kQuit},  // a wrong code reads nothing
      {{"1\r", "RD DM25\r", "\x1b"}, kOpen + kBar + kBar + Lines{"RD DM25\r"} + kBar + kQuit}};
  for (const auto& [typed, sent] : cases) {
    SCOPED_TRACE(Escaped(typed[0]));
    ASSERT_EQ(Run(typed + Lines{"0\r"}), 0);
    ExpectSent(kCheck + sent + kOpen + kQuit);
    const bool read = sent[3] == "RD DM25\r";
    EXPECT_EQ(PositionCount * 1000 + LevelCount * 10 + Flag1703, read ? 9101 : 0);
  }
}

// DM25 goes from 10 to 12 after its first reading (the 7th request), DM29 from 9 to 7
// after its first and to 8 after its third (the 11th and 13th): each is read until two
// readings in a row agree. One that never agrees holds the read until Esc, after which
// the readings come back empty and agree.
TEST_F(MainMenuTest, GeometryIsReadUntilTwoReadingsAgree) {
  const std::pair<size_t, uint16_t> changes[] = {{7, 12}, {11, 7}, {13, 8}};
  keys.onPresent = [&](const console::Screen&) {
    for (const auto& [sent, value] : changes)
      if (line.Wire().size() == sent) plc.SetDm(sent < 10 ? 25 : 29, value);
  };
  ASSERT_EQ(Run({"9\r", "0\r"}), 0);
  ExpectSent(kCheck + kOpen + Lines(4, "RD DM25\r") + Lines(6, "RD DM29\r") + Lines{"RD 1703\r"} +
             kQuit + kOpen + kQuit);
  EXPECT_EQ(LevelCount * 100 + PositionCount, 1208);
  uint16_t levels = 0;
  clock.SetLimit(clock.NowMicros() + 600 * kSecond);
  keys.onPresent = [&](const console::Screen&) { plc.SetDm(25, ++levels); };
  ASSERT_EQ(Run({"9\r", "\x1b", "0\r"}), 0);
  EXPECT_GT(levels, 20);  // it kept reading for the two seconds before the Esc
  EXPECT_EQ(LevelCount * 100 + PositionCount, 9);
}

TEST_F(MainMenuTest, BannerAndMenuRows) {
  clock.Advance(3 * kSecond);
  EXPECT_THROW(Run({}), console::OutOfKeys);  // stops at the menu prompt
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
  EXPECT_EQ(WhereX(), 10 + 32);  // the cursor waits after the prompt's blanks
  EXPECT_EQ(AttrAt(10, 1), 0x71);
}

TEST_F(MainMenuTest, StartUpWithAndWithoutController) {
  clock.SetLimit(400000);  // stop inside the half-second wait after the check
  EXPECT_THROW(Run({}), base::VirtualTimeExceeded);
  ExpectRows(1, {"Enter Port Number to Tavomir [1,2] 1", "Enter Operator Name                Tom",
                 "Open Comport 0", "Communication Request to Hardware CC", "CF Closed"});
  ExpectSent(kCheck);
  EXPECT_NE(RandomSeed, 0u);  // moved on from the clock after the check
  line.faults.silent = true;
  clock.SetLimit(clock.NowMicros() + 700000);
  EXPECT_THROW(Run({}), base::VirtualTimeExceeded);
  ExpectRows(3, {"Open Comport 0", "No Communication to Hardware..."});
  ExpectSent(Lines(4, "CR\r"));
  EXPECT_EQ(RandomSeed, 0u);
}

// A port that is no number ends the program; blanks before it and a word after a blank
// are dropped.
TEST_F(MainMenuTest, APortThatIsNoNumberEndsTheProgram) {
  for (const char* typed : {"com1\r", "1x\r"}) {
    ResetProgramGlobals(), keys.Type(typed);
    EXPECT_EQ(RunProgram(), 1);
    EXPECT_EQ(RowTrim(2), "Invalid numeric input");
  }
  ExpectSent({});
  clock.SetLimit(clock.NowMicros() + 400000), keys.Type("  1 x\rTom\r");
  EXPECT_THROW(RunProgram(), base::VirtualTimeExceeded);
  ExpectRows(3, {"Open Comport 0", "Communication Request to Hardware CC"});
}

}  // namespace
