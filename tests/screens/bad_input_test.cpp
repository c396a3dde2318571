#include "PXN32_00/screens.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

using BadInput = VirtualWorld;

// The wait column shows the minutes as seconds, the largest entry as the longest wait
// there is rather than wrapped round.
TEST_F(BadInput, MinutesBecomeSecondsWithoutWrapping) {
  const std::pair<std::string, const char*> cases[] = {{"5", "300"}, {"2147483647", "2147483647"}};
  for (const auto& [minutes, seconds] : cases) {
    std::string wait;
    keys.onPresent = [&](const console::Screen&) {  // the rows as one text: a long one wraps
      std::string text;
      for (int row = 2; row <= 25; ++row) text += Row(row);
      if (size_t at = text.find("Wt"), end = text.find('/', at);
          wait.empty() && end != std::string::npos)
        wait = text.substr(at + 2, end - at - 2);
    };
    clock.SetLimit(clock.NowMicros() + 3600 * kSecond);
    RunScreen(RandomAccessTest, "c" + minutes + "\r____________~_Y_x");
    EXPECT_EQ(wait, seconds);
  }
}

}  // namespace
