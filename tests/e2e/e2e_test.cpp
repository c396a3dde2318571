// End to end: the real pxn32 and plcsim in tmux terminals, on pseudo-terminal lines.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <vector>

#include "KV_Lib3/exchange.h"
#include "comLib3/serial.h"
#include "comLib3/serial_posix.h"
#include "console/clock.h"
#include "plcsim/pty_server.h"

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}
int RunShell(const std::string& command) {  // the exit status, or -1
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}
std::string ReadFile(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path).rdbuf();
  return text.str();
}
std::string Getenv(const char* name) {
  return std::getenv(name) ? std::getenv(name) : "";
}
// Sleeps until `done`, for 10 s at most: a bound for a hung program, not a speed limit.
bool WaitUntil(const std::function<bool()>& done) {
  for (int step = 0; step < 500; ++step, usleep(20000))
    if (done()) return true;
  return false;
}

// Runs a shell script in an 80x25 tmux session on a server of its own, so no user's tmux
// is touched.
struct Tmux {
  explicit Tmux(const std::string& script) {
    static std::atomic<int> count{0};
    tmux += std::to_string(getpid()) + "-" + std::to_string(count++);
    started = RunShell(tmux + " new-session -d -s main -x 80 -y 25 " + Quoted("sh " + script)) == 0;
  }
  ~Tmux() { RunShell(tmux + " kill-server >/dev/null 2>&1"); }
  void Type(const std::string& text) { RunShell(tmux + " send-keys -t main -l " + Quoted(text)); }
  void Press(const std::string& key) { RunShell(tmux + " send-keys -t main " + key); }
  std::string Screen() const {
    std::string out;
    FILE* pipe = popen((tmux + " capture-pane -p -t main 2>/dev/null").c_str(), "r");
    for (int c; pipe && (c = fgetc(pipe)) != EOF;) out += static_cast<char>(c);
    if (pipe) pclose(pipe);
    return out;
  }
  bool WaitFor(const std::string& text) const {
    return WaitUntil([&] { return Screen().find(text) != std::string::npos; });
  }
  std::string tmux = "tmux -f /dev/null -L pxn32-e2e-";
  bool started = false;
};

class Pxn32 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (binary_.empty()) GTEST_SKIP() << "PXN32_BIN not set";
    if (RunShell("command -v tmux >/dev/null") != 0) GTEST_SKIP() << "tmux is not installed";
    char pattern[] = "/tmp/pxn32-e2e-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern));
    dir_ = pattern;
  }
  void TearDown() override {
    if (!dir_.empty()) RunShell("rm -rf " + Quoted(dir_));
  }
  // A script that runs pxn32 with `options`, keeping the terminal settings before and
  // after and the exit code (written last) as <name>.before, .after and .code.
  std::string Script(const std::string& options, const std::string& name) {
    std::string out = dir_ + "/" + name;
    std::ofstream(out + ".sh") << "stty -g > " << out << ".before\n"
                               << Quoted(binary_) << " " << options << "\necho $? > " << out
                               << ".tmp\nstty -g > " << out << ".after\nmv " << out << ".tmp "
                               << out << ".code\n";
    return out + ".sh";
  }
  // Answers the start-up questions (port 1, an operator name) and waits for the menu.
  static void StartUp(Tmux& session, const std::string& name, bool menu = true) {
    ASSERT_TRUE(session.started);
    for (auto [prompt, answer] : {std::pair<std::string, std::string>{"Tavomir [1,2]", "1"},
                                  {"Enter Operator Name", name}}) {
      ASSERT_TRUE(session.WaitFor(prompt)) << session.Screen();
      session.Type(answer);
      session.Press("Enter");
    }
    ASSERT_TRUE(!menu || session.WaitFor("Enter [0..6]")) << session.Screen();
  }
  // Chooses "0" on the menu; the program's exit code.
  std::string Quit(Tmux& session, const std::string& name) {
    session.Type("0");
    session.Press("Enter");
    std::string code = dir_ + "/" + name + ".code";
    EXPECT_TRUE(WaitUntil([&] { return !ReadFile(code).empty(); })) << session.Screen();
    return ReadFile(code);
  }

  std::string binary_ = Getenv("PXN32_BIN"), dir_;
};

// The requests the controller saw, one per CR; a retry of the same request (a late reply
// on a busy machine) counts once.
std::vector<std::string> Requests(const plcsim::SimLine& line) {
  std::string all;
  for (const auto& record : line.Wire()) all += record.bytes;
  std::vector<std::string> requests;
  for (size_t start = 0, cr; (cr = all.find('\r', start)) != std::string::npos; start = cr + 1)
    if (requests.empty() || requests.back() != all.substr(start, cr - start + 1))
      requests.push_back(all.substr(start, cr - start + 1));
  if (!all.empty() && all.back() != '\r') requests.push_back(all.substr(all.rfind('\r') + 1));
  return requests;
}

