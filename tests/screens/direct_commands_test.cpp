#include <string>

#include "PXN32_00/screens.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

using DirectCommandsTest = VirtualWorld;

TEST_F(DirectCommandsTest, LinesGoOutAsTypedWithTheStatusLineRedrawnBeforeEach) {
  const Lines status = {"RD DM200\r", "RD 1915\r"};
  const std::string sevens = std::string(255, '7') + "\r", full = std::string(80, '7');
  struct Case {
    std::string typed;
    Lines sent;  // after the two status bars of the screen's start
    Lines rows;  // from row 3
  } cases[] = {
      {"ST 1907\r\x1b", Lines{"ST 1907\r"} + status, {"ST 1907", "OK", "\x1b"}},
      {"AB\b\bRD 1907\r\x1b", Lines{"RD 1907\r"} + status, {"RD 1907", "1", "\x1b"}},
      {"\b\b\rRD 1810\r\x1b", status + Lines{"RD 1810\r"} + status, {"", "RD 1810", "0", "\x1b"}},
      // A line of 255 sevens draws the controller's error answer: four attempts.
      {std::string(300, '7') + "\r\x1b",
       Lines(4, sevens) + status,
       {full, full, full, std::string(60, '7'), "E2", "\x1b"}},
      {"ST 19\03307\r", {}, {"ST 19\x1b"}},  // Esc mid-line: nothing sent
  };
  OpenSimPort();
  Window(10, 1, 70, 25);  // as the main menu leaves it: the screen widens it again
  for (const auto& c : cases) {
    SCOPED_TRACE("keys " + Escaped(c.typed.substr(0, 40)));
    Mark();
    EscAbort = false;
    for (char k : c.typed) keys.Key(static_cast<unsigned char>(k));
    DirectCommands();
    ExpectSent(status + status + c.sent);
    ExpectRows(2, Lines{"Enter direct commands to KV-PLC, press esc to quit"} + c.rows);
    EXPECT_EQ(keys.Pending(), c.typed.size() - c.typed.find('\x1b') - 1) << "keys after Esc stay";
  }
}

}  // namespace
