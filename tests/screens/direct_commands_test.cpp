#include "PXN32_00/screens.h"
#include "comLib3/keyboard.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

using DirectCommandsTest = VirtualWorld;

// Lines go out as typed, each after the status bar is drawn again; Esc leaves at once.
TEST_F(DirectCommandsTest, LinesGoOutAsTypedWithTheStatusLineRedrawnBeforeEach) {
  const Lines bar = {"RD DM200\r", "RD 1915\r"};
  const std::string sevens = std::string(255, '7') + "\r", full = std::string(80, '7');
  struct Case {
    std::string typed;
    Lines sent;  // after the two status bars of the screen's start
    Lines rows;  // from row 3
  } cases[] = {
      {"AB\b\bRD 1907\r~", Lines{"RD 1907\r"} + bar, {"RD 1907", "0", "\x1b"}},
      {"\b\b\rST 1907\r~", bar + Lines{"ST 1907\r"} + bar, {"", "ST 1907", "OK", "\x1b"}},
      // 300 sevens echoed, 255 kept; the controller's error answer after four attempts.
      {std::string(300, '7') + "\r~",
       Lines(4, sevens) + bar,
       {full, full, full, std::string(60, '7'), "E2", "\x1b"}},
      {"ST 19~07\r", {}, {"ST 19\x1b"}},  // Esc mid-line: nothing sent, the keys after it stay
  };
  OpenSimPort();
  for (const auto& c : cases) {
    SCOPED_TRACE(Escaped(c.typed.substr(0, 20)));
    Window(10, 1, 70, 25);  // as the main menu leaves it: the screen widens it again
    Mark(), EscAbort = false, Script(c.typed);
    DirectCommands();
    ExpectSent(bar + bar + c.sent);
    ExpectRows(2, Lines{"Enter direct commands to KV-PLC, press esc to quit"} + c.rows);
    EXPECT_EQ(keys.Pending(), c.typed.size() - c.typed.find('~') - 1);
  }
}

}  // namespace
