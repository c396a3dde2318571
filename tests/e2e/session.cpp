#include "session.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>

std::string Output(const std::string& command) {
  FILE* pipe = popen(command.c_str(), "re");
  std::string out;
  for (int c; (c = std::fgetc(pipe)) != EOF;) out += static_cast<char>(c);
  pclose(pipe);
  return out;
}

// The outer shell only waits: Ctrl-C reaches the program's whole process group, and a
// trap with a command of its own is not passed on to the program.
Session::Session(const std::string& base, const std::string& command, bool keysFromPipe, int cols,
                 int rows)
    : base_(base) {
  const std::string keys = base + ".keys";
  if (keysFromPipe) mkfifo(keys.c_str(), 0600);
  Tmux("new-session -d -x " + std::to_string(cols) + " -y " + std::to_string(rows) + " 'n=" + base +
       "; trap : INT; stty -g >$n.before; sh -c \"echo \\$\\$ >$n.pid; exec " + command +
       "\" 2>$n.err" + (keysFromPipe ? " <$n.keys" : "") +
       "; echo $? >$n.tmp; stty -g >$n.after; echo ended; mv $n.tmp $n.code; exec sleep 600'");
  // It opens once the shell waits to read it.
  if (keysFromPipe)
    WaitUntil([&] {
      return keys_ >= 0 || (keys_ = open(keys.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK)) >= 0;
    });
}

// The test's folder is only removed once the program has stopped writing into it.
Session::~Session() {
  const int pid = Pid();
  CloseInput();
  Tmux("kill-server 2>/dev/null");
  WaitUntil([&] { return pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH); });
}

std::string Session::Tmux(const std::string& command) const {
  return Output("tmux -f /dev/null -S " + base_ + ".tmux " + command);
}

void Session::Type(const std::string& keys) const {
  if (keys_ < 0) Tmux("send-keys -l -- '" + keys + "'");
  if (keys_ >= 0) (void)!write(keys_, keys.data(), keys.size());
}

std::vector<std::string> Session::Rows() const {
  std::vector<std::string> rows;
  std::istringstream screen(Screen());
  for (std::string row; std::getline(screen, row);) rows.push_back(row);
  return rows;
}

bool Session::DisplayRestored() const {
  const std::vector<std::string> rows = Rows();
  const auto ended = std::find(rows.begin(), rows.end(), "ended");
  // The row alone, so that its colours are told from the terminal's own, not the row's
  // above.
  const std::string row = std::to_string(ended - rows.begin());
  static const std::regex kDefaults(R"(((\x1b\[((0|39|49)(;(0|39|49))*)?m)*)ended\n?)");
  return Query("#{wrap_flag}#{cursor_flag}") == "11" && ended != rows.end() &&
         std::regex_match(Tmux("capture-pane -e -p -S " + row + " -E " + row), kDefaults);
}

void EndBy(Session& session, const std::string& way) {
  if (way == "EOF") return session.CloseInput();
  if (way == "0" || way == "C-c") return session.Type(way == "0" ? "0\r" : "\x03");
  Output("kill -" + way + " " + std::to_string(session.Pid()));
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
        if (!step.keys.empty()) sessions[i]->Type(step.keys);
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
  if (!std::getenv("PXN32_BIN")) GTEST_SKIP() << "PXN32_BIN not set";
  if (Output("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
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
  EXPECT_TRUE(WaitUntil([&] { return std::filesystem::remove_all(dir_, error), !error; }))
      << "cannot remove " << dir_ << ": " << error.message();
}

std::string Pxn32::Program(const std::string& name) const {
  return std::filesystem::path(std::getenv("PXN32_BIN")).replace_filename(name);
}

// plcsim.code is written once it has ended, link and all.
bool Pxn32::StartPlcsim(const std::string& link, const std::string& options) {
  std::filesystem::remove(dir_ + "/plcsim.code");  // left by one stopped before
  Output("cd " + dir_ + " && (" + Program("plcsim") + " --link " + link + " " + options +
         " >plcsim.out & echo $! >plcsim.pid; wait $!; echo $? >plcsim.code) >/dev/null &");
  return WaitUntil([&] { return std::filesystem::is_symlink(link); });
}

std::string Pxn32::StopPlcsim() {
  Output("cd " + dir_ + " && kill $(cat plcsim.pid) && rm plcsim.pid");
  WaitUntil([&] { return !ReadFile(dir_ + "/plcsim.code").empty(); });
  return ReadFile(dir_ + "/plcsim.code");
}

// User and system time so far, in clock ticks.
static long CpuTicks(int pid) {
  std::istringstream times(Output("cut -d' ' -f14,15 /proc/" + std::to_string(pid) + "/stat"));
  long user = 0, system = 0;
  times >> user >> system;
  return user + system;
}

std::vector<double> CpuPercents(const std::vector<int>& pids, int millis) {
  std::vector<double> percents;
  for (int pid : pids) percents.push_back(-static_cast<double>(CpuTicks(pid)));
  usleep(static_cast<useconds_t>(millis) * 1000);
  for (size_t i = 0; i < pids.size(); ++i)
    percents[i] = (percents[i] + static_cast<double>(CpuTicks(pids[i]))) * 1e5 / millis /
                  static_cast<double>(sysconf(_SC_CLK_TCK));
  return percents;
}

// Opening it makes us a client for a moment; as root the flag doesn't keep us out.
int ExclusiveFlag(const std::string& path) {
  int flag = -1, fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return errno == EBUSY ? 1 : -1;
  ioctl(fd, TIOCGEXCL, &flag);
  close(fd);
  return flag;
}
