#include "session.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>

namespace {
const std::string kPxn32 = std::getenv("PXN32_BIN") ? std::getenv("PXN32_BIN") : "";
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
Session::Session(const std::string& base, const std::string& program, const std::string& pipe,
                 int cols, int rows)
    : base_(base), tmux_("tmux -f /dev/null -S " + base + ".tmux ") {
  const std::string command =
      "trap : INT; n=" + base_ + "; stty -g >$n.before; " + "sh -c \"echo \\$\\$ >$n.pid; exec " +
      program + "\" " + pipe +
      "; echo $? >$n.tmp; stty -g >$n.after; echo ended; mv $n.tmp $n.code; exec sleep 600";
  RunShell(tmux_ + "new-session -d -x " + std::to_string(cols) + " -y " + std::to_string(rows) +
           " '" + command + "'");
}

// A process is gone once the system no longer knows its number.
static bool Gone(int pid) {
  return pid <= 0 || (kill(pid, 0) != 0 && errno == ESRCH);
}

// The terminal goes, and with it the program (SIGHUP); the test's folder is only
// removed once the program has stopped writing into it.
Session::~Session() {
  const int pid = Pid();
  RunShell(tmux_ + "kill-server 2>/dev/null");
  WaitUntil([&] { return Gone(pid); });
}

void Session::Type(const std::string& text, bool enter) const {
  RunShell(tmux_ + "send-keys -l -- '" + text + "'" + (enter ? " \\; send-keys Enter" : ""));
}

void Session::Press(const std::string& tmuxKey) const {
  RunShell(tmux_ + "send-keys " + tmuxKey);
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

void Session::Answer(const std::string& name) const {
  ASSERT_TRUE(WaitFor("Tavomir [1,2]")) << Screen();
  Type("1");
  ASSERT_TRUE(WaitFor("Enter Operator Name")) << Screen();
  Type(name);
}

std::string Session::Quit() const {
  Type("0");
  return WaitForEnd();
}

std::string Session::WaitForEnd() const {
  WaitUntil([&] { return !ReadFile(base_ + ".code").empty(); });
  return ReadFile(base_ + ".code");
}

int Session::Pid() const {
  return std::atoi(ReadFile(base_ + ".pid").c_str());
}

bool Session::TerminalAsBefore() const {
  return ReadFile(base_ + ".after") == ReadFile(base_ + ".before");
}

bool Session::DisplayRestored() const {
  if (Query("#{wrap_flag}#{cursor_flag}") != "11") return false;
  const std::vector<std::string> rows = Rows();
  const auto ended = std::ranges::find(rows, "ended");
  if (ended == rows.end()) return false;
  // The row alone, so that its colours are told from the terminal's own, not from the
  // row above.
  const std::string row = std::to_string(ended - rows.begin());
  RunShell(tmux_ + "capture-pane -e -p -S " + row + " -E " + row + " >" + base_ + ".colours");
  static const std::regex kDefaults(R"(((\x1b\[((0|39|49)(;(0|39|49))*)?m)*)ended\n?)");
  return std::regex_match(ReadFile(base_ + ".colours"), kDefaults);
}

::testing::AssertionResult PlaySideBySide(const std::vector<const Session*>& sessions,
                                          const std::vector<std::vector<Step>>& dialogues) {
  std::vector<size_t> next(sessions.size(), 0);
  auto since = std::chrono::steady_clock::now();
  for (;;) {
    bool finished = true;
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
    if (finished) return ::testing::AssertionSuccess();
    usleep(20000);
  }
}

std::vector<Step> IntoRandomAccessTest(const std::string& mode) {
  std::vector<Step> steps = {{"Tavomir [1,2]", "1", true},
                             {"Enter Operator Name", "Tester", true},
                             {"Enter [0..6]", "7", true},
                             {"Both [C,H,B]", mode}};
  if (mode != "C")
    steps.insert(steps.end(), {{"Include X-fer Station", "Y"}, {"Invers. Mode [Y/N]", "N"}});
  steps.insert(steps.end(), {{"Enter Interval Time [n=min", "-1", true},
                             {"Enter Interval Time (>1sec)", "1", true}});
  return steps;
}

void Pxn32::SetUp() {
  if (kPxn32.empty()) GTEST_SKIP() << "PXN32_BIN not set";
  if (RunShell("command -v tmux >/dev/null") != 0) GTEST_SKIP() << "tmux is not installed";
  dir_ = "/tmp/pxn32-e2e-" + std::to_string(getpid()) + "-" +
         ::testing::UnitTest::GetInstance()->current_test_info()->name();
  ASSERT_TRUE(std::filesystem::create_directory(dir_)) << dir_;
  programs_ = kPxn32.substr(0, kPxn32.rfind('/') + 1);
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
  return programs_ + name;
}

void Pxn32::RunFromScratchFolder() {
  namespace fs = std::filesystem;
  for (const char* name : {"pxn32", "plcsim"}) {
    fs::copy_file(Program(name), dir_ + "/" + name);
    fs::permissions(dir_ + "/" + name, fs::perms::owner_all | fs::perms::group_read |
                                           fs::perms::group_exec | fs::perms::others_read |
                                           fs::perms::others_exec);
  }
  fs::permissions(dir_, fs::perms::all);
  programs_ = dir_ + "/";
}

bool Pxn32::StartPlcsim(const std::string& link, const std::string& options,
                        const std::string& run) {
  std::filesystem::remove(dir_ + "/plcsim.code");  // left by one stopped before
  RunShell("(" + run + Program("plcsim") + " --link " + link + " " + options + " >" + dir_ +
           "/plcsim.out & echo $! >" + dir_ + "/plcsim.pid; wait $!; echo $? >" + dir_ +
           "/plcsim.code) &");
  return WaitUntil([&] { return std::filesystem::is_symlink(link); });
}

// Its exit code is written once it has ended, link and all.
std::string Pxn32::StopPlcsim() {
  RunShell("cd " + dir_ + " && kill $(cat plcsim.pid) && rm plcsim.pid");
  WaitUntil([&] { return !ReadFile(dir_ + "/plcsim.code").empty(); });
  return ReadFile(dir_ + "/plcsim.code");
}

namespace {

// User and system time of a process so far, in clock ticks.
long CpuTicks(int pid) {
  const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));  // the name may hold blanks
  std::string skip;
  for (int field = 3; field < 14; ++field) fields >> skip;  // from the state to cmajflt
  long user = 0, system = 0;
  fields >> user >> system;
  return user + system;
}

}  // namespace

std::vector<double> CpuPercents(const std::vector<int>& pids, int millis) {
  std::vector<long> before;
  for (int pid : pids) before.push_back(CpuTicks(pid));
  const auto start = std::chrono::steady_clock::now();
  usleep(static_cast<useconds_t>(millis) * 1000);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::vector<double> percents;
  for (size_t i = 0; i < pids.size(); ++i)
    percents.push_back(100.0 * static_cast<double>(CpuTicks(pids[i]) - before[i]) /
                       static_cast<double>(sysconf(_SC_CLK_TCK)) / seconds);
  return percents;
}

double CpuPercent(int pid, int millis) {
  return CpuPercents({pid}, millis).front();
}

std::optional<std::string> UserWhoIsNotRoot() {
  if (geteuid() != 0) return "";
  for (const char* run :
       {"setpriv --reuid=nobody --regid=nogroup --clear-groups ",
        "setpriv --reuid=nobody --regid=nobody --clear-groups ", "runuser -u nobody -- "}) {
    if (RunShell(std::string(run) + "sh -c 'test $(id -u) -ne 0' 2>/dev/null") == 0) return run;
  }
  return std::nullopt;
}
