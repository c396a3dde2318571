// The real programs in real terminals: pxn32 in a tmux of its own, plcsim in the
// background, each in a scratch folder of the test's.
#pragma once
#include <gtest/gtest.h>

#include <optional>
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

// A program in a tmux of its own, 80x25 unless said otherwise. At <base>.*: the
// terminal's settings before and after it (stty -g), its pid and the exit code of the
// whole command. The terminal stays once the program has ended, to be looked at.
class Session {
 public:
  // `program` starts it ("/path/pxn32 --sim"); its output may go through `pipe`
  // ("| head -c 100").
  Session(const std::string& base, const std::string& program, const std::string& pipe = "",
          int cols = 80, int rows = 25);
  ~Session();
  void Type(const std::string& text, bool enter = true) const;
  void Press(const std::string& tmuxKey) const;  // "C-c"
  std::string Screen() const;
  std::vector<std::string> Rows() const;  // the screen's rows, from row 1
  void Resize(int cols, int rows) const;
  // A tmux format about the terminal: "#{cursor_flag}", "#{pane_tty}".
  std::string Query(const std::string& format) const;
  bool WaitFor(const std::string& text) const;
  // Answers the start-up questions: port 1 and the operator's name.
  void Answer(const std::string& name) const;
  // Chooses "0" and returns the exit code.
  std::string Quit() const;
  // The exit code once the command has ended; empty when it doesn't end.
  std::string WaitForEnd() const;
  int Pid() const;
  bool TerminalAsBefore() const;
  // After the command: autowrap on, the cursor shown, and the shell's word "ended" in the
  // terminal's own colours.
  bool DisplayRestored() const;
  const std::string& Base() const { return base_; }

 private:
  std::string base_, tmux_;
};

// One step of a dialogue: once the screen shows `awaited`, `keys` go (none when empty).
struct Step {
  std::string awaited;
  std::string keys;
  bool enter = false;  // Enter after the keys
  bool press = false;  // `keys` names a tmux key ("Escape") rather than text
};

// Plays each session's dialogue, all side by side: a session takes its next step as soon
// as its screen shows what the step awaits, so their waits overlap. Fails, naming the
// session, its step and its screen, when one shows nothing new for 10 s.
::testing::AssertionResult PlaySideBySide(const std::vector<const Session*>& sessions,
                                          const std::vector<std::vector<Step>>& dialogues);

// From pxn32's start-up into the random-access test ("7"): port 1, the name, the mode
// key and, unless it is "C", the transfer station and no inverse order; an interval of
// one second.
std::vector<Step> IntoRandomAccessTest(const std::string& mode);

class Pxn32 : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The program `name` ("pxn32", "plcsim") of this build.
  std::string Program(const std::string& name) const;
  // Copies the programs into the scratch folder and lets anyone run them and make links
  // there, for a test that runs them as another user.
  void RunFromScratchFolder();
  // Serves the simulated store at `link` until the test ends; `run` goes before the
  // program (a user to run it as). False when the link does not appear.
  bool StartPlcsim(const std::string& link, const std::string& options,
                   const std::string& run = "");
  // Stops plcsim with SIGTERM and returns its exit code.
  std::string StopPlcsim();

  std::string dir_;  // the scratch folder, the test's own

 private:
  std::string programs_;  // the folder of the programs
};

// The share of one core, in percent, that process `pid` uses over the next `millis`.
double CpuPercent(int pid, int millis);
// The same for several processes over the same time.
std::vector<double> CpuPercents(const std::vector<int>& pids, int millis);

// What runs a command as a user who is not root: nothing when we aren't root, otherwise
// setpriv or runuser to "nobody". None when that is impossible here.
std::optional<std::string> UserWhoIsNotRoot();
