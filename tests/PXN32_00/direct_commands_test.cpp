#include <algorithm>
#include <string>
#include <tuple>

#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

const std::string kEsc(1, static_cast<char>(kKeyEsc)), kStatus = "RD DM200\rRD 1915\r";

class DirectCommandsTest : public VirtualWorld {
 protected:
  void SetUp() override {
    OpenSimPort();
    Window(10, 1, 70, 25);  // as the main menu leaves it: the screen widens it again
  }
  // Runs the screen on `script` ('~' is Esc) and returns all it sent.
  std::string Run(const std::string& script) {
    Mark();
    EscAbort = false;
    for (char k : script) keys.Key(k == '~' ? kKeyEsc : static_cast<unsigned char>(k));
    DirectCommands();
    std::string wire;
    for (const std::string& s : SentSinceMark()) wire += s;
    return wire;
  }
  std::string Rows(int from, int to) const {
    std::string text;
    for (int r = from; r <= to; ++r) text += RowTrim(r) + "|\n";
    return text;
  }
};

TEST_F(DirectCommandsTest, LinesGoOutAsTypedWithTheStatusLineRedrawnBeforeEach) {
  using Case = std::tuple<std::string, std::string, std::string>;  // typed, sent, rows from 3
  for (auto [typed, sent, rows] :
       {Case{"ST 1907\r", "ST 1907\r", "ST 1907|\nOK|\n"},
        {"AB\b\bRD 1907\r", "RD 1907\r", "RD 1907|\n1|\n"},  // Backspace erases the echo
        {"\b\bRD 1801\r", "RD 1801\r", "RD 1801|\n0|\n"},    // and does nothing on an empty line
        {"\rRD 1810\r", kStatus + "RD 1810\r", "|\nRD 1810|\n0|\n"}}) {  // empty: nothing sent
    EXPECT_EQ(Run(typed + "~"), kStatus + kStatus + sent + kStatus) << typed;
    int escRow = 3 + static_cast<int>(std::count(rows.begin(), rows.end(), '\n'));
    EXPECT_EQ(Rows(2, escRow),
              "Enter direct commands to KV-PLC, press esc to quit|\n" + rows + kEsc + "|\n");
  }
  EXPECT_EQ(Row(1).substr(72, 6), "10:00:") << "the status line spans the whole screen";
}

TEST_F(DirectCommandsTest, EscMidLineLeavesWithoutSending) {
  EXPECT_EQ(Run("ST 19~07\r"), kStatus + kStatus);
  EXPECT_EQ(RowTrim(3), "ST 19" + kEsc);
  EXPECT_EQ(keys.Pending(), 3u) << "the keys after Esc stay unread";
}

TEST_F(DirectCommandsTest, LinesKeep255CharactersAndExtendedKeysAsTyped) {
  // Each line draws the controller's error answer: four attempts. Up: 0 and its scan code.
  auto fourTimes = [](const std::string& s) { return s + s + s + s; };
  const std::string up("\0H\r", 3), full = std::string(80, '7') + "|\n";
  EXPECT_EQ(Run(std::string(300, '7') + "\r" + up + "~"),
            kStatus + kStatus + fourTimes(std::string(255, '7') + "\r") + kStatus + fourTimes(up) +
                kStatus);
  EXPECT_EQ(Rows(3, 6), full + full + full + std::string(60, '7') + "|\n") << "all 300 echoed";
}

}  // namespace
