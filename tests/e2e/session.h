// The real programs in real terminals: pxn32 in a tmux of its own, plcsim in the
// background, each in a scratch folder of the test's.
#pragma once
#include <gtest/gtest.h>

#include <optional>
#include <string>

int RunShell(const std::string& command);  // the exit status, or -1
std::string ReadFile(const std::string& path);

// Sleeps until `done`, 10 s at most: a bound for a hang, not a speed limit.
template <class Done>
bool WaitUntil(Done done) {
  for (int step = 0; step < 500 && !done(); ++step) usleep(20000);
  return done();
}

// A program in an 80x25 tmux of its own. At <base>.*: the terminal's settings before and
// after it (stty -g), its pid and the exit code of the whole command.
class Session {
 public:
  // `program` starts it ("/path/pxn32 --sim"); its output may go through `pipe`
  // ("| head -c 100").
  Session(const std::string& base, const std::string& program, const std::string& pipe = "");
  ~Session();
  void Type(const std::string& text, bool enter = true) const;
  void Press(const std::string& tmuxKey) const;  // "C-c"
  std::string Screen() const;
  bool WaitFor(const std::string& text) const;
  // Answers the start-up questions: port 1 and the operator's name.
  void Answer(const std::string& name) const;
  // Chooses "0" and returns the exit code.
  std::string Quit() const;
  // The exit code once the command has ended; empty when it doesn't end.
  std::string WaitForEnd() const;
  int Pid() const;
  bool TerminalAsBefore() const;
  const std::string& Base() const { return base_; }

 private:
  std::string base_, tmux_;
};

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

// What runs a command as a user who is not root: nothing when we aren't root, otherwise
// setpriv or runuser to "nobody". None when that is impossible here.
std::optional<std::string> UserWhoIsNotRoot();
