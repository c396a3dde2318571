// End to end: the real pxn32 and plcsim in tmux terminals, on pseudo-terminal lines.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "KV_Lib3/exchange.h"
#include "base/clock.h"
#include "comLib3/serial.h"
#include "comLib3/serial_posix.h"
#include "plcsim/pty_server.h"

namespace {

const std::string kPxn32 = std::getenv("PXN32_BIN") ? std::getenv("PXN32_BIN") : "";
int RunShell(const std::string& command) {  // the exit status, or -1
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
std::string ReadFile(const std::string& path) {
  return {std::istreambuf_iterator<char>(std::ifstream(path).rdbuf()), {}};
}
template <class Done>  // sleeps until `done`, 10 s at most: a bound for a hang, not a speed limit
bool WaitUntil(Done done) {
  for (int step = 0; step < 500 && !done(); ++step) usleep(20000);
  return done();
}

// pxn32 in an 80x25 tmux of its own; stty -g before and after it, and its exit code, at <base>.*
struct Session {
  Session(const std::string& base, const std::string& options)
      : base(base), tmux("tmux -f /dev/null -S " + base + ".tmux ") {
    RunShell(tmux + "new-session -d -x 80 -y 25 'n=" + base + "; stty -g >$n.before; " + kPxn32 +
             " " + options + "; echo $? >$n.tmp; stty -g >$n.after; mv $n.tmp $n.code'");
  }
  ~Session() { RunShell(tmux + "kill-server 2>/dev/null"); }
  void Type(const std::string& text, bool enter = true) {
    RunShell(tmux + "send-keys -l '" + text + "'" + (enter ? " \\; send-keys Enter" : ""));
  }
  std::string Screen() const {
    return RunShell(tmux + "capture-pane -p >" + base + ".txt"), ReadFile(base + ".txt");
  }
  bool WaitFor(const std::string& text) const {
    return WaitUntil([&] { return Screen().find(text) != std::string::npos; });
  }
  void StartUp(const std::string& name, bool menu = true) {  // port 1, `name`, the menu
    ASSERT_TRUE(WaitFor("Tavomir [1,2]")) << Screen();
    Type("1");
    ASSERT_TRUE(WaitFor("Enter Operator Name")) << Screen();
    Type(name);
    ASSERT_TRUE(!menu || WaitFor("Enter [0..6]")) << Screen();
  }
  std::string Quit() {  // chooses "0"; the exit code
    Type("0");
    EXPECT_TRUE(WaitUntil([&] { return !ReadFile(base + ".code").empty(); })) << Screen();
    return ReadFile(base + ".code");
  }
  std::string base, tmux;
};

class Pxn32 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (kPxn32.empty()) GTEST_SKIP() << "PXN32_BIN not set";
    if (RunShell("command -v tmux >/dev/null") != 0) GTEST_SKIP() << "tmux is not installed";
    ASSERT_TRUE(std::filesystem::create_directory(dir_));
  }
  void TearDown() override { RunShell("{ kill $(cat " + dir_ + "/pid); } 2>&-; rm -rf " + dir_); }
  const std::string dir_ = "/tmp/pxn32-e2e-" + std::to_string(getpid());
};

struct Served : plcsim::PlcModel {  // the simulated controller behind a pseudo-terminal
  plcsim::SimLine line{*this};
  std::string error;
  std::unique_ptr<plcsim::PtyServer> server = plcsim::PtyServer::Start(line, error);
};

