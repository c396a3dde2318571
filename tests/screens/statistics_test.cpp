// The operating statistics behind the access code.
#include <string>
#include <vector>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "support/virtual_world.h"

namespace {

const std::string kWindow(9, ' ');  // the banner window starts in screen column 10
const Lines kBar = {"RD DM200\r", "RD 1915\r"};

class StatisticsTest : public VirtualWorld {
 protected:
  void SetUp() override {
    OpenSimPort();
    ShowBanner();  // the screen runs in the window the banner leaves
    line.ClearWire();
    Mark();
  }
};

// Only the code, in any case and nothing more, opens the figures; anything else returns
// at once without a word and without reading a counter.
TEST_F(StatisticsTest, TheAccessCodeAloneOpensTheFigures) {
  const Lines words = {"RD DM110\r", "RD DM111\r", "RD DM112\r", "RD DM117\r",
                       "RD DM118\r", "RD DM119\r", "RD DM120\r"};
  const std::pair<std::string, bool> entries[] = {
      {"KLMB", true},   {"klmb", true}, {"kLmB", true},   {"KLMB ", false},
      {" KLMB", false}, {"KLM", false}, {"KLMBK", false}, {"", false}};
  for (const auto& [entry, opens] : entries) {
    SCOPED_TRACE("'" + entry + "'");
    ResetProgramGlobals(), SetUp();
    keys.Type(entry + "\r");
    if (opens) keys.Type("q");
    StatisticsScreen();
    ExpectSent(opens ? kBar + kBar + words : kBar);
    if (opens) {
      EXPECT_EQ(LastKey, 'q');
    } else {
      std::string shown = kWindow + "Enter Passord " + entry;  // echoed as typed
      ExpectRows(2, {shown.erase(shown.find_last_not_of(' ') + 1), ""});
    }
    EXPECT_EQ(ScratchText, entry);
  }
}

// Two-word figures are high * 65535 + low, in 64 bits; the average and the percentage
// only when their divisors' words are above 0.
TEST_F(StatisticsTest, FiguresAndTheLinesLeftOut) {
  struct Case {
    std::vector<unsigned> words;  // DM110, 111, 112, 117, 118, 119, 120; none: the store's own
    Lines rows;                   // from row 3
  } cases[] = {
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
      {{},  // the simulated store's history
       {"System Hobs [hours]     812", "Total Gate Cycles     23456", "On Time [s]         1082040",
        "Avrg Acs/hour          28.9", "On Percent. [%]        37.0", ""}},
  };
  const int addresses[] = {110, 111, 112, 117, 118, 119, 120};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.rows[1]);
    ResetProgramGlobals(), Configure(), SetUp();
    for (size_t i = 0; i < c.words.size(); ++i)
      plc.SetDm(addresses[i], static_cast<uint16_t>(c.words[i]));
    keys.Type("klmb\rq");
    StatisticsScreen();
    Lines rows;
    for (const auto& row : c.rows) rows.push_back(row.empty() ? row : kWindow + row);
    ExpectRows(3, rows);
  }
}

}  // namespace
