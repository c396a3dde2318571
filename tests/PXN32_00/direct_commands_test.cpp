#include <algorithm>
#include <string>
#include <tuple>

#include "PXN32_00/screens.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

using DirectCommandsTest = VirtualWorld;

TEST_F(DirectCommandsTest, LinesGoOutAsTypedWithTheStatusLineRedrawnBeforeEach) {
  // Each line of 7s draws the controller's error answer: four attempts.
  const std::string kStatus = "RD DM200\rRD 1915\r", sevens = std::string(255, '7') + "\r",
                    full = std::string(80, '7') + "|\n";
  using Case = std::tuple<std::string, std::string, std::string>;  // typed, sent, rows from 3
  OpenSimPort();
  Window(10, 1, 70, 25);  // as the main menu leaves it: the screen widens it again
  for (auto [typed, sent, rows] :
       {Case{"ST 1907\r\x1b", "ST 1907\r" + kStatus, "ST 1907|\nOK|\n\x1b|\n"},
        {"AB\b\bRD 1907\r\x1b", "RD 1907\r" + kStatus, "RD 1907|\n1|\n\x1b|\n"},
        {"\b\b\rRD 1810\r\x1b", kStatus + "RD 1810\r" + kStatus, "|\nRD 1810|\n0|\n\x1b|\n"},
        {std::string(300, '7') + "\r\x1b", sevens + sevens + sevens + sevens + kStatus,
         full + full + full + std::string(60, '7') + "|\nE2|\n\x1b|\n"},
        {"ST 19\03307\r", "", "ST 19\x1b|\n"}}) {  // Esc mid-line: nothing sent
    Mark();
    EscAbort = false;
    for (char k : typed) keys.Key(static_cast<unsigned char>(k));
    DirectCommands();
    std::string wire, shown;
    for (const std::string& s : SentSinceMark()) wire += s;
    EXPECT_EQ(wire, kStatus + kStatus + sent) << typed;
    for (int r = 2; r <= 2 + std::count(rows.begin(), rows.end(), '\n'); ++r)
      shown += RowTrim(r) + "|\n";
    EXPECT_EQ(shown, "Enter direct commands to KV-PLC, press esc to quit|\n" + rows) << typed;
    EXPECT_EQ(keys.Pending(), typed.size() - typed.find('\x1b') - 1) << "keys after Esc stay";
  }
}

}  // namespace
