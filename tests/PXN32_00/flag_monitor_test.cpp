#include <algorithm>
#include <string>
#include <vector>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "support/virtual_world.h"

namespace {

using Requests = std::vector<std::string>;

const std::string kBlock(1, static_cast<char>(219));
constexpr int64_t kSecond = 1000000;

// The relay reads of one pass: right-hand relay first on rows that have one.
Requests RelayReads() {
  const int pairs[][2] = {{500, 0},   {501, 1},   {502, 2},  {503, 3},  {504, 4},   {505, 5},
                          {-1, 6},    {1100, 7},  {1907, 8}, {1801, 9}, {1104, 10}, {-1, 11},
                          {1815, 12}, {1915, 13}, {-1, 14},  {-1, 15}};
  Requests reads;
  for (const auto& pair : pairs) {
    if (pair[0] >= 0) reads.push_back("RD " + std::to_string(pair[0]) + "\r");
    reads.push_back("RD " + std::to_string(pair[1]) + "\r");
  }
  return reads;
}

Requests IdlePass() {
  Requests pass = RelayReads();
  for (const char* word : {"RD DM91\r", "RD DM92\r", "RD DM93\r"}) pass.push_back(word);
  for (int i = 0; i < 8; ++i) pass.push_back("RD DM1\r");
  pass.push_back("RD DM0\r");
  pass.push_back("RD DM2\r");
  return pass;
}

// Readings of DM1 in the first pass, between the speed line and DM0.
long PositionReadingsOfFirstPass(const Requests& sent) {
  auto from = std::find(sent.begin(), sent.end(), "RD DM93\r");
  auto to = std::find(from, sent.end(), "RD DM0\r");
  return std::count(from, to, "RD DM1\r");
}

class FlagMonitorTest : public VirtualWorld {
 protected:
  void SetUp() override { Fresh(); }
  // A new run on the same clock and controller.
  void Fresh() {
    Configure(plcsim::SimConfig{});
    ResetProgramGlobals();
    OpenSimPort();
    ShowBanner();  // the monitor runs in the window the banner leaves
    Mark();
  }
  // Screen row inside the banner's window (screen columns 10 to 70), trailing blanks cut.
  std::string WindowRow(int row) const {
    std::string text = Row(row).substr(9, 61);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }
};

TEST_F(FlagMonitorTest, IdlePassReadsFortyOneValuesInOrderAndEscEndsAfterThePass) {
  // A pattern that tells every relay of the table from its neighbours.
  const int on[] = {2, 4, 13, 15, 500, 505, 1104, 1801};
  for (const std::string& read : RelayReads()) {
    int relay = std::stoi(read.substr(3));
    plc.SetRelay(relay, std::find(std::begin(on), std::end(on), relay) != std::end(on));
  }
  plc.SetDm(91, 1500);
  plc.SetDm(92, 20);
  plc.SetDm(93, 30);
  plc.SetDm(1, 3);
  plc.SetDm(0, 7);
  plc.SetDm(2, 65535);
  keys.Pause(3 * kSecond);  // well inside the second pass's relay reads
  keys.Key(kKeyEsc);

  FlagMonitor();

  Requests expected = {"RD DM200\r", "RD 1915\r"};
  Requests pass = IdlePass();
  expected.insert(expected.end(), pass.begin(), pass.end());
  // The second pass reads on until its first key poll takes the Esc; after that the
  // exchanges send nothing and the screen ends with the pass.
  Requests cut = RelayReads();
  for (const char* word : {"RD DM91\r", "RD DM92\r", "RD DM93\r", "RD DM1\r"}) cut.push_back(word);
  expected.insert(expected.end(), cut.begin(), cut.end());
  EXPECT_EQ(SentSinceMark(), expected);

  const char* rows[] = {
      "P0     0000 0   Rot.EN   0500 1",
      "Pn     0001 0   GateEN   0501 0",
      "GtClse 0002 1   Rot.Dir  0502 0",
      "GtOpen 0003 0   GateDir  0503 0",
      "       0004 1   CarDrive 0504 0",
      "F.Door 0005 0   LED      0505 1",
      "SW 2E0 0006 0",
      "SW 2E1 0007 0   Acs.     1100 0",
      "SW 2E2 0008 0   Shaker        0",
      "SW 2E3 0009 0   SysAct   1801 1",
      "PltShv 0010 0   KeyVld        1",
      "TrnIn  0011 0",
      "ShFrnt 0012 0   PlateReady    0",
      "ShBk   0013 1   Ready    1915 0",
      "TrnOut 0014 0",
      "z-Init 0015 1",
      "",
      "Set.Spd. DM91 1500  aSlpe.DM92 20  bSlpe.DM93 30",
      // The pass cut short by Esc writes its last two labels without values over the
      // line of the pass before.
      "Rot.Pos. DM01 3  Accs. DM00   AccV. DM02  65535",
      "",
      "",
  };
  for (int i = 0; i < static_cast<int>(std::size(rows)); ++i)
    EXPECT_EQ(WindowRow(i + 2), rows[i]) << "screen row " << i + 2;
  EXPECT_EQ(Row(2).substr(0, 9), std::string(9, ' ')) << "the table starts in column 10";
  EXPECT_EQ(Row(1).substr(9, 6), "Plaxon");
}

TEST_F(FlagMonitorTest, KeyCutsThePositionRefreshShort) {
  struct Case {
    int64_t keyAfterMicros;
    long minReadings, maxReadings;
  } cases[] = {
      {0, 1, 1},            // waiting from the start: taken at the first poll
      {1900 * 1000, 2, 7},  // arrives while the first pass refreshes the position
  };
  for (const Case& c : cases) {
    Fresh();
    keys.Pause(c.keyAfterMicros);
    keys.Type("X");
    keys.Pause(5 * kSecond);
    keys.Key(kKeyEsc);
    FlagMonitor();
    long readings = PositionReadingsOfFirstPass(SentSinceMark());
    EXPECT_GE(readings, c.minReadings) << "key after " << c.keyAfterMicros;
    EXPECT_LE(readings, c.maxReadings) << "key after " << c.keyAfterMicros;
  }
}

TEST_F(FlagMonitorTest, CommandLineShowsTypedTextWithBlockPaddedToThirteenColumns) {
  struct Case {
    std::string typed;
    std::string shown;
  } cases[] = {
      {"ST 500", "ST 500" + kBlock + "      "},
      {"AB\bC", "AC" + kBlock + std::string(10, ' ')},  // Backspace edits the line
      {"RD DM12345 X", "RD DM12345 X" + kBlock},        // 12 characters: no blanks
      {"RD DM12345 XYZ", "RD DM12345 XYZ" + kBlock},    // longer: no blanks either
      // Padding covers 13 columns only: the block drawn further out stays.
      {"RD DM12345 XY\b\b", "RD DM12345 " + kBlock + " " + kBlock},
  };
  for (const Case& c : cases) {
    Fresh();
    keys.Type(c.typed);  // one key per pass: the refresh stops at the first
    keys.Pause(3 * kSecond);
    keys.Key(kKeyEsc);
    FlagMonitor();
    EXPECT_EQ(Row(22).substr(9, 20), c.shown + std::string(20 - c.shown.size(), ' ')) << c.typed;
    for (const std::string& sent : SentSinceMark())
      EXPECT_TRUE(sent.rfind("RD ", 0) == 0) << "only the table is read: " << sent;
  }
  EXPECT_FALSE(plc.Relay(500));
}

TEST_F(FlagMonitorTest, EnterSendsTheLineWithItsCarriageReturnAndShowsTheReply) {
  // The keys after Enter arrive at once and are thrown away with the sent line.
  keys.Type("ST 1907\rRD 0");
  keys.Pause(3 * kSecond);
  keys.Key(kKeyEsc);

  FlagMonitor();

  Requests sent = SentSinceMark();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "ST 1907\r\r"), 1);
  EXPECT_TRUE(plc.Relay(1907));
  // The block is erased, the reply stands from column 15 with five blanks after it,
  // and the emptied line (the discarded "RD 0" included) is not drawn again.
  EXPECT_EQ(Row(22).substr(9, 21), "ST 1907" + std::string(7, ' ') + "OK     ");
  EXPECT_EQ(WindowRow(22), "ST 1907       OK");
  // The next pass shows the relay that the command set.
  EXPECT_EQ(WindowRow(10), "SW 2E2 0008 0   Shaker        1");
}

