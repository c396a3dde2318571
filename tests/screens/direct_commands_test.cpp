#include "PXN32_00/screens.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

using DirectCommandsTest = VirtualWorld;

// Lines go out as typed, each after the status bar is drawn again; Esc leaves at once.
TEST_F(DirectCommandsTest, LinesGoOutAsTypedWithTheStatusLineRedrawnBeforeEach) {
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
