#include "PXN32_00/main_menu.h"

#include <algorithm>

#include "PXN_Lib3/globals.h"
#include "comLib3/clock_time.h"
#include "comLib3/serial.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

const Lines kStartUpCheck = {"CR\r", "RD DM109\r", "CQ\r"};
const Lines kOpen = {"CR\r", "RD DM109\r", "WR DM123 0\r"};
const Lines kQuit = {"CQ\r"};

class MainMenuTest : public VirtualWorld {
 protected:
  // Start-up answers, then each menu line typed once the menu shows.
  int Run(const Lines& choices) {
    keys.Type("1\rTom\r");
    for (const auto& choice : choices) {
      keys.Pause(2000000);
      keys.Type(choice);
    }
    return RunProgram();
  }
  void StartAfresh() {
    ResetProgramGlobals();
    line.ClearWire();
    Mark();
  }
};

TEST_F(MainMenuTest, EveryChoiceIsBracketedByTheSameRequests) {
  const Lines geometry = {"RD DM25\r", "RD DM25\r", "RD DM29\r", "RD DM29\r", "RD 1703\r"};
  const Lines bar = {"RD DM200\r", "RD 1915\r"};
  plc.SetDm(29, 0);  // read as 9 positions
  plc.SetRelay(1703, true);
  struct Case {
    Lines typed, sent;
    bool geometryRead;
  } cases[] = {
      {{"\r"}, kOpen + kQuit, false},
      {{"9\r"}, kOpen + geometry + kQuit, true},
      {{"s\r", "klm\r"}, kOpen + geometry + bar + kQuit, true},  // a wrong code reads nothing
      {{"1\r", "RD DM25\r", "\x1b"}, kOpen + bar + bar + Lines{"RD DM25\r"} + bar + kQuit, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE("choice " + Escaped(c.typed[0]));
    StartAfresh();
    ASSERT_EQ(Run(c.typed + Lines{"0\r"}), 0);
    ExpectSent(kStartUpCheck + c.sent + kOpen + kQuit);
    EXPECT_EQ(PositionCount, c.geometryRead ? 9 : 0);
    EXPECT_EQ(LevelCount, c.geometryRead ? 10 : 0);
    EXPECT_EQ(Flag1703, c.geometryRead);
  }
}

// A store whose geometry words change between two readings (DM25 from 10 to 12, DM29
// from 9 to 7 and again to 8) is read again until two readings in a row agree.
TEST_F(MainMenuTest, GeometryIsReadUntilTwoReadingsAgree) {
  struct Change {
    const char* after;  // once this request has gone out for the nth time
    size_t nth;
    int dm;
    uint16_t value;
  };
  const Change changes[] = {
      {"RD DM25\r", 1, 25, 12}, {"RD DM29\r", 1, 29, 7}, {"RD DM29\r", 3, 29, 8}};
  keys.onPresent = [&](const console::Screen&) {
    const Lines sent = Sent();
    for (const Change& change : changes)
      if (std::count(sent.begin(), sent.end(), change.after) == static_cast<long>(change.nth) &&
          sent.back() == change.after)
        plc.SetDm(change.dm, change.value);
  };
  ASSERT_EQ(Run({"9\r", "0\r"}), 0);
  ExpectSent(kStartUpCheck + kOpen + Lines(4, "RD DM25\r") + Lines(6, "RD DM29\r") +
             Lines{"RD 1703\r"} + kQuit + kOpen + kQuit);
  EXPECT_EQ(LevelCount, 12);
  EXPECT_EQ(PositionCount, 8);
}

// A controller that never answers the same twice holds the geometry read until Esc; the
// readings then come back empty, agree, and the menu goes on.
TEST_F(MainMenuTest, EscEndsAGeometryReadThatNeverAgrees) {
  uint16_t levels = 0;
  keys.onPresent = [&](const console::Screen&) { plc.SetDm(25, ++levels); };
  ASSERT_EQ(Run({"9\r", "\x1b", "0\r"}), 0);
  EXPECT_GT(levels, 20);  // it kept reading for the two seconds before the Esc
  EXPECT_EQ(LevelCount, 0);
  EXPECT_EQ(PositionCount, 9);
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
  ExpectSent(kStartUpCheck);
  EXPECT_NE(RandomSeed, 0u);  // moved on from the clock after the check
  StartAfresh();
  line.faults.silent = true;
  clock.SetLimit(clock.NowMicros() + 700000);
  keys.Type("2\rAnn\r");
  EXPECT_THROW(RunProgram(), base::VirtualTimeExceeded);
  ExpectRows(3, {"Open Comport 0", "No Communication to Hardware..."});
  ExpectSent(Lines(4, "CR\r"));
  EXPECT_EQ(RandomSeed, 0u);
}

TEST_F(MainMenuTest, PortsThatCannotBeOpenedOrAreNotNumbers) {
  SetSerialOpener([](int, int& error) -> std::unique_ptr<SerialDevice> {
    error = 2;  // the system's "no such file"
    return nullptr;
  });
  for (std::string port : {"7", "129"}) {  // refused by the system; beyond the 128
    SCOPED_TRACE("port " + port);
    StartAfresh();
    clock.SetLimit(clock.NowMicros() + 400000);
    keys.Type(port + "\rTom\r");
    keys.Pause(100000);
    keys.Type(" ");  // a key ends the message
    EXPECT_THROW(RunProgram(), base::VirtualTimeExceeded);
    ExpectRows(3, {"Open Comport Invalid Port Number: " + port + "   E22",
                   "No Communication to Hardware..."});
  }
  keys.Type("com1\r");
  EXPECT_EQ(RunProgram(), 1);
  EXPECT_EQ(RowTrim(2), "Invalid numeric input");
  ExpectSent({});
}

}  // namespace
