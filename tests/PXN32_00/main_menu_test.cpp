#include "PXN32_00/main_menu.h"

#include "PXN_Lib3/globals.h"
#include "comLib3/clock_time.h"
#include "comLib3/serial.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

using Lines = std::vector<std::string>;
Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class MainMenuTest : public VirtualWorld {
 protected:
  // Start-up answers, then each menu line typed once the menu shows.
  int Run(const Lines& choices) {
    keys.Type("1\rTom\r");
    for (const auto& choice : choices) keys.Pause(2000000), keys.Type(choice);
    return RunProgram();
  }
  void ExpectRows(int first, const Lines& rows) {
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(RowTrim(first + i), rows[i]) << i;
  }
};

TEST_F(MainMenuTest, EveryChoiceIsBracketedByTheSameRequests) {
  const Lines open = {"CR\r", "RD DM109\r", "WR DM123 0\r"}, quit = {"CQ\r"};
  const Lines geometry = {"RD DM25\r", "RD DM25\r", "RD DM29\r", "RD DM29\r", "RD 1703\r"};
  const Lines bar = {"RD DM200\r", "RD 1915\r"};
  plc.SetDm(29, 0), plc.SetRelay(1703, true);  // DM29 0 is read as 9 positions
  std::tuple<Lines, Lines, bool> cases[] = {
      {{"\r"}, open + quit, false},
      {{"9\r"}, open + geometry + quit, true},
      {{"s\r"}, open + geometry + quit, true},
      {{"1\r", "RD DM25\r", "\x1b"}, open + bar + bar + Lines{"RD DM25\r"} + bar + quit, false},
  };
  for (const auto& [typed, sent, geometryRead] : cases) {
    ASSERT_EQ(Run(typed + Lines{"0\r"}), 0) << typed[0];
    EXPECT_EQ(Sent(), (Lines{"CR\r", "RD DM109\r", "CQ\r"} + sent + open + quit)) << typed[0];
    EXPECT_EQ(std::tuple(PositionCount, LevelCount, Flag1703),
              geometryRead ? std::tuple(9, 10, true) : std::tuple(0, 0, false));
    ResetProgramGlobals(), line.ClearWire();
  }
}

TEST_F(MainMenuTest, BannerAndMenuRows) {
  clock.Advance(3 * 1000000);
  EXPECT_THROW(Run({}), console::OutOfKeys);  // stops at the menu prompt
  ExpectRows(1, {
                    "         Merovin R&D                                   06-12-126",
                    "         R.J.Vokel                                      10:00:03",
                    "",
                    "               Plaxon-Tavomir-UserSoft   *   V 2.08, 18.09.A2",
                    "",
                    "         Merovin AG                                   PXN 0000.0",
                    "         Tom                                              # 1234",
                    "",
                    "                  Direct Commands                 1",
                    "                  Monitor Flags                   2",
                    "                  Macros                          3",
                    "                  Teach Positioning Times         4",
                    "                  Component Test / Error Cntrs    5",
                    "                  Test Sequence all Slots         6",
                    "                  Test Sequence Random Access     7",
                    "                  Test 3-Plate Squence            8",
                    "                  Quit                            0",
                    "",
                    "         _______________________________________________________",
                    "                  Enter [0..6]",
                });
  EXPECT_EQ(WhereX(), 10 + 32);  // the cursor waits after the prompt (window column)
  EXPECT_EQ(AttrAt(10, 1), 0x71);
}

TEST_F(MainMenuTest, StartUpDialogueWithAndWithoutController) {
  clock.SetLimit(400000);  // stop inside the half-second wait after the check
  EXPECT_THROW(Run({}), base::VirtualTimeExceeded);
  ExpectRows(1, {"Enter Port Number to Tavomir [1,2] 1", "Enter Operator Name                Tom",
                 "Open Comport 0", "Communication Request to Hardware CC", "CF Closed"});
  EXPECT_EQ(Sent(), (Lines{"CR\r", "RD DM109\r", "CQ\r"}));
  EXPECT_NE(RandomSeed, 0u);  // moved on from the clock after the check
  ResetProgramGlobals(), line.ClearWire();
  line.faults.silent = true;
  clock.SetLimit(clock.NowMicros() + 700000);
  keys.Type("2\rAnn\r");
  EXPECT_THROW(RunProgram(), base::VirtualTimeExceeded);
  ExpectRows(3, {"Open Comport 0", "No Communication to Hardware..."});
  EXPECT_EQ(Sent(), Lines(4, "CR\r"));
  EXPECT_EQ(RandomSeed, 0u);
}

TEST_F(MainMenuTest, PortsThatCannotBeOpenedOrAreNotNumbers) {
  SetSerialOpener(
      [](int, int& error) -> std::unique_ptr<SerialDevice> { return error = 2, nullptr; });
  for (std::string port : {"7", "129"}) {  // refused by the system (error 2); beyond the 128
    ResetProgramGlobals();
    clock.SetLimit(clock.NowMicros() + 400000);
    keys.Type(port + "\rTom\r"), keys.Pause(100000), keys.Type(" ");  // a key ends the message
    EXPECT_THROW(RunProgram(), base::VirtualTimeExceeded);
    ExpectRows(3, {"Open Comport Invalid Port Number: " + port + "   E22",
                   "No Communication to Hardware..."});
  }
  keys.Type("com1\r");
  EXPECT_EQ(RunProgram(), 1);
  EXPECT_EQ(RowTrim(2), "Invalid numeric input");
  EXPECT_TRUE(Sent().empty());
}
}  // namespace
