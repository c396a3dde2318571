#include "session.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

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
    : base(base) {
  const std::string keys = base + ".keys";
  if (keysFromPipe) mkfifo(keys.c_str(), 0600);
  Tmux("new-session -d -x " + std::to_string(cols) + " -y " + std::to_string(rows) + " 'n=" + base +
       "; trap : INT; stty -g >$n.before; sh -c \"echo \\$\\$ >$n.pid; exec " + command +
       "\" 2>$n.err" + (keysFromPipe ? " <$n.keys" : "") +
       "; c=$?; echo ended; printf %s $c >$n.code; exec sleep 600'");
  // It opens once the shell waits to read it.
  if (keysFromPipe)
    WaitUntil([&] {
      return keys_ >= 0 || (keys_ = open(keys.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK)) >= 0;
    });
}

// The test's folder is only removed once the program has stopped writing into it.
Session::~Session() {
  const int pid = Pid();
  if (keys_ >= 0) close(keys_);
  Tmux("kill-server 2>/dev/null");
  WaitUntil([&] { return pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH); });
}

std::string Session::Tmux(const std::string& command) const {
  return Output("tmux -f /dev/null -S " + base + ".tmux " + command);
}

void Session::Type(const std::string& keys) const {
  if (keys_ < 0) Tmux("send-keys -l -- '" + keys + "'");
  if (keys_ >= 0) (void)!write(keys_, keys.data(), keys.size());
}

void Session::Send(const std::string& what) {
  if (what == "EOF")
    close(std::exchange(keys_, -1));
  else if (what == "0" || what == "C-c")
    Type(what == "0" ? "0\r" : "\x03");
  else
    Output("kill -" + what + " " + std::to_string(Pid()));
}

std::vector<std::string> Session::Rows() const {
  std::vector<std::string> rows;
  std::istringstream screen(Screen());
  for (std::string row; std::getline(screen, row);) rows.push_back(row);
  return rows;
}

bool Session::Restored() const {
  const std::vector<std::string> rows = Rows();
  const auto ended = std::find(rows.begin(), rows.end(), "ended");
  // The row alone, so that its colours are told from the terminal's own, not the row's
  // above.
  const std::string row = std::to_string(ended - rows.begin());
  static const std::regex kDefaults(R"(((\x1b\[((0|39|49)(;(0|39|49))*)?m)*)ended\n?)");
  return TerminalNow() == File(".before") &&
         Tmux("display-message -p '#{wrap_flag}#{cursor_flag}'") == "11\n" && ended != rows.end() &&
         std::regex_match(Tmux("capture-pane -e -p -S " + row + " -E " + row), kDefaults);
}

// Step by step: while one session's step waits, the other programs go on.
::testing::AssertionResult Pxn32::PlaySideBySide(const std::vector<std::vector<Step>>& dialogues) {
  size_t steps = 0;
  for (const auto& dialogue : dialogues) steps = std::max(steps, dialogue.size());
  for (size_t at = 0; at < steps; ++at) {
    for (size_t i = 0; i < sessions_.size(); ++i) {
      if (at >= dialogues[i].size()) continue;
      const Step& step = dialogues[i][at];
      if (!sessions_[i]->WaitFor(step.awaited))
        return ::testing::AssertionFailure()
               << sessions_[i]->base << " never showed \"" << step.awaited << "\":\n"
               << sessions_[i]->Screen();
      if (!step.keys.empty()) sessions_[i]->Type(step.keys);
    }
  }
  return ::testing::AssertionSuccess();
}

void Pxn32::SetUp() {
  if (!std::getenv("PXN32_BIN")) GTEST_SKIP() << "PXN32_BIN not set";
  if (Output("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
  bin_ = std::filesystem::path(std::getenv("PXN32_BIN")).replace_filename("");
  dir_ = "/tmp/pxn32-e2e-" + std::to_string(getpid()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name();
  link_ = dir_ + "/line";
  ASSERT_TRUE(std::filesystem::create_directory(dir_)) << dir_;
}

// A file that something else still removes (tmux its socket) is only a reason to look
// again.
void Pxn32::TearDown() {
  sessions_.clear();
  std::error_code error;
  EXPECT_TRUE(dir_.empty() ||
              WaitUntil([&] { return std::filesystem::remove_all(dir_, error), !error; }))
      << "cannot remove " << dir_ << ": " << error.message();
}

Session& Pxn32::Start(const std::string& name, const std::string& command, bool keysFromPipe,
                      int cols, int rows) {
  return *sessions_.emplace_back(
      std::make_unique<Session>(dir_ + "/" + name, command, keysFromPipe, cols, rows));
}

std::unique_ptr<Session> Pxn32::Plcsim(const std::string& name, const std::string& options) {
  auto plcsim =
      std::make_unique<Session>(dir_ + "/" + name, bin_ + "plcsim --link " + link_ + " " + options);
  if (!WaitUntil([&] { return std::filesystem::is_symlink(link_); })) return nullptr;
  return plcsim;
}

// User and system time so far, in clock ticks.
static double CpuTicks(int pid) {
  std::istringstream times(Output("cut -d' ' -f14,15 /proc/" + std::to_string(pid) + "/stat"));
  long user = 0, system = 0;
  times >> user >> system;
  return static_cast<double>(user + system);
}

std::vector<double> Pxn32::CpuPercents(int millis) {
  std::vector<double> percents;
  for (const auto& session : sessions_) percents.push_back(-CpuTicks(session->Pid()));
  usleep(static_cast<useconds_t>(millis) * 1000);
  for (size_t i = 0; i < sessions_.size(); ++i)
    percents[i] = (percents[i] + CpuTicks(sessions_[i]->Pid())) * 1e5 / millis /
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
