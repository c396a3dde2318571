// The frame every screen shares (start-up, main menu, status bar, quit prompt), and the
// menu's simple screens: direct commands, flag monitor, macros, statistics.
#include "PXN32_00/main_menu.h"

#include <algorithm>
#include <sstream>

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

using namespace std::string_literals;

using MacroScreenTest = VirtualWorld;

// Row 23: the key's code less 48 (the Esc's -21); row 24: the command. Scan codes are no letters.
TEST_F(MacroScreenTest, CommandKeysSendTheirCommandAndShowItOnRow24) {
  const std::tuple<std::string, Lines, std::string> cases[] = {
      {"a", {"ST 1801\r"}, "A  ST 1801 OK"},
      {"F", {"RS 1907\r"}, "F  RS 1907 OK"},
      {"", {}, ""},
      {"q7", {}, ""},
      {"\0P_\0R"s, {}, ""},  // Down and Ins: no P, no R
      {"I3\r__xc", {"WR DM0 3\r", "ST 1908\r"}, ""}};
  for (const auto& [typed, sent, row24] : cases) {
    SCOPED_TRACE(Escaped(typed));
    RunScreen(MacroScreen, typed + "__~");
    Lines commands = SentSinceMark();
    std::erase_if(commands, [](const std::string& r) { return r.starts_with("RD "); });
    EXPECT_TRUE(SameLines(commands, sent));
    EXPECT_EQ(RowTrim(23) + "|" + RowTrim(24), "-21|" + row24);
  }
  // The cassette I asked for stands in error.
  ExpectRows(2, Rows("Function           Command    Key||Rot. Position      WR DM0 x  1..9|"
                     "Enable Rotation    WR DM0 0     0|Gate Open          ST 1901      O|"
                     "Gate Close         ST 1902      C|End Access         ST 1903      E|"
                     "BCR                RS 1909      B|CarAct ON          ST 1801      A|"
                     "System Reset       ST 1900      R||Quit               --         esc|||||"
                     "ErrorFlag  [1814] 1|PlateReady [1815] 0|Ready      [1915] 0||"
                     "Please Select ->|-21|"));
}

// One key a half-second cycle; a cycle without a key leaves a NUL the next takes (-48).
TEST_F(MacroScreenTest, Row23ShowsTheKeyValueWithAnIdleNulEveryOtherCycle) {
  const std::tuple<std::string, int64_t, std::string> cases[] = {
      {"q", 800, "33"},  {"\xE1", 800, "177"}, {"", 800, ""},
      {"", 1300, "-48"}, {"q", 1800, "-48"},   {"__7", 2600, "748"}};
  for (const auto& [typed, runMs, row23] : cases) {
    clock.SetLimit(clock.NowMicros() + runMs * 1000);
    EXPECT_THROW(RunScreen(MacroScreen, typed), base::VirtualTimeExceeded);
    EXPECT_EQ(RowTrim(23), row23) << Escaped(typed) << " for " << runMs << " ms";
  }
}

// I asks in its sub-window, in the new colours when the version's low byte is above 6; the
// entry goes out as a 16-bit word, and only c ends the wait: not F9 (0 and C), x, Esc or n.
TEST_F(MacroScreenTest, MacroIAsksInItsSubWindowAndWaitsForC) {
  const struct {
    uint16_t dosVersion;
    uint8_t iWindow;  // the colours of a blank cell
    std::string typed, word;
  } cases[] = {{0x0A06, 0xF1, "70000", "4464"}, {0x0607, 0x11, "-1", "65535"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.dosVersion);
    keys.onPresent = [&](const console::Screen&) {  // on the fresh store, once the screen runs
      DosVersionWord = c.dosVersion;
      plc.SetDm(120, 11), plc.SetDm(121, 22);
    };
    EXPECT_THROW(RunScreen(MacroScreen, "i" + c.typed + "\r__x~n\0C"s), console::OutOfKeys);
    ExpectRows(20, {"Ready    Cassette Number : " + c.typed, "       OK", "Please 11 22",
                    "25     Press c to continue"});
    EXPECT_EQ(AttrAt(60, 24), c.iWindow) << "I's window";
    ExpectSent(Requests("RD DM200,RD 1915,RD 1814,RD 1815,RD 1915,RD DM200,RD 1915,WR DM0 " +
                        c.word + ",RD 1915,ST 1908,RD DM121,RD DM120"));
  }
}

using StatisticsTest = VirtualWorld;

// Only the code, in any case, opens the figures; two-word figures are high * 65535 + low.
TEST_F(StatisticsTest, TheAccessCodeAloneOpensTheFigures) {
  const char* entries[] = {"KLMB", "klmb", "kLmB", "KLMB ", " KLMB", "KLM", "KLMBK", ""};
  for (int i = 0; i < 8; ++i) {
    const std::string entry = entries[i];
    const bool opens = i < 3;
    SCOPED_TRACE("'" + entry + "'");
    RunScreen(StatisticsScreen, entry + (opens ? "\rq" : "\r"));
    ExpectSent(Requests(std::string("RD DM200,RD 1915") +
                        (opens ? ",RD DM200,RD 1915,RD DM110,RD DM111,RD DM112,RD DM117,"
                                 "RD DM118,RD DM119,RD DM120"
                               : "")));
  }
  for (int address : {110, 111, 112, 117, 118, 119, 120}) plc.SetDm(address, 65535);
  Script("klmb\rq");
  StatisticsScreen();
  ExpectRows(3, Rows("System Hobs [hours]   65535|Total Gate Cycles     4294901760|"
                     "On Time [s]        4294901760|Avrg Acs/hour         65536.0|"
                     "On Percent. [%]       100.0|"));
}

