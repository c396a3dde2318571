// End to end: the real pxn32 and plcsim in tmux terminals, on pseudo-terminal lines.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>

#include "KV_Lib3/exchange.h"
#include "base/clock.h"
#include "comLib3/serial.h"
#include "comLib3/serial_posix.h"
#include "plcsim/pty_server.h"
#include "session.h"

namespace {

struct Served : plcsim::PlcModel {  // the simulated controller behind a pseudo-terminal
  plcsim::SimLine line{*this};
  std::string error;
  std::unique_ptr<plcsim::PtyServer> server = plcsim::PtyServer::Start(line, error);
};

TEST_F(Pxn32, QuitSendsExactlyTheConnectionRequestsAndASecondProgramFindsTheLineInUse) {
  Served plc;
  ASSERT_TRUE(plc.server) << plc.error;
  const std::string program = Program("pxn32") + " --device " + plc.server->SlavePath();
  Session first(dir_ + "/first", program);
  ASSERT_NO_FATAL_FAILURE(first.Answer("First"));
  ASSERT_TRUE(first.WaitFor("Enter [0..6]")) << first.Screen();
  Session second(dir_ + "/second", program);
  ASSERT_NO_FATAL_FAILURE(second.Answer("Second"));
  const std::string busy = "Invalid Port Number: 1   E" + std::to_string(EBUSY);
  EXPECT_TRUE(second.WaitFor(busy)) << second.Screen();
  second.Type("x", false);  // the message waits for a key; then the call's result shows
  EXPECT_TRUE(second.WaitFor(busy + std::to_string(EBUSY))) << second.Screen();
  EXPECT_TRUE(second.WaitFor("No Communication to Hardware...")) << second.Screen();
  EXPECT_EQ(first.Quit(), "0\n");  // the program holding the line is undisturbed
  plc.server.reset();              // the line's records are ours once the server has stopped
  const std::vector<std::string> expected = {"CR\r", "RD DM109\r", "CQ\r",  // start-up check
                                             "CR\r", "RD DM109\r", "WR DM123 0\r", "CQ\r"};  // "0"
  std::vector<std::string> requests;  // one per CR; a retry (a late reply) counts once
  std::string request;
  for (const auto& record : plc.line.Wire()) {
    for (char c : record.bytes) {
      request += c;
      if (c != '\r') continue;
      if (requests.empty() || requests.back() != request) requests.push_back(request);
      request.clear();
    }
  }
  EXPECT_EQ(requests, expected);
}

// The built-in simulator with store options and plcsim's link, which it removes on
// SIGTERM; both report the store's books as they stop. --help and --version answer, bad
// options exit 2 with a Linux tool's message.
TEST_F(Pxn32, ReachTheMenuOnBothSimulatorsQuitRestoringTheTerminalAndAnswerOptions) {
  const std::string link = dir_ + "/line";
  ASSERT_TRUE(StartPlcsim(link, "--serial 4321"));
  const std::string pxn32 = Program("pxn32");
  Session sim(dir_ + "/sim",
              pxn32 + " --sim --ser=777 --plate 2.3 --plate=1.2 2>" + dir_ + "/sim.err");
  Session run(dir_ + "/run", pxn32 + " --device " + link + " 2>" + dir_ + "/run.err");
  struct Case {
    Session* session;
    const char* serial;
    std::string books;
  } cases[] = {
      {&sim, "# 777", "simulated store: plates at 1.2 2.3, moves refused 0, plates lost 0\n"},
      {&run, "# 4321", ""}};
  for (const auto& c : cases) {
    ASSERT_NO_FATAL_FAILURE(c.session->Answer("Tester"));
    EXPECT_TRUE(c.session->WaitFor(c.serial)) << c.session->Screen();
    EXPECT_TRUE(c.session->WaitFor("Tester")) << c.session->Screen();
    EXPECT_EQ(c.session->Quit(), "0\n");
    EXPECT_TRUE(c.session->TerminalAsBefore());
    EXPECT_EQ(ReadFile(c.session->Base() + ".err"), c.books);
  }
  EXPECT_EQ(StopPlcsim(), "0\n");
  EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link is removed";
  EXPECT_TRUE(ReadFile(dir_ + "/plcsim.out")
                  .ends_with("\nplcsim: simulated store: plates at 1.1, moves refused 0, plates "
                             "lost 0\n"))
      << ReadFile(dir_ + "/plcsim.out");
  for (const char* options : {"--bogus", "--device", "extra", "--sim --device /dev/null"})
    EXPECT_EQ(RunShell(pxn32 + " " + options + " </dev/null >/dev/null 2>&1"), 2) << options;
  EXPECT_EQ(RunShell(pxn32 + " --levels 4 </dev/null >/dev/null 2>" + dir_ + "/err"), 2);
  EXPECT_EQ(ReadFile(dir_ + "/err"),
            "pxn32: the store's options need --sim\nTry 'pxn32 --help' for more information.\n");
  for (const char* program : {"pxn32", "plcsim"}) {
    EXPECT_EQ(RunShell(Program(program) + " --help >/dev/null"), 0) << program;
    const std::string version = dir_ + "/" + program + ".version";
    EXPECT_EQ(RunShell(Program(program) + " --version >" + version), 0) << program;
    EXPECT_EQ(ReadFile(version), std::string(program) + " 2.08\n");
  }
}

// A client killed outright runs no code to clear its exclusive-use flag: the server
// clears it once the client's lock has gone with it, and not while a client holds the
// line.
TEST(PtyServer, FreesTheLineOnceTheLastClientHasGone) {
  Served plc;
  ASSERT_TRUE(plc.server) << plc.error;
  const std::string path = plc.server->SlavePath();
  const char* slave = path.c_str();
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t client = fork();
  if (client == 0) {  // system calls only: the server's thread runs in the parent
    int fd = open(slave, O_RDWR | O_NOCTTY);  // as pxn32 takes a line
    bool claimed = fd >= 0 && flock(fd, LOCK_EX | LOCK_NB) == 0 && ioctl(fd, TIOCEXCL) == 0;
    (void)!write(ready[1], claimed ? "y" : "n", 1);
    pause();
    _exit(0);
  }
  char claimed = 0;
  EXPECT_EQ(read(ready[0], &claimed, 1), 1);
  close(ready[0]);
  close(ready[1]);
  auto exclusive = [&] {  // our own look is a client too, while it lasts
    int fd = open(slave, O_RDWR | O_NOCTTY | O_CLOEXEC);
    int flag = -1;
    ioctl(fd, TIOCGEXCL, &flag);
    close(fd);
    return flag;
  };
  EXPECT_EQ(claimed, 'y');
  exclusive();     // a look that comes and goes, like a client that finds the line busy
  usleep(100000);  // time for the server to see it go
  EXPECT_EQ(exclusive(), 1) << "freed under a client that still holds the line";
  kill(client, SIGKILL);
  waitpid(client, nullptr, 0);
  EXPECT_TRUE(WaitUntil([&] { return exclusive() == 0; })) << "still locked after the client died";
}

// A figure, never pass/fail: one exchange takes the 55 ms read window plus the travel.
TEST(PtyServer, ExchangeTimeFigure) {
  Served plc;
  ASSERT_TRUE(plc.server) << plc.error;
  SetSerialOpener([p = plc.server->SlavePath()](int, int& e) { return OpenPosixSerial(p, e); });
  ASSERT_EQ(OpenComPort(1, 9600, 'E', 1, 8), 0);
  std::vector<int64_t> took;
  for (std::string reply; took.size() < 20;) {
    int64_t start = base::TheClock().NowMicros();
    CommRequest(1, reply);
    took.push_back(base::TheClock().NowMicros() - start);
    EXPECT_EQ(reply, "CC");
  }
  CloseComPort(1);
  std::ranges::sort(took);
  std::printf("CR exchanges on a pseudo-terminal: min %.2f, median %.2f, max %.2f ms of 20\n",
              took[0] / 1e3, took[10] / 1e3, took[19] / 1e3);
}

}  // namespace
