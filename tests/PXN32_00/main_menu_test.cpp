#include "PXN32_00/main_menu.h"

#include "PXN_Lib3/globals.h"
#include "comLib3/clock_time.h"
#include "comLib3/serial.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

const std::vector<std::string> kStartUp = {"CR\r", "RD DM109\r", "CQ\r"};

class MainMenuTest : public VirtualWorld {
 protected:
  // Start-up answers, then each menu line typed once the menu shows.
  int Run(const std::vector<std::string>& choices) {
    keys.Type("1\rTom\r");
    for (const auto& choice : choices) {
      keys.Pause(2000000);
      keys.Type(choice);
    }
    return RunProgram();
  }
  std::vector<std::string> AfterStartUp() {
    auto sent = Sent();
    return std::vector<std::string>(sent.begin() + 3, sent.end());
  }
};

TEST_F(MainMenuTest, EveryChoiceIsBracketedByTheSameRequests) {
  const std::vector<std::string> open = {"CR\r", "RD DM109\r", "WR DM123 0\r"};
  const std::vector<std::string> geometry = {"RD DM25\r", "RD DM25\r", "RD DM29\r", "RD DM29\r",
                                             "RD 1703\r"};
  auto join = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  struct Case {
    std::string typed;
    std::vector<std::string> sent;
  } cases[] = {
      {"\r", join(open, {"CQ\r"})},
      {"9\r", join(join(open, geometry), {"CQ\r"})},
      {"X\r", join(join(open, geometry), {"CQ\r"})},
      {"s\r", join(join(open, geometry), {"CQ\r"})},
  };
  for (const auto& c : cases) {
    line.ClearWire();
    ASSERT_EQ(Run({c.typed, "0\r"}), 0) << c.typed;
    auto sent = AfterStartUp();
    std::vector<std::string> expected = join(c.sent, join(open, {"CQ\r"}));
    EXPECT_EQ(sent, expected) << "choice " << c.typed;
    ResetProgramGlobals();
  }
}

TEST_F(MainMenuTest, DirectCommandsChoiceSendsTheTypedLine) {
  keys.Type("1\rTom\r");
  keys.Pause(2000000);
  keys.Type("1\r");
  keys.Pause(2000000);
  keys.Type("RD DM25\r");
  keys.Pause(1000000);
  keys.Key(kKeyEsc);
  keys.Pause(1000000);
  keys.Type("0\r");
  ASSERT_EQ(RunProgram(), 0);
  EXPECT_EQ(AfterStartUp(), (std::vector<std::string>{
                                "CR\r", "RD DM109\r", "WR DM123 0\r", "RD DM200\r", "RD 1915\r",
                                "RD DM200\r", "RD 1915\r", "RD DM25\r", "RD DM200\r", "RD 1915\r",
                                "CQ\r", "CR\r", "RD DM109\r", "WR DM123 0\r", "CQ\r"}));
}

TEST_F(MainMenuTest, BannerAndMenuRows) {
  clock.Advance(3 * 1000000);
  keys.Type("1\rTom\r");
  EXPECT_THROW(RunProgram(), console::OutOfKeys);  // stops at the menu prompt
  const char* rows[] = {
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
  };
  for (int row = 1; row <= 20; ++row) EXPECT_EQ(RowTrim(row), rows[row - 1]) << "row " << row;
  EXPECT_EQ(Row(20).substr(18, 32), "Enter [0..6]                    ");
  EXPECT_EQ(WhereX(), 10 + 32);  // the cursor waits after the prompt (window column)
  EXPECT_EQ(AttrAt(10, 1), 0x71);
}

TEST_F(MainMenuTest, StartUpDialogue) {
  clock.SetLimit(400000);  // stop inside the half-second wait after the check
  keys.Type("1\rTom\r");
  EXPECT_THROW(RunProgram(), console::VirtualTimeExceeded);
  EXPECT_EQ(RowTrim(1), "Enter Port Number to Tavomir [1,2] 1");
  EXPECT_EQ(RowTrim(2), "Enter Operator Name                Tom");
  EXPECT_EQ(RowTrim(3), "Open Comport 0");
  EXPECT_EQ(RowTrim(4), "Communication Request to Hardware CC");
  EXPECT_EQ(RowTrim(5), "CF Closed");
  EXPECT_EQ(Sent(), kStartUp);
  EXPECT_EQ(SerialNo, 1234);
  EXPECT_NE(RandomSeed, 0u);  // moved on from the clock after the check
}

TEST_F(MainMenuTest, SilentControllerAndSilentStart) {
  line.faults.silent = true;
  clock.SetLimit(700000);
  keys.Type("2\rAnn\r");
  EXPECT_THROW(RunProgram(), console::VirtualTimeExceeded);
  EXPECT_EQ(RowTrim(3), "Open Comport 0");
  EXPECT_EQ(RowTrim(4), "No Communication to Hardware...");
  EXPECT_EQ(Sent(), std::vector<std::string>(4, "CR\r"));
  EXPECT_EQ(RandomSeed, 0u);
}

TEST_F(MainMenuTest, PortsThatCannotBeOpened) {
  // A port the system refuses (error 2), and one outside the table of 128.
  for (const char* port : {"7", "129"}) {
    ResetProgramGlobals();
    SetSerialOpener([](int, int& error) -> std::unique_ptr<SerialDevice> {
      error = 2;
      return nullptr;
    });
    clock.SetLimit(clock.NowMicros() + 400000);
    keys.Type(std::string(port) + "\rTom\r");
    keys.Pause(100000);
    keys.Type(" ");  // the key that dismisses the message
    EXPECT_THROW(RunProgram(), console::VirtualTimeExceeded);
    EXPECT_EQ(RowTrim(3), "Open Comport Invalid Port Number: " + std::string(port) + "   E22");
    EXPECT_EQ(RowTrim(4), "No Communication to Hardware...");
  }
  EXPECT_TRUE(Sent().empty());
}

TEST_F(MainMenuTest, NonNumericPortEndsTheProgram) {
  keys.Type("com1\r");
  EXPECT_EQ(RunProgram(), 1);
  EXPECT_EQ(RowTrim(2), "Invalid numeric input");
  EXPECT_TRUE(Sent().empty());
}

TEST_F(MainMenuTest, GeometryReadsRepeatUntilTwoReadingsAgree) {
  plc.SetDm(29, 0);
  plc.SetRelay(1703, true);
  ASSERT_EQ(Run({"9\r", "0\r"}), 0);
  EXPECT_EQ(PositionCount, 9);  // 0 read as 9
  EXPECT_EQ(LevelCount, 10);
  EXPECT_TRUE(Flag1703);
}

}  // namespace