// A pass up to the first position reading: on each row the right-hand relay first.
const std::string kUpToPosition =
    "500 0 501 1 502 2 503 3 504 4 505 5 6 1100 7 1907 8 1801 9 1104 10 11 1815 12 1915 13 14 15 "
    "DM91 DM92 DM93 DM1 ";

class FlagMonitorTest : public VirtualWorld {
 protected:
  // In the window the banner leaves, as from the main menu.
  void Run(std::string_view script) {
    ResetProgramGlobals();
    OpenSimPort();
    ShowBanner();
    Mark();
    Script(script);
    FlagMonitor();
  }
};

// The Esc, due in the second pass, is seen at the position's first reading.
TEST_F(FlagMonitorTest, EachPassReadsFortyOneValuesInOrderAndDrawsThemInPlace) {
  for (int relay : {2, 4, 13, 15, 500, 505, 1104, 1801}) plc.SetRelay(relay, true);
  for (int relay : {0, 1, 5, 11, 1915}) plc.SetRelay(relay, false);
  for (auto [dm, value] : {std::pair{91, 1500}, {92, 20}, {93, 30}, {1, 3}, {0, 7}, {2, 65535}})
    plc.SetDm(dm, value);
  Run("___~");
  std::istringstream in("DM200 1915 " + kUpToPosition + "DM1 DM1 DM1 DM1 DM1 DM1 DM1 DM0 DM2 " +
                        kUpToPosition);
  Lines reads;
  for (std::string x; in >> x;) reads.push_back("RD " + x + "\r");
  ExpectSent(reads);
  ExpectWindowRows(2, Rows("P0     0000 0   Rot.EN   0500 1|Pn     0001 0   GateEN   0501 0|"
                           "GtClse 0002 1   Rot.Dir  0502 0|GtOpen 0003 0   GateDir  0503 0|"
                           "       0004 1   CarDrive 0504 0|F.Door 0005 0   LED      0505 1|"
                           "SW 2E0 0006 0|SW 2E1 0007 0   Acs.     1100 0|"
                           "SW 2E2 0008 0   Shaker        0|SW 2E3 0009 0   SysAct   1801 1|"
                           "PltShv 0010 0   KeyVld        1|TrnIn  0011 0|"
                           "ShFrnt 0012 0   PlateReady    0|ShBk   0013 1   Ready    1915 0|"
                           "TrnOut 0014 0|z-Init 0015 1||Set.Spd. DM91 1500  aSlpe.DM92 20  "
                           "bSlpe.DM93 30|Rot.Pos. DM01 3  Accs. DM00   AccV. DM02  65535||"));
}

// Typed blind: the text and a block; Enter sends the line and shows the reply from column
// 15. A full line drops its Enter. No line scrolls the status row away.
TEST_F(FlagMonitorTest, TheCommandLineIsSentWithItsEnter) {
  const std::tuple<std::string, std::string, Lines> cases[] = {
      {"RD DM12345 XY\b\b___~", "RD DM12345 \xDB \xDB", {}},
      {"RD T5\r___ST 1907\rRD 0___~", "ST 1907       OK     ,00000", {"RD T5\r\r", "ST 1907\r\r"}},
      {std::string(300, 'A') + "\r\b\r___~", std::string(30, 'A'),
       Lines(4, std::string(254, 'A') + "\r\r")}};
  for (const auto& [typed, shown, sent] : cases) {
    SCOPED_TRACE(Escaped(typed.substr(0, 20)));
    Run(typed);
    Lines commands = SentSinceMark();  // each ends in its own CR and the exchange's
    std::erase_if(commands, [](const std::string& r) { return !r.ends_with("\r\r"); });
    EXPECT_TRUE(SameLines(commands, sent));
    EXPECT_EQ(Row(22).substr(9, 30), shown + std::string(30 - shown.size(), ' ')) << "row 22";
    EXPECT_EQ(Row(1).substr(9, 10) + RowTrim(25), "Plaxon    ") << "nothing on the last row";
  }
}

// Lines go out as typed, each after the status bar is drawn again; Esc leaves at once.
TEST_F(FlagMonitorTest, DirectCommandsGoOutAsTypedWithTheStatusLineRedrawnBeforeEach) {
  const Lines bar = Requests("RD DM200,RD 1915");
  // Typed, sent after the two status bars of the screen's start, rows from 3.
  const std::tuple<std::string, Lines, Lines> cases[] = {
      {"AB\b\bRD 1907\r~", Requests("RD 1907") + bar, {"RD 1907", "0", "\x1b"}},
      {"\b\b\rST 1907\r~", bar + Requests("ST 1907") + bar, {"", "ST 1907", "OK", "\x1b"}},
      {"ST 19~07\r", {}, {"ST 19\x1b"}},  // Esc mid-line: nothing sent
  };
  for (const auto& [typed, sent, rows] : cases) {
    SCOPED_TRACE(Escaped(typed));
    Window(10, 1, 70, 25);  // as the main menu leaves it: the screen widens it again
    RunScreen(DirectCommands, typed);
    ExpectSent(bar + bar + sent);
    ExpectRows(2, Lines{"Enter direct commands to KV-PLC, press esc to quit"} + rows);
  }
}

}  // namespace
