// Screens that send what is typed or keyed (direct commands, flags, macros); statistics.
#include <sstream>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

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
    Lines commands;
    for (const std::string& request : SentSinceMark())
      if (!request.starts_with("RD ")) commands.push_back(request);
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
    Lines commands;  // each ends in its own CR and the exchange's
    for (const std::string& s : SentSinceMark())
      if (s.ends_with("\r\r")) commands.push_back(s);
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
