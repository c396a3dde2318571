// The real programs in real terminals: pxn32 in a tmux of its own, plcsim in the
// background, each in a scratch folder of the test's.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

std::string Output(const std::string& command);  // what it writes to stdout
inline std::string ReadFile(const std::string& path) {
  return Output("cat " + path + " 2>/dev/null");
}

// Sleeps until `done`, 10 s at most: a bound for a hang, not a speed limit.
template <class Done>
bool WaitUntil(Done done) {
  for (int step = 0; step < 500 && !done(); ++step) usleep(20000);
  return done();
}

// A command in a tmux of its own, which stays once the command has ended, to be looked
// at. Its files, <base>.*: the terminal's settings .before and .after (stty -g), .pid,
// .err (stderr) and .code (the exit code).
class Session {
 public:
  // With `keysFromPipe` the keys come from a pipe the session holds, not the terminal.
  Session(const std::string& base, const std::string& command, bool keysFromPipe = false,
          int cols = 80, int rows = 25);
  ~Session();  // ends the program (SIGHUP) and waits until it has gone
  // Keys as the terminal sends them: "\r" for Enter, "\x1b" for Esc, "\x03" for Ctrl-C.
  void Type(const std::string& keys) const;
  void CloseInput() { close(std::exchange(keys_, -1)); }  // the end of the piped keys
  std::string Screen() const { return Tmux("capture-pane -p"); }
  std::vector<std::string> Rows() const;                // from row 1
  std::string Query(const std::string& format) const {  // tmux's "#{cursor_flag}"
    return Tmux("display-message -p '" + format + "' | tr -d '\\n'");
  }
  bool WaitFor(const std::string& text) const {
    return WaitUntil([&] { return Screen().find(text) != std::string::npos; });
  }
  std::string WaitForEnd() const {  // the exit code and a line end; empty when it doesn't end
    WaitUntil([&] { return !File(".code").empty(); });
    return File(".code");
  }
  std::string File(const std::string& suffix) const { return ReadFile(base_ + suffix); }
  int Pid() const { return std::atoi(File(".pid").c_str()); }
  std::string TerminalNow() const { return Output("stty -g <" + Query("#{pane_tty}")); }
  bool TerminalAsBefore() const { return File(".after") == File(".before"); }
  // Autowrap on, the cursor shown, and the shell's word "ended" in the terminal's colours.
  bool DisplayRestored() const;
  const std::string& Base() const { return base_; }
  std::string Tmux(const std::string& command) const;  // "resize-window -x 40 -y 12"

 private:
  std::string base_;
  int keys_ = -1;
};
using Sessions = std::vector<std::unique_ptr<Session>>;

// Ends a session: "0" at the menu, "C-c" typed, "EOF" the end of its piped keys, or the
// signal of that name sent with kill ("TERM", "KILL").
void EndBy(Session& session, const std::string& way);

// One step of a dialogue: once the screen shows `awaited`, `keys` go (none when empty).
struct Step {
  std::string awaited, keys;
};

// Plays each session's dialogue side by side, so that their waits overlap. Fails, naming
// the session, its step and its screen, when none shows anything awaited for 10 s.
::testing::AssertionResult PlaySideBySide(const Sessions& sessions,
                                          const std::vector<std::vector<Step>>& dialogues);

class Pxn32 : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string Program(const std::string& name) const;  // "pxn32", "plcsim" of this build
  // Serves the simulated store at `link` until stopped; false when the link doesn't come.
  bool StartPlcsim(const std::string& link, const std::string& options);
  std::string StopPlcsim();  // SIGTERM; its exit code once it has ended, link and all

  std::string dir_;  // the scratch folder, the test's own
};

// The share of one core, in percent, that each process uses over the next `millis`.
std::vector<double> CpuPercents(const std::vector<int>& pids, int millis);

// The exclusive-use flag of the serial line at `path` (1 set, 0 clear, -1 no line).
int ExclusiveFlag(const std::string& path);
