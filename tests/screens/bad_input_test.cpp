// Bad entries at the prompts: number lines at the prompt kinds not met elsewhere, and
// every class of key at the one-key questions.
#include <algorithm>

#include "PXN32_00/screens.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

class BadInput : public VirtualWorld {
 protected:
  void DropKeysLeft() {
    keys.onPresent = nullptr;
    while (keys.Pending()) keys.WaitKey(-1), keys.TakeKey();
  }
};

// One whole number a line: blanks before it and anything after a blank dropped; "$" is
// hexadecimal with the top bit as the sign; an empty line waits for the next; other text,
// or beyond 32 bits, shows "Invalid numeric input" and asks again. The random-access
// test's seconds show whole in its wait column; its minutes become seconds, at most the
// longest wait there is.
TEST_F(BadInput, NumberPromptsTakeOneWholeNumberALine) {
  const std::tuple<const char*, std::string, const char*> cases[] = {
      {"c", "5", "300"},  // minutes
      {"c", "2147483647", "2147483647"},
      {"c", "$FFFFFFFF\r7", "7"},  // -1: seconds are asked for
      {"c-1\r", "  12 abc", "12"},
      {"c-1\r", "\r\r7", "7"},
      {"c-1\r", "2147483647", "2147483647"},
      {"c-1\r", "-2147483648", "-2147483648"},
      {"c-1\r", "12abc\r7", "7 asked again"},
      {"c-1\r", "2147483648\r7", "7 asked again"},
      {"c-1\r", "-2147483649\r7", "7 asked again"},
  };
  for (const auto& [before, typed, shown] : cases) {
    SCOPED_TRACE(Escaped(typed));
    std::string wait;
    bool asked = false;
    keys.onPresent = [&](const console::Screen&) {  // the rows as one text: a long one wraps
      std::string text;
      for (int row = 2; row <= 25; ++row) text += Row(row);
      asked |= text.find("Invalid numeric input") != std::string::npos;
      if (size_t at = text.find("Wt"), end = text.find('/', at);
          wait.empty() && end != std::string::npos)
        wait = text.substr(at + 2, end - at - 2), wait.erase(0, wait.find_first_not_of(' '));
    };
    clock.SetLimit(clock.NowMicros() + 3600 * kSecond);
    RunScreen(RandomAccessTest, before + typed + "\r____________~_Y_x_x");
    EXPECT_EQ(wait + (asked ? " asked again" : ""), shown);
    DropKeysLeft();
  }
}

// y, n, another key, Esc and an arrow key (0 and its scan code, one key all the same) at
// the component menu's questions: only Esc at the menu or after a result leaves it, only
// Y resets the counters, and no key answers two questions.
TEST_F(BadInput, OneKeyQuestionsTakeEveryKeyAsOne) {
  const struct {
    const char *question, *before;
    const char* passes;  // menu passes (end steps) for y, n, a, Esc, Up
    const char* resets = "00000";
  } cases[] = {
      {"Select now", "", "22212"},
      {"Reset Counter [Y/N]", "8_", "22222", "10000"},
      {"Total Time (plate test)", "2_", "22212"},
      {"Lift hit z-Init Switch !!!", "4300\r_", "22222"},
      {"Rotation Access Time Summary", "10\r_~_Y_", "22212"},
  };
  for (const auto& c : cases) {
    for (int k = 0; k < 5; ++k) {
      SCOPED_TRACE(std::string(c.question) + " <- " + "yna~U"[k]);
      const std::string key[] = {"y", "n", "a", "~", std::string("\0H", 2)};
      clock.SetLimit(clock.NowMicros() + 3600 * kSecond);
      Script(c.before + key[k] + "_~", 20 * kSecond);
      RunScreen(ComponentTestMenu, "", {}, {.liftHit = c.before[0] == '4'});
      const Lines sent = SentSinceMark();
      EXPECT_EQ(std::ranges::count(sent, "WR DM123 0\r"), c.passes[k] - '0');
      EXPECT_EQ(std::ranges::count(sent, "WR DM211 0\r"), c.resets[k] - '0');
      EXPECT_EQ(plc.MovesWhileNotReady(), 0);
      DropKeysLeft();
    }
  }
}

}  // namespace
