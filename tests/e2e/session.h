// The real programs in real terminals, each in a tmux of its own and in a scratch folder
// of the test's.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

std::string Output(const std::string& command);  // what it writes to stdout

// Sleeps until `done`, 10 s at most: a bound for a hang, not a speed limit.
template <class Done>
bool WaitUntil(Done done) {
  for (int step = 0; step < 500 && !done(); ++step) usleep(20000);
  return done();
}

// A command in a tmux that stays once the command has ended, to be looked at, the shell's
// word "ended" on it. Its files, <base>.*: the terminal's settings .before (stty -g),
// .pid, .err (stderr) and .code (the exit code).
class Session {
 public:
  // With `keysFromPipe` the keys come from a pipe the session holds, not the terminal.
  Session(const std::string& base, const std::string& command, bool keysFromPipe = false,
          int cols = 80, int rows = 25);
  ~Session();  // ends the program (SIGHUP) and waits until it has gone
  // Keys as the terminal sends them: "\r" for Enter, "\x1b" for Esc.
  void Type(const std::string& keys) const;
  // "0" typed at the menu, "C-c", "EOF" (the end of the piped keys), or the signal of that
  // name sent with kill ("TERM", "TSTP").
  void Send(const std::string& what);
  std::string Screen() const { return Tmux("capture-pane -p"); }
  std::vector<std::string> Rows() const;  // from row 1
  std::string Tty() const { return Tmux("display-message -p '#{pane_tty}' | tr -d '\\n'"); }
  bool WaitFor(const std::string& text) const {
    return WaitUntil([&] { return Screen().find(text) != std::string::npos; });
  }
  std::string WaitForEnd() const {  // the exit code; empty when it doesn't end
    return WaitUntil([&] { return !File(".code").empty(); }) ? File(".code") : "";
  }
  std::string File(const std::string& suffix) const {
    return Output("cat " + base + suffix + " 2>/dev/null");
  }
  int Pid() const { return std::atoi(File(".pid").c_str()); }
  std::string TerminalNow() const { return Output("stty -g <" + Tty()); }
  // The settings as before, autowrap on, the cursor shown, and "ended" in the terminal's
  // own colours.
  bool Restored() const;
  std::string Tmux(const std::string& command) const;  // "resize-window -x 40 -y 12"

  const std::string base;

 private:
  int keys_ = -1;
};

// One step of a dialogue: once the screen shows `awaited`, `keys` go (none when empty).
struct Step {
  std::string awaited, keys;
};

class Pxn32 : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;  // once every session has ended
  // A session named `name` in the test's folder, kept in sessions_.
  Session& Start(const std::string& name, const std::string& command, bool keysFromPipe = false,
                 int cols = 80, int rows = 25);
  // plcsim serving its store at link_ with `options` until ended; null when no link comes.
  std::unique_ptr<Session> Plcsim(const std::string& name, const std::string& options);
  // Plays each session's dialogue side by side, so that their waits overlap. Fails, naming
  // the session, its step and its screen, when one doesn't show what it awaits in 10 s.
  ::testing::AssertionResult PlaySideBySide(const std::vector<std::vector<Step>>& dialogues);
  // The share of one core, in percent, that each program uses over the next `millis`.
  std::vector<double> CpuPercents(int millis);

  std::string dir_;   // the scratch folder, the test's own
  std::string bin_;   // where pxn32 and plcsim of this build are, with its '/'
  std::string link_;  // dir_/line
  std::vector<std::unique_ptr<Session>> sessions_;
};

// The exclusive-use flag of the serial line at `path` (1 set, 0 clear, -1 no line).
int ExclusiveFlag(const std::string& path);
