#include <algorithm>
#include <sstream>
#include <string>
#include <tuple>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "support/virtual_world.h"

namespace {

using Requests = std::vector<std::string>;
const std::string kBlock(1, static_cast<char>(219));

// Rows as they show in the banner's window, from screen column 10.
Lines InWindow(const Lines& rows) {
  Lines shown;
  for (const std::string& row : rows) shown.push_back(row.empty() ? "" : std::string(9, ' ') + row);
  return shown;
}

// A pass up to the first position reading: on each row the right-hand relay first.
const std::string kUpToPosition =
    "500 0 501 1 502 2 503 3 504 4 505 5 6 1100 7 1907 8 1801 9 1104 10 11 1815 12 1915 13 14 15 "
    "DM91 DM92 DM93 DM1 ";

class FlagMonitorTest : public VirtualWorld {
 protected:
  // Runs the monitor in the window the banner leaves; in `script` '~' is Esc, '_' a second.
  void Run(std::string_view script) {
    ResetProgramGlobals();
    OpenSimPort();
    ShowBanner();
    Mark();
    Script(script);
    FlagMonitor();
  }
};

TEST_F(FlagMonitorTest, PassReadsFortyOneValuesInOrderAKeyCutsThePositionShortEscEndsWithThePass) {
  for (int relay : {2, 4, 13, 15, 500, 505, 1104, 1801}) plc.SetRelay(relay, true);
  for (int relay : {0, 1, 5, 11, 1915}) plc.SetRelay(relay, false);
  for (auto [dm, value] : {std::pair{91, 1500}, {92, 20}, {93, 30}, {1, 3}, {0, 7}, {2, 65535}})
    plc.SetDm(dm, value);
  Run("___~");  // Esc inside the second pass's relay reads: its first key poll ends the sending
  std::istringstream in("DM200 1915 " + kUpToPosition + "DM1 DM1 DM1 DM1 DM1 DM1 DM1 DM0 DM2 " +
                        kUpToPosition);
  Requests reads;
  for (std::string x; in >> x;) reads.push_back("RD " + x + "\r");
  ExpectSent(reads);
  ExpectRows(2, InWindow({"P0     0000 0   Rot.EN   0500 1",
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
                          "Rot.Pos. DM01 3  Accs. DM00   AccV. DM02  65535",
                          "",
                          ""}));
  keys.Pause(1900 * 1000);  // a key while the first pass reads the position cuts it short
  Run("X_____~");
  Requests sent = SentSinceMark();
  auto from = std::find(sent.begin(), sent.end(), "RD DM93\r");
  long readings = std::count(from, std::find(from, sent.end(), "RD DM0\r"), "RD DM1\r");
  EXPECT_TRUE(readings >= 2 && readings <= 7) << readings;
}

TEST_F(FlagMonitorTest, CommandLineShowsABlockPaddedTo13AndEnterSendsTheLineWithItsCr) {
  // One key a pass; keys after Enter go with the line. 5 blanks after "OK"; full line: no Enter.
  using Case = std::tuple<std::string, std::string, Requests>;  // keys, row 22 from col 10, sent
  const Case cases[] = {
      {"ST 500___~", "ST 500" + kBlock, {}},
      {"RD DM12345 XY\b\b___~", "RD DM12345 " + kBlock + " " + kBlock, {}},
      {"RD T5\r___ST 1907\rRD 0___~", "ST 1907       OK     ,00000", {"RD T5\r\r", "ST 1907\r\r"}},
      {std::string(300, 'A') + "\r\b\r___~", std::string(30, 'A'),
       Requests(4, std::string(254, 'A') + "\r\r")}};
  for (const auto& [typed, shown, sent] : cases) {
    SCOPED_TRACE("keys " + Escaped(typed.substr(0, 40)));
    Run(typed);
    Requests commands;  // each ends in its own CR and the exchange's
    for (const std::string& s : SentSinceMark())
      if (s.size() > 1 && s[s.size() - 2] == '\r') commands.push_back(s);
    EXPECT_TRUE(SameLines(commands, sent));
    EXPECT_EQ(Row(22).substr(9, 30), shown + std::string(30 - shown.size(), ' ')) << "row 22";
  }
}

}  // namespace