TEST_F(Pxn32, QuitSendsExactlyTheConnectionRequestsAndASecondProgramFindsTheLineInUse) {
  plcsim::PlcModel model;
  plcsim::SimLine line{model};
  std::string error;
  auto server = plcsim::PtyServer::Start(line, error);
  ASSERT_TRUE(server) << error;
  const std::string device = "--device " + server->SlavePath();
  {
    Tmux first(Script(device, "first")), second(Script(device, "second"));
    ASSERT_NO_FATAL_FAILURE(StartUp(first, "First"));
    ASSERT_NO_FATAL_FAILURE(StartUp(second, "Second", false));
    const std::string busy = "Invalid Port Number: 1   E" + std::to_string(EBUSY);
    EXPECT_TRUE(second.WaitFor(busy)) << second.Screen();
    second.Type("x");  // the message waits for a key; then the call's result shows
    EXPECT_TRUE(second.WaitFor(busy + std::to_string(EBUSY))) << second.Screen();
    EXPECT_TRUE(second.WaitFor("No Communication to Hardware...")) << second.Screen();
    EXPECT_EQ(Quit(first, "first"), "0\n");  // the program holding the line is undisturbed
  }
  server.reset();  // the line's records are ours once the server has stopped
  const std::vector<std::string> expected = {
      "CR\r", "RD DM109\r", "CQ\r",                  // start-up check
      "CR\r", "RD DM109\r", "WR DM123 0\r", "CQ\r",  // around the choice "0"
  };
  EXPECT_EQ(Requests(line), expected);
}

TEST_F(Pxn32, BuiltInSimulatorReachesTheMenuAndQuitRestoresTheTerminal) {
  Tmux session(Script("--sim", "sim"));
  ASSERT_NO_FATAL_FAILURE(StartUp(session, "Tester"));
  std::string menu = session.Screen();
  EXPECT_TRUE(menu.find("Tester") != std::string::npos && menu.find("# 1234") != std::string::npos)
      << menu;
  EXPECT_EQ(Quit(session, "sim"), "0\n");
  EXPECT_EQ(ReadFile(dir_ + "/sim.after"), ReadFile(dir_ + "/sim.before"));
}

TEST_F(Pxn32, RunsOnTheLinkOfPlcsimWhichRemovesItOnSigterm) {
  // plcsim is built beside pxn32.
  std::string plcsim = binary_.substr(0, binary_.rfind('/') + 1) + "plcsim", link = dir_ + "/line";
  if (access(plcsim.c_str(), X_OK) != 0) GTEST_SKIP() << "no plcsim at " << plcsim;
  struct Child {
    pid_t pid = fork();
    ~Child() { pid > 0 && kill(pid, SIGKILL) == 0 && waitpid(pid, nullptr, 0); }
  } child;
  if (child.pid == 0) {
    freopen("/dev/null", "w", stdout);
    execl(plcsim.c_str(), "plcsim", "--link", link.c_str(), "--serial", "4321", nullptr);
    _exit(127);
  }
  struct stat st {};
  ASSERT_TRUE(WaitUntil([&] { return lstat(link.c_str(), &st) == 0; }));
  Tmux session(Script("--device " + link, "run"));
  ASSERT_NO_FATAL_FAILURE(StartUp(session, "Tester"));
  EXPECT_NE(session.Screen().find("# 4321"), std::string::npos) << session.Screen();
  EXPECT_EQ(Quit(session, "run"), "0\n");
  int status = -1;
  kill(child.pid, SIGTERM);
  ASSERT_EQ(waitpid(child.pid, &status, 0), child.pid);
  child.pid = 0;
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_NE(lstat(link.c_str(), &st), 0);  // the link is gone
}

TEST_F(Pxn32, CommandLineOptions) {
  for (auto [options, code] : {std::pair{"--bogus", 2},
                               {"--device", 2},
                               {"extra", 2},
                               {"--sim --device /dev/null", 2},
                               {"--help", 0}}) {
    EXPECT_EQ(RunShell(Quoted(binary_) + " " + options + " </dev/null >/dev/null 2>&1"), code)
        << options;
  }
}

// Not a pass/fail figure: one exchange against the simulator on a pseudo-terminal takes the
// 55 ms read window (the reply never fills 50 bytes) plus the travel.
TEST(PtyServer, ExchangeTimeFigure) {
  plcsim::PlcModel model;
  plcsim::SimLine line{model};
  std::string error;
  auto server = plcsim::PtyServer::Start(line, error);
  ASSERT_TRUE(server) << error;
  const std::string path = server->SlavePath();
  SetSerialOpener([path](int, int& error) { return OpenPosixSerial(path, error); });
  ASSERT_EQ(OpenComPort(1, 9600, 'E', 1, 8), 0);
  std::vector<int64_t> took;
  console::Clock& clock = console::TheClock();
  for (int i = 0; i < 20; ++i) {
    std::string reply;
    int64_t start = clock.NowMicros();
    CommRequest(1, reply);
    took.push_back(clock.NowMicros() - start);
    EXPECT_EQ(reply, "CC");
  }
  CloseComPort(1);
  SetSerialOpener(nullptr);
  std::sort(took.begin(), took.end());
  int64_t sum = 0;
  for (int64_t t : took) sum += t;
  std::printf(
      "one CR exchange over a pseudo-terminal, %zu runs: min %.2f ms, median %.2f ms, "
      "mean %.2f ms, max %.2f ms\n",
      took.size(), took.front() / 1000.0, took[took.size() / 2] / 1000.0,
      sum / 1000.0 / took.size(), took.back() / 1000.0);
  RecordProperty("median_exchange_us", std::to_string(took[took.size() / 2]));
}

}  // namespace
