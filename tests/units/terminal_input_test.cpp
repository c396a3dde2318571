#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>

#include "base/clock.h"
#include "console/console.h"
#include "console/terminal.h"

// In the child: the real back end reads keys from a pipe, then loses it.
static void ReadKeysFromPipeThenLoseIt() {
  int fds[2];
  if (pipe(fds) != 0 || write(fds[1], "ab\x1b[A\x1b", 6) != 6) _exit(3);
  dup2(fds[0], STDIN_FILENO);
  if (!std::freopen("/dev/null", "w", stdout)) _exit(5);
  base::SetClock(nullptr);
  std::string error;
  auto backend = console::StartTerminal(error);
  if (!backend) _exit(4);
  console::Install(backend.get());
  int64_t start = base::TheClock().NowMicros();
  for (int i = 0; i < 4; ++i) std::fprintf(stderr, " %02X", ReadKey());
  // A poll finds the lone Esc undecided and waits for the decision.
  std::fprintf(stderr, KeyPressed() ? " polled" : " missed");
  std::fprintf(stderr, " %02X", ReadKey());
  bool waited = base::TheClock().NowMicros() - start >= 50000;
  std::fprintf(stderr, waited ? " waited\n" : " too soon\n");
  close(fds[1]);
  ReadKey();  // end of input: the back end stops the program
  _exit(0);
}

TEST(TerminalInputDeathTest, KeysArriveDecodedAndEndOfInputStopsTheProgram) {
  EXPECT_EXIT(ReadKeysFromPipeThenLoseIt(), testing::ExitedWithCode(1),
              " 61 62 00 48 polled 1B waited\n.*pxn32: end of input, stopping.");
}
