// The real programs in real terminals: pxn32 in a tmux of its own, plcsim in the
// background, each in a scratch folder of the test's.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

int RunShell(const std::string& command);  // the exit status, or -1
std::string ReadFile(const std::string& path);

// Sleeps until `done`, 10 s at most: a bound for a hang, not a speed limit.
template <class Done>
bool WaitUntil(Done done) {
  for (int step = 0; step < 500 && !done(); ++step) usleep(20000);
  return done();
}

// A program in a tmux of its own. At <base>.*: the terminal's settings before and after
// it (stty -g), its pid and the exit code of the whole command. The terminal stays once
// the program has ended, to be looked at.
class Session {
 public:
  // `command` starts it ("/path/pxn32 --sim 2>err"); with `keysFromPipe` its keys come
  // from a pipe the session holds instead of the terminal.
  Session(const std::string& base, const std::string& command, bool keysFromPipe = false,
          int cols = 80, int rows = 25);
  ~Session();  // ends the program (SIGHUP) and waits until it has gone
  void Type(const std::string& text, bool enter = true) const;
  void Press(const std::string& tmuxKey) const;  // "C-c"
  void CloseInput();                             // the end of the piped keys
  std::string Screen() const;
  std::vector<std::string> Rows() const;  // from row 1
  void Resize(int cols, int rows) const;
  std::string Query(const std::string& format) const;  // tmux: "#{cursor_flag}"
  bool WaitFor(const std::string& text) const;
  std::string WaitForEnd() const;  // the exit code and a line end; empty when it doesn't end
  int Pid() const;
  std::string TerminalNow() const;  // stty -g of the terminal
  bool TerminalAsBefore() const;
  // Autowrap on, the cursor shown, and the shell's word "ended" in the terminal's colours.
  bool DisplayRestored() const;
  const std::string& Base() const { return base_; }

 private:
  std::string base_, tmux_;
  int keys_ = -1;
};
using Sessions = std::vector<std::unique_ptr<Session>>;

// Ends a session: "0" at the menu, "C-c" typed, "EOF" the end of its piped keys, or the
// signal of that name sent with kill ("TERM", "KILL").
void EndBy(Session& session, const std::string& way);

// One step of a dialogue: once the screen shows `awaited`, `keys` go (none when empty).
struct Step {
  std::string awaited;
  std::string keys;
  bool enter = false;  // Enter after the keys
  bool press = false;  // `keys` names a tmux key ("Escape") rather than text
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