TEST_F(Pxn32, QuitSendsExactlyTheConnectionRequestsAndASecondProgramFindsTheLineInUse) {
  Served plc;
  ASSERT_TRUE(plc.server) << plc.error;
  const std::string device = "--device " + plc.server->SlavePath();
  Session first(dir_ + "/first", device), second(dir_ + "/second", device);
  ASSERT_NO_FATAL_FAILURE(first.StartUp("First"));
  ASSERT_NO_FATAL_FAILURE(second.StartUp("Second", false));
  const std::string busy = "Invalid Port Number: 1   E" + std::to_string(EBUSY);
  EXPECT_TRUE(second.WaitFor(busy)) << second.Screen();
  second.Type("x", false);  // the message waits for a key; then the call's result shows
  EXPECT_TRUE(second.WaitFor(busy + std::to_string(EBUSY))) << second.Screen();
  EXPECT_TRUE(second.WaitFor("No Communication to Hardware...")) << second.Screen();
  EXPECT_EQ(first.Quit(), "0\n");  // the program holding the line is undisturbed
  plc.server.reset();              // the line's records are ours once the server has stopped
  const std::vector<std::string> expected = {"CR\r", "RD DM109\r", "CQ\r",  // start-up check
                                             "CR\r", "RD DM109\r", "WR DM123 0\r", "CQ\r"};  // "0"
  std::vector<std::string> requests(1);  // one per CR; a retry (a late reply) counts once
  for (const auto& record : plc.line.Wire())
    for (char c : record.bytes)
      if ((requests.back() += c).back() == '\r') requests.emplace_back();
  if (requests.back().empty()) requests.pop_back();
  requests.erase(std::unique(requests.begin(), requests.end()), requests.end());
  EXPECT_EQ(requests, expected);
}

// The built-in simulator and plcsim's link, which it removes on SIGTERM; bad options exit 2.
TEST_F(Pxn32, ReachTheMenuOnBothSimulatorsQuitRestoringTheTerminalAndRefuseBadOptions) {
  std::string plcsim = kPxn32.substr(0, kPxn32.rfind('/') + 1) + "plcsim", link = dir_ + "/line";
  RunShell("(" + plcsim + " --link " + link + " --serial 4321 >/dev/null & echo $! >" + dir_ +
           "/pid; wait $!; echo $? >" + dir_ + "/plcsim.code) &");
  ASSERT_TRUE(WaitUntil([&] { return std::filesystem::is_symlink(link); }));
  Session sim(dir_ + "/sim", "--sim"), run(dir_ + "/run", "--device " + link);
  for (auto [session, serial] : {std::pair{&sim, "# 1234"}, {&run, "# 4321"}}) {
    ASSERT_NO_FATAL_FAILURE(session->StartUp("Tester"));
    EXPECT_TRUE(session->WaitFor(serial) && session->WaitFor("Tester")) << session->Screen();
    EXPECT_EQ(session->Quit(), "0\n");
    EXPECT_EQ(ReadFile(session->base + ".after"), ReadFile(session->base + ".before"));
  }
  RunShell("cd " + dir_ + " && kill $(cat pid) && rm pid");  // so TearDown kills no one else
  EXPECT_TRUE(WaitUntil([&] { return ReadFile(dir_ + "/plcsim.code") == "0\n"; }));
  EXPECT_FALSE(std::filesystem::is_symlink(link));  // the link is gone
  for (const char* options : {"--bogus", "--device", "extra", "--sim --device /dev/null"})
    EXPECT_EQ(RunShell(kPxn32 + " " + options + " </dev/null >/dev/null 2>&1"), 2) << options;
  EXPECT_EQ(RunShell(kPxn32 + " --help >/dev/null"), 0);
}

// A client killed outright runs no code to clear its exclusive-use flag: the server
// clears it once the last client has gone, and not while one still holds the line.
TEST(PtyServer, FreesTheLineOnceTheLastClientHasGone) {
  Served plc;
  ASSERT_TRUE(plc.server) << plc.error;
  const std::string path = plc.server->SlavePath();
  const char* slave = path.c_str();
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t client = fork();
  if (client == 0) {  // system calls only: the server's thread runs in the parent
    int fd = open(slave, O_RDWR | O_NOCTTY);
    bool claimed = fd >= 0 && ioctl(fd, TIOCEXCL) == 0;
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
