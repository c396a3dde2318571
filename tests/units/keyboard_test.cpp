#include "comLib3/keyboard.h"

#include "comLib3/screen_tools.h"
#include "console/console.h"
#include "support/virtual_world.h"

using KeyboardTest = VirtualWorld;

TEST_F(KeyboardTest, PollKeyEditsTheTypeAheadBufferUpTo255) {
  EXPECT_EQ(PollKey(), 0);
  keys.Type("\bab\bc\r");
  for (int i = 0; i < 6; ++i) PollKey();
  keys.Key(0);  // an extended key: its first half is stored and returned as 0
  keys.Key(0x48);
  EXPECT_EQ(PollKey(), 0);
  EXPECT_EQ(PollKey(), 0x48);
  EXPECT_EQ(KeyBuffer, std::string("ac\r\0\x48", 5));
  // A full buffer drops letters; Backspace still makes room.
  KeyBuffer = std::string(254, 'a') + "z";
  keys.Type("b\bcd");
  for (int i = 0; i < 4; ++i) PollKey();
  EXPECT_EQ(KeyBuffer, std::string(254, 'a') + "c");
}

TEST_F(KeyboardTest, EscRaisesTheFlagAndLeavesLaterKeysButFlushWaitKeyDoesNot) {
  KeyBuffer = std::string(255, 'a');  // Esc acts on a full buffer too
  keys.Key(kEsc);
  keys.Type("x");
  EXPECT_EQ(PollKey(), kEsc);
  EXPECT_TRUE(EscAbort);
  EXPECT_EQ(PollKey(), 0);  // the flag is up: nothing is read
  EXPECT_EQ(ReadKeyAbort(), 0);
  EXPECT_EQ(keys.Pending(), 1u);
  ClearKeys();
  EXPECT_EQ(keys.Pending(), 0u);
  EXPECT_EQ(KeyBuffer, "");
  keys.Type("xy");
  keys.Pause(500000);
  keys.Key(kEsc);
  EXPECT_EQ(FlushWaitKey(), kEsc);  // drops the waiting keys; this Esc raises no flag
  EXPECT_FALSE(EscAbort);
  keys.Key(kEsc);
  EXPECT_EQ(ReadKeyAbort(), kEsc);
  EXPECT_TRUE(EscAbort);
}

TEST_F(KeyboardTest, WaitTenthsTakesAtLeastOneStepAndStopsOnTheFlag) {
  for (auto [n, abort, ms] :
       {std::tuple{0, false, 100}, {-3, false, 100}, {20, false, 2000}, {20, true, 100}}) {
    EscAbort = abort;
    int64_t start = NowMs();
    WaitTenths(n);
    EXPECT_EQ(NowMs() - start, ms) << "n=" << n;
  }
}

TEST_F(KeyboardTest, ScreenColsFollowsTheWindow) {
  Window(10, 1, 70, 25);
  EXPECT_EQ(ScreenCols(), 70);
  FullWindow();
  EXPECT_EQ(ScreenCols(), 80);
}
