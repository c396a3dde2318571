#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "console/backend.h"
#include "console/clock.h"
#include "console/console.h"
#include "console/terminal.h"

namespace {

// Runs in the death test's child: the real back end on a pipe instead of a tty, its
// drawing thrown away.
void ReadKeysFromPipeThenLoseIt() {
  int fds[2];
  if (pipe(fds) != 0) _exit(3);
  dup2(fds[0], STDIN_FILENO);
  dup2(open("/dev/null", O_WRONLY), STDOUT_FILENO);
  if (write(fds[1], "ab\x1b[A\x1b", 6) != 6) _exit(3);
  console::SetClock(nullptr);
  std::string error;
  auto backend = console::StartTerminal(error);
  if (!backend) _exit(4);
  console::Install(backend.get());
  std::string seen;
  for (int i = 0; i < 5; ++i) {  // the last one is the lone Esc, after its time-out
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X ", ReadKey());
    seen += hex;
  }
  std::fprintf(stderr, "keys %s\n", seen.c_str());
  close(fds[1]);
  ReadKey();  // end of input: the back end stops the program
  _exit(0);
}

}  // namespace

TEST(TerminalInputDeathTest, KeysArriveDecodedAndEndOfInputStopsTheProgram) {
  EXPECT_EXIT(ReadKeysFromPipeThenLoseIt(), testing::ExitedWithCode(1),
              "keys 61 62 00 48 1B \n.*pxn32: end of input, stopping.");
}