TEST_F(FlagMonitorTest, FiveBlanksAfterTheReplyWipeOnlyFiveColumnsOfAnEarlierOne) {
  keys.Type("RD T5\r");
  keys.Pause(3 * kSecond);
  keys.Type("RS 500\r");
  keys.Pause(3 * kSecond);
  keys.Key(kKeyEsc);

  FlagMonitor();

  Requests sent = SentSinceMark();
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "RD T5\r\r"), 1);
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "RS 500\r\r"), 1);
  // The timer's 13-character reply, then "OK" and five blanks over its start.
  EXPECT_EQ(WindowRow(22), "RS 500        OK     ,00000");
}

TEST_F(FlagMonitorTest, OverlongLinesControlCharactersAndExtendedKeysAreHarmless) {
  // 300 letters: the line holds 255, Enter is then dropped, Backspace makes room.
  keys.Type(std::string(300, 'A'));
  keys.Key('\r');
  keys.Key(8);
  keys.Key('\r');
  keys.Pause(3 * kSecond);
  // An extended key (0 and a scan code), a bell and a line feed.
  keys.Key(0);
  keys.Key(0x48);
  keys.Key(7);
  keys.Key(10);
  keys.Key('\r');
  keys.Pause(3 * kSecond);
  keys.Key(kKeyEsc);

  FlagMonitor();

  Requests commands;
  for (const std::string& s : SentSinceMark())
    if (s.rfind("RD ", 0) != 0) commands.push_back(s);
  // Both lines are sent once each; the controller's error answer brings the retries.
  ASSERT_EQ(commands.size(), 8u);
  EXPECT_EQ(commands[0], std::string(254, 'A') + "\r\r");
  EXPECT_EQ(commands[4], std::string("\0H\a\n\r\r", 6));
}

}  // namespace
