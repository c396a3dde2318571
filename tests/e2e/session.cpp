#include "session.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

namespace {
const char* const kPxn32 = std::getenv("PXN32_BIN");
}  // namespace

int RunShell(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The outer shell only waits: Ctrl-C reaches the program's whole process group, and a
// trap with a command of its own is not passed on to the program.
Session::Session(const std::string& base, const std::string& command, bool keysFromPipe, int cols,
                 int rows)
    : base_(base), tmux_("tmux -f /dev/null -S " + base + ".tmux ") {
  const std::string keys = base + ".keys";
  if (keysFromPipe) mkfifo(keys.c_str(), 0600);
  const std::string n = base;
  RunShell(tmux_ + "new-session -d -x " + std::to_string(cols) + " -y " + std::to_string(rows) +
           " 'trap : INT; stty -g >" + n + ".before; sh -c \"echo \\$\\$ >" + n + ".pid; exec " +
           command + "\"" + (keysFromPipe ? " <" + keys : "") + "; echo $? >" + n +
           ".tmp; stty -g >" + n + ".after; echo ended; mv " + n + ".tmp " + n +
           ".code; exec sleep 600'");
  // Opens once the shell waits to read it.
  if (keysFromPipe)
    WaitUntil([&] {
      return keys_ >= 0 || (keys_ = open(keys.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK)) >= 0;
    });
}

static bool Gone(int pid) {
  return pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH);
}

// The test's folder is only removed once the program has stopped writing into it.
Session::~Session() {
  const int pid = Pid();
  CloseInput();
  RunShell(tmux_ + "kill-server 2>/dev/null");
  WaitUntil([&] { return Gone(pid); });
}

