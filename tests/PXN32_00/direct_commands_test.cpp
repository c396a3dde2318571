#include <string>
#include <vector>

#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

using Requests = std::vector<std::string>;

const std::string kEscGlyph(1, static_cast<char>(kKeyEsc));
const Requests kStatus = {"RD DM200\r", "RD 1915\r"};

class DirectCommandsTest : public VirtualWorld {
 protected:
  void SetUp() override {
    OpenSimPort();
    Window(10, 1, 70, 25);  // as the main menu leaves it: the screen widens it again
    Mark();
  }
  // The commands sent, without the status line's reads.
  Requests Commands() {
    Requests commands;
    for (const std::string& s : SentSinceMark())
      if (s != kStatus[0] && s != kStatus[1]) commands.push_back(s);
    return commands;
  }
};

TEST_F(DirectCommandsTest, TypedLinesAreSentAsTypedAndRepliesShownBelow) {
  plc.SetDm(25, 10);
  struct Case {
    std::string typed;
    Requests sent;
    std::string echoRow, replyRow;
  } cases[] = {
      {"ST 1907\r", {"ST 1907\r"}, "ST 1907", "OK"},
      {"RD DM25\r", {"RD DM25\r"}, "RD DM25", "10"},
      {"AB\b\bRD 1907\r", {"RD 1907\r"}, "RD 1907", "1"},  // Backspace erases the echo
      {"\b\bRD 1801\r", {"RD 1801\r"}, "RD 1801", "0"},    // and does nothing when empty
      {"WR DM100 -1\r", {"WR DM100 65535\r"}, "WR DM100 -1", "OK"},
      // An unknown command: the error answer, after the exchange's four attempts.
      {"XY\r", {"XY\r", "XY\r", "XY\r", "XY\r"}, "XY", "E0"},
  };
  for (const Case& c : cases) {
    EscAbort = false;
    keys.Type(c.typed);
    keys.Key(kKeyEsc);
    DirectCommands();
    EXPECT_EQ(Commands(), c.sent) << c.typed;
    EXPECT_EQ(RowTrim(2), "Enter direct commands to KV-PLC, press esc to quit");
    EXPECT_EQ(RowTrim(3), c.echoRow) << c.typed;
    EXPECT_EQ(RowTrim(4), c.replyRow) << c.typed;
    EXPECT_EQ(RowTrim(5), kEscGlyph) << "a new line waits below the reply";
  }
  EXPECT_TRUE(plc.Relay(1907));
  EXPECT_EQ(plc.Dm(100), 65535);
}

TEST_F(DirectCommandsTest, StatusLineSpansTheWholeScreenAndIsRedrawnBeforeEveryLine) {
  keys.Type("\rRD 1810\r");
  keys.Key(kKeyEsc);
  DirectCommands();
  // Entry, then one redraw before each of the three lines.
  EXPECT_EQ(SentSinceMark(),
            (Requests{"RD DM200\r", "RD 1915\r", "RD DM200\r", "RD 1915\r", "RD DM200\r",
                      "RD 1915\r", "RD 1810\r", "RD DM200\r", "RD 1915\r"}));
  EXPECT_EQ(Row(1).substr(0, 6), "Plaxon");
  EXPECT_EQ(Row(1).substr(72, 8), "10:00:00");
  // An empty line sends nothing and starts a new line at once.
  EXPECT_EQ(RowTrim(3), "");
  EXPECT_EQ(RowTrim(4), "RD 1810");
  EXPECT_EQ(RowTrim(5), "0");
}

TEST_F(DirectCommandsTest, EscMidLineLeavesWithoutSending) {
  keys.Type("ST 19");
  keys.Key(kKeyEsc);
  keys.Type("07\r");  // never read by the screen
  DirectCommands();
  EXPECT_EQ(Commands(), Requests{});
  EXPECT_FALSE(plc.Relay(1907));
  EXPECT_EQ(RowTrim(3), "ST 19" + kEscGlyph);
  EXPECT_EQ(keys.Pending(), 3u);
}

TEST_F(DirectCommandsTest, OverlongLinesAndExtendedKeysAreSentAsStored) {
  // 300 characters are echoed; 255 are kept and sent.
  keys.Type(std::string(300, '7') + "\r");
  keys.Key(0);
  keys.Key(0x48);  // Up arrow: 0 and its scan code
  keys.Type("\r");
  keys.Key(kKeyEsc);
  DirectCommands();
  Requests commands = Commands();
  ASSERT_EQ(commands.size(), 8u);  // both lines draw an error answer: four attempts each
  EXPECT_EQ(commands[0], std::string(255, '7') + "\r");
  EXPECT_EQ(commands[4], std::string("\0H\r", 3));
  for (int row = 3; row <= 5; ++row) EXPECT_EQ(Row(row), std::string(80, '7')) << row;
  EXPECT_EQ(RowTrim(6), std::string(60, '7'));
  EXPECT_EQ(RowTrim(7).substr(0, 1), "E") << "the controller's error answer";
}

}  // namespace
