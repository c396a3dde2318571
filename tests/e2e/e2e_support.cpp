#include "e2e_support.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>

namespace e2e {
namespace {

constexpr int kWaitSteps = 500;  // 500 x 20 ms: a bound for a hung program, not a speed limit

void SleepStep() {
  timespec step{0, 20 * 1000 * 1000};
  nanosleep(&step, nullptr);
}

std::string Quoted(const std::string& text) {
  std::string out = "'";
  for (char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::string Capture(const std::string& command) {
  std::string out;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  pclose(pipe);
  return out;
}

}  // namespace

std::string BinaryFromEnv(const char* variable) {
  const char* value = std::getenv(variable);
  return value ? value : "";
}

bool HaveTmux() {
  return RunShell("command -v tmux >/dev/null 2>&1") == 0;
}

int RunShell(const std::string& command) {
  int status = std::system(command.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

ScratchDir::ScratchDir() {
  char pattern[] = "/tmp/pxn32-e2e-XXXXXX";
  if (mkdtemp(pattern)) path_ = pattern;
}

ScratchDir::~ScratchDir() {
  if (!path_.empty()) RunShell("rm -rf " + Quoted(path_));
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
  chmod(path.c_str(), 0755);
}

bool WaitForFile(const std::string& path) {
  for (int step = 0; step < kWaitSteps; ++step) {
    struct stat info {};
    if (stat(path.c_str(), &info) == 0 && info.st_size > 0) return true;
    SleepStep();
  }
  return false;
}

TmuxSession::TmuxSession(const std::string& script) {
  static std::atomic<int> count{0};
  socket_ = "pxn32-e2e-" + std::to_string(getpid()) + "-" + std::to_string(count++);
  started_ =
      RunShell(Tmux() + " new-session -d -s main -x 80 -y 25 " + Quoted("sh " + script)) == 0;
}

TmuxSession::~TmuxSession() {
  RunShell(Tmux() + " kill-server >/dev/null 2>&1");
}

std::string TmuxSession::Tmux() const {
  return "tmux -f /dev/null -L " + socket_;
}

void TmuxSession::Type(const std::string& text) {
  RunShell(Tmux() + " send-keys -t main -l " + Quoted(text));
}

void TmuxSession::Press(const std::string& key) {
  RunShell(Tmux() + " send-keys -t main " + Quoted(key));
}

std::string TmuxSession::Screen() const {
  return Capture(Tmux() + " capture-pane -p -t main 2>/dev/null");
}

bool TmuxSession::WaitFor(const std::string& text) const {
  for (int step = 0; step < kWaitSteps; ++step) {
    if (Screen().find(text) != std::string::npos) return true;
    SleepStep();
  }
  return false;
}

}  // namespace e2e
