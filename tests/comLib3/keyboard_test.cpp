#include "comLib3/keyboard.h"

#include "comLib3/screen_tools.h"
#include "console/console.h"
#include "support/virtual_world.h"

using KeyboardTest = VirtualWorld;

TEST_F(KeyboardTest, PollKeyFillsAndEditsTheTypeAheadBuffer) {
  EXPECT_EQ(PollKey(), 0);  // nothing waiting
  EXPECT_EQ(KeyBuffer, "");
  keys.Type("ab\bc\r");
  for (int i = 0; i < 5; ++i) PollKey();
  EXPECT_EQ(KeyBuffer, "ac\r");
  KeyBuffer.clear();
  keys.Type("\b");
  EXPECT_EQ(PollKey(), 8);
  EXPECT_EQ(KeyBuffer, "");
  // The first half of an extended key is stored and returned as 0.
  keys.Key(0);
  keys.Key(0x48);
  EXPECT_EQ(PollKey(), 0);
  EXPECT_EQ(PollKey(), 0x48);
  EXPECT_EQ(KeyBuffer, std::string("\0\x48", 2));
}

TEST_F(KeyboardTest, EscRaisesTheFlagAndLeavesLaterKeysWaiting) {
  keys.Key(kEsc);
  keys.Type("x");
  EXPECT_EQ(PollKey(), kEsc);
  EXPECT_TRUE(EscAbort);
  EXPECT_EQ(KeyBuffer, "");
  EXPECT_EQ(PollKey(), 0);  // the flag is up: nothing is read
  EXPECT_EQ(keys.Pending(), 1u);
  ClearKeys();
  EXPECT_FALSE(EscAbort);
  EXPECT_EQ(keys.Pending(), 0u);
  EXPECT_EQ(KeyBuffer, "");
}

TEST_F(KeyboardTest, FullBufferDropsLettersButBackspaceAndEscStillAct) {
  KeyBuffer = std::string(255, 'a');
  keys.Type("b");
  PollKey();
  EXPECT_EQ(KeyBuffer.size(), 255u);
  keys.Type("\b");
  PollKey();
  EXPECT_EQ(KeyBuffer.size(), 254u);
  keys.Type("cd");
  PollKey();
  PollKey();
  EXPECT_EQ(KeyBuffer.size(), 255u);
  EXPECT_EQ(KeyBuffer.back(), 'c');
  keys.Key(kEsc);
  PollKey();
  EXPECT_TRUE(EscAbort);
}

TEST_F(KeyboardTest, ReadKeyAbortAndFlushWaitKey) {
  keys.Key(kEsc);
  EXPECT_EQ(ReadKeyAbort(), kEsc);
  EXPECT_TRUE(EscAbort);
  keys.Type("q");
  ReadKeyAbort();  // flag up: returns at once and reads nothing
  EXPECT_EQ(keys.Pending(), 1u);
  ClearKeys();
  keys.Type("xy");
  keys.Pause(500000);
  keys.Key(kEsc);
  EXPECT_EQ(FlushWaitKey(), kEsc);  // waiting keys discarded; this Esc raises no flag
  EXPECT_FALSE(EscAbort);
  EXPECT_EQ(KeyBuffer, "");
}

TEST_F(KeyboardTest, WaitTenthsTakesAtLeastOneStepAndStopsOnTheFlag) {
  struct Case {
    int n;
    bool abort;
    int64_t ms;
  } cases[] = {{0, false, 100}, {-3, false, 100}, {20, false, 2000}, {20, true, 100}};
  for (const auto& c : cases) {
    EscAbort = c.abort;
    int64_t start = NowMs();
    WaitTenths(c.n);
    EXPECT_EQ(NowMs() - start, c.ms) << "n=" << c.n;
  }
}

TEST_F(KeyboardTest, ScreenSizeFollowsTheWindow) {
  EXPECT_EQ(ScreenCols(), 80);
  EXPECT_EQ(ScreenRows(), 25);
  Window(10, 1, 70, 25);
  EXPECT_EQ(ScreenCols(), 70);
  EXPECT_EQ(ScreenWidth, 80);
  FullWindow();
  EXPECT_EQ(ScreenCols(), 80);
  GotoXY(5, 7);
  SaveCursor();
  GotoXY(1, 1);
  RestoreCursor();
  EXPECT_EQ(WhereX(), 5);
  EXPECT_EQ(WhereY(), 7);
  Write("ab");
  NewLine();
  EXPECT_EQ(WhereX(), 1);
  EXPECT_EQ(WhereY(), 8);
}
