// The operating statistics behind the access code, in the window the banner leaves.
#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "support/virtual_world.h"

namespace {

class StatisticsTest : public VirtualWorld {
 protected:
  void Run(const std::string& typed) {
    ResetProgramGlobals(), OpenSimPort(), ShowBanner(), line.ClearWire(), Mark();
    keys.Type(typed);
    StatisticsScreen();
  }
};

// Only the code, in any case and nothing more, opens the figures; anything else returns
// at once without a word and without reading a counter.
TEST_F(StatisticsTest, TheAccessCodeAloneOpensTheFigures) {
  const Lines bar = {"RD DM200\r", "RD 1915\r"};
  for (std::string entry : {"KLMB", "klmb", "kLmB", "KLMB ", " KLMB", "KLM", "KLMBK", ""}) {
    SCOPED_TRACE("'" + entry + "'");
    const bool opens = entry.size() == 4 && entry[0] != ' ';
    Run(entry + (opens ? "\rq" : "\r"));
    ExpectSent(opens ? bar + bar +
                           Lines{"RD DM110\r", "RD DM111\r", "RD DM112\r", "RD DM117\r",
                                 "RD DM118\r", "RD DM119\r", "RD DM120\r"}
                     : bar);
    if (!opens) ExpectWindowRows(2, {Trim("Enter Passord " + entry), ""});
    EXPECT_EQ(keys.Pending(), 0u);
  }
}

// Two-word figures are high * 65535 + low, without overflow; the average and the
// percentage only when their divisor's words are above 0.
TEST_F(StatisticsTest, FiguresAndTheLinesLeftOut) {
  const std::pair<std::vector<uint16_t>, Lines> cases[] = {
      // DM110-112, DM117-120; rows from 3
      {{10, 1234, 0, 50, 0, 200, 0},
       {"System Hobs [hours]      10", "Total Gate Cycles      1234", "On Time [s]              50",
        "Avrg Acs/hour         123.4", "On Percent. [%]        25.0", ""}},
      {{0, 5, 1, 50, 0, 200, 0},  // no hours: no average
       {"System Hobs [hours]       0", "Total Gate Cycles     65540", "On Time [s]              50",
        "On Percent. [%]        25.0", ""}},
      {{7, 0, 0, 0, 0, 0, 1},  // the reference's low word at 0: no percentage
       {"System Hobs [hours]       7", "Total Gate Cycles         0", "On Time [s]               0",
        "Avrg Acs/hour           0.0", ""}},
      {{65535, 65535, 65535, 65535, 65535, 65535, 65535},
       {"System Hobs [hours]   65535", "Total Gate Cycles     4294901760",
        "On Time [s]        4294901760", "Avrg Acs/hour         65536.0",
        "On Percent. [%]       100.0", ""}},
  };
  for (const auto& [words, rows] : cases) {
    SCOPED_TRACE(rows[0]);
    const int addresses[] = {110, 111, 112, 117, 118, 119, 120};
    for (size_t i = 0; i < 7; ++i) plc.SetDm(addresses[i], words[i]);
    Run("klmb\rq");
    ExpectWindowRows(3, rows);
  }
}

}  // namespace
