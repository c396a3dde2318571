// The two screens that send what is typed: direct commands (menu 1) and the flag
// monitor's command line (menu 2).
#include <sstream>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

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