void Session::Type(const std::string& text, bool enter) const {
  if (keys_ >= 0) {
    const std::string typed = text + (enter ? "\r" : "");
    EXPECT_EQ(write(keys_, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  } else {
    RunShell(tmux_ + "send-keys -l -- '" + text + "'" + (enter ? " \\; send-keys Enter" : ""));
  }
}

void Session::Press(const std::string& tmuxKey) const {
  RunShell(tmux_ + "send-keys " + tmuxKey);
}

void Session::CloseInput() {
  if (keys_ >= 0) close(keys_);
  keys_ = -1;
}

std::string Session::Screen() const {
  RunShell(tmux_ + "capture-pane -p >" + base_ + ".txt");
  return ReadFile(base_ + ".txt");
}

std::vector<std::string> Session::Rows() const {
  std::vector<std::string> rows;
  std::istringstream screen(Screen());
  for (std::string row; std::getline(screen, row);) rows.push_back(row);
  return rows;
}

void Session::Resize(int cols, int rows) const {
  RunShell(tmux_ + "resize-window -x " + std::to_string(cols) + " -y " + std::to_string(rows));
}

std::string Session::Query(const std::string& format) const {
  RunShell(tmux_ + "display-message -p '" + format + "' >" + base_ + ".query");
  std::string answer = ReadFile(base_ + ".query");
  if (!answer.empty() && answer.back() == '\n') answer.pop_back();
  return answer;
}

bool Session::WaitFor(const std::string& text) const {
  return WaitUntil([&] { return Screen().find(text) != std::string::npos; });
}

std::string Session::WaitForEnd() const {
  WaitUntil([&] { return !ReadFile(base_ + ".code").empty(); });
  return ReadFile(base_ + ".code");
}

int Session::Pid() const {
  return std::atoi(ReadFile(base_ + ".pid").c_str());
}

std::string Session::TerminalNow() const {
  RunShell("stty -g <" + Query("#{pane_tty}") + " >" + base_ + ".now");
  return ReadFile(base_ + ".now");
}

bool Session::TerminalAsBefore() const {
  return ReadFile(base_ + ".after") == ReadFile(base_ + ".before");
}

bool Session::DisplayRestored() const {
  if (Query("#{wrap_flag}#{cursor_flag}") != "11") return false;
  const std::vector<std::string> rows = Rows();
  const auto ended = std::ranges::find(rows, "ended");
  if (ended == rows.end()) return false;
  // The row alone, so that its colours are told from the terminal's own, not the row's
  // above.
  const std::string row = std::to_string(ended - rows.begin());
  RunShell(tmux_ + "capture-pane -e -p -S " + row + " -E " + row + " >" + base_ + ".colours");
  static const std::regex kDefaults(R"(((\x1b\[((0|39|49)(;(0|39|49))*)?m)*)ended\n?)");
  return std::regex_match(ReadFile(base_ + ".colours"), kDefaults);
}

void EndBy(Session& session, const std::string& way) {
  if (way == "0") {
    session.Type("0");
  } else if (way == "C-c") {
    session.Press("C-c");
  } else if (way == "EOF") {
    session.CloseInput();
  } else {
    RunShell("kill -" + way + " " + std::to_string(session.Pid()));
  }
}

::testing::AssertionResult PlaySideBySide(const Sessions& sessions,
                                          const std::vector<std::vector<Step>>& dialogues) {
  std::vector<size_t> next(sessions.size(), 0);
  auto since = std::chrono::steady_clock::now();
  for (bool finished = false; !finished; usleep(20000)) {
    finished = true;
    for (size_t i = 0; i < sessions.size(); ++i) {
      if (next[i] == dialogues[i].size()) continue;
      finished = false;
      const Step& step = dialogues[i][next[i]];
      const std::string screen = sessions[i]->Screen();
      if (screen.find(step.awaited) != std::string::npos) {
        if (step.press) {
          sessions[i]->Press(step.keys);
        } else if (!step.keys.empty()) {
          sessions[i]->Type(step.keys, step.enter);
        }
        ++next[i];
        since = std::chrono::steady_clock::now();
      } else if (std::chrono::steady_clock::now() - since > std::chrono::seconds(10)) {
        return ::testing::AssertionFailure()
               << sessions[i]->Base() << " never showed \"" << step.awaited << "\":\n"
               << screen;
      }
    }
  }
  return ::testing::AssertionSuccess();
}

void Pxn32::SetUp() {
  if (!kPxn32) GTEST_SKIP() << "PXN32_BIN not set";
  if (RunShell("command -v tmux >/dev/null") != 0) GTEST_SKIP() << "tmux is not installed";
  dir_ = "/tmp/pxn32-e2e-" + std::to_string(getpid()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name();
  ASSERT_TRUE(std::filesystem::create_directory(dir_)) << dir_;
}

void Pxn32::TearDown() {
  if (dir_.empty()) return;
  if (std::filesystem::exists(dir_ + "/plcsim.pid")) StopPlcsim();
  // Every process the test started has ended by now; a file that something else still
  // removes is only a reason to look again.
  std::error_code error;
  for (int attempt = 0; attempt < 50; ++attempt, usleep(20000))
    if (std::filesystem::remove_all(dir_, error), !error) return;
  ADD_FAILURE() << "cannot remove " << dir_ << ": " << error.message();
}

std::string Pxn32::Program(const std::string& name) const {
  const std::string pxn32 = kPxn32;
  return pxn32.substr(0, pxn32.rfind('/') + 1) + name;
}

bool Pxn32::StartPlcsim(const std::string& link, const std::string& options) {
  const std::string at = dir_ + "/plcsim.";
  std::filesystem::remove(at + "code");  // left by one stopped before
  RunShell("(" + Program("plcsim") + " --link " + link + " " + options + " >" + at +
           "out & echo $! >" + at + "pid; wait $!; echo $? >" + at + "code) &");
  return WaitUntil([&] { return std::filesystem::is_symlink(link); });
}

std::string Pxn32::StopPlcsim() {
  RunShell("cd " + dir_ + " && kill $(cat plcsim.pid) && rm plcsim.pid");
  WaitUntil([&] { return !ReadFile(dir_ + "/plcsim.code").empty(); });
  return ReadFile(dir_ + "/plcsim.code");
}

// User and system time of a process so far, in clock ticks.
static long CpuTicks(int pid) {
  const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));  // the name may hold blanks
  std::string skip;
  for (int field = 3; field < 14; ++field) fields >> skip;  // from the state to cmajflt
  long user = 0, system = 0;
  fields >> user >> system;
  return user + system;
}

std::vector<double> CpuPercents(const std::vector<int>& pids, int millis) {
  std::vector<long> before;
  for (int pid : pids) before.push_back(CpuTicks(pid));
  const auto start = std::chrono::steady_clock::now();
  usleep(static_cast<useconds_t>(millis) * 1000);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::vector<double> percents;
  for (size_t i = 0; i < pids.size(); ++i)
    percents.push_back(100.0 * static_cast<double>(CpuTicks(pids[i]) - before[i]) /
                       static_cast<double>(sysconf(_SC_CLK_TCK)) / took.count());
  return percents;
}

// Opening it makes us a client for a moment; as root the flag doesn't keep us out.
int ExclusiveFlag(const std::string& path) {
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno == EBUSY ? 1 : -1;
  int flag = -1;
  ioctl(fd, TIOCGEXCL, &flag);
  close(fd);
  return flag;
}
