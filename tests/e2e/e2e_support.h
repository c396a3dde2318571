// Running the real programs: a private tmux server per test, the binaries from the
// environment, and waits that sleep until the screen shows what we wait for.
#pragma once
#include <string>

namespace e2e {

// Path of a built program from the environment (PXN32_BIN, PLCSIM_BIN); empty if unset.
std::string BinaryFromEnv(const char* variable);
bool HaveTmux();
// Runs a command line with sh; returns its exit status (or -1 when it did not exit).
int RunShell(const std::string& command);
// A fresh directory for one test's files, removed with its contents at the end.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& text);
// Sleeps in steps of 20 ms until the file exists and is not empty, for at most 10 s.
bool WaitForFile(const std::string& path);

// One 80x25 tmux session on a server of its own (-L), so no user's tmux is touched.
class TmuxSession {
 public:
  // Runs `script` (a shell script file) in the session.
  explicit TmuxSession(const std::string& script);
  ~TmuxSession();
  bool Started() const { return started_; }
  // Each argument goes to send-keys as one word: literal text, or a key name like Enter.
  void Type(const std::string& text);
  void Press(const std::string& key);
  std::string Screen() const;
  // Sleeps until the screen holds `text`, for at most 10 s; false if it never did.
  bool WaitFor(const std::string& text) const;

 private:
  std::string Tmux() const;
  std::string socket_;
  bool started_ = false;
};

}  // namespace e2e
