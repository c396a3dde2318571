// What the operator and the system do to pxn32 while a random-access test runs: the
// signals that end it, a stop and a continue, the end of its input, terminals of other
// sizes and one resized under it. The terminal is left as it was and the line free for
// the next program; a resumed or resized screen is drawn again in full.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "session.h"

namespace {

constexpr char kPlateOut[] = "Unld Plate form 1,1   OK OK OK";
constexpr char kWaitingRow[] =
    "Levels detected: 2    RotPos detected: 2; Access OK;  Waiting for Ready";

// A plcsim of its own at `link`, run by `run` (a user to run it as); stopped at the end.
class Store {
 public:
  Store(const std::string& plcsim, const std::string& link, const std::string& options,
        const std::string& run)
      : link_(link) {
    RunShell(run + plcsim + " --link " + link + " " + options + " >/dev/null 2>&1 & echo $! >" +
             link + ".pid");
  }
  ~Store() {
    RunShell("kill $(cat " + link_ + ".pid) 2>/dev/null");
    WaitUntil([&] { return !std::filesystem::is_symlink(link_); });
  }
  bool Up() const {
    return WaitUntil([&] { return std::filesystem::is_symlink(link_); });
  }

 private:
  std::string link_;
};

char ProcessState(int pid) {
  const std::string stat = ReadFile("/proc/" + std::to_string(pid) + "/stat");
  const size_t end = stat.rfind(')');
  return end == std::string::npos || end + 2 >= stat.size() ? '?' : stat[end + 2];
}

std::string TerminalSettings(const Session& session) {
  const std::string file = session.Base() + ".now";
  RunShell("stty -g <" + session.Query("#{pane_tty}") + " >" + file);
  return ReadFile(file);
}

// Esc and Y, the summary, a key, the menu, "0".
const std::vector<Step> kOutOfTheTest = {{"", "Escape", false, true},
                                         {"Quit ? ", "Y"},
                                         {"Complete Access Time Summary", "x"},
                                         {"Enter [0..6]", "0", true}};

// The next pxn32 on a line finds the controller and ends with "0".
const std::vector<Step> kConnectAndQuit = {{"Tavomir [1,2]", "1", true},
                                           {"Enter Operator Name", "Next", true},
                                           {"Communication Request to Hardware CC", ""},
                                           {"Enter [0..6]", "0", true}};

// Run as a user who is not root, for whom a line's exclusive use counts, each on a
// plcsim of its own, ended while the handler takes the test plate out.
TEST_F(Pxn32, SignalsInTheMiddleOfATestEndItWithTheirCodeAndFreeTheLine) {
  const std::optional<std::string> user = UserWhoIsNotRoot();
  if (!user) GTEST_SKIP() << "cannot run as a user who is not root (no setpriv or runuser)";
  ASSERT_NO_FATAL_FAILURE(RunFromScratchFolder());
  const struct {
    const char* name;
    int signal;
    bool byKey;  // Ctrl-C at the terminal rather than kill
  } ends[] = {{"Ctrl-C", SIGINT, true},
              {"SIGTERM", SIGTERM, false},
              {"SIGHUP", SIGHUP, false},
              {"SIGQUIT", SIGQUIT, false}};
  std::vector<std::unique_ptr<Store>> stores;
  std::vector<std::unique_ptr<Session>> owned;
  std::vector<const Session*> sessions, next;
  std::vector<std::vector<Step>> into, again;
  for (const auto& end : ends) {
    const std::string link = dir_ + "/" + end.name + ".line";
    stores.push_back(std::make_unique<Store>(Program("plcsim"), link, "--positions 2", *user));
    ASSERT_TRUE(stores.back()->Up()) << end.name;
    const std::string pxn32 = *user + Program("pxn32") + " --device " + link;
    owned.push_back(std::make_unique<Session>(dir_ + "/" + end.name, pxn32));
    sessions.push_back(owned.back().get());
    into.push_back(IntoRandomAccessTest("B"));
    into.back().push_back({kPlateOut, ""});
    owned.push_back(std::make_unique<Session>(dir_ + "/" + end.name + "-next", pxn32));
    next.push_back(owned.back().get());  // waits at its first question until its turn
    again.push_back(kConnectAndQuit);
  }
  ASSERT_TRUE(PlaySideBySide(sessions, into));
  for (size_t i = 0; i < sessions.size(); ++i) {
    if (ends[i].byKey) {
      sessions[i]->Press("C-c");
    } else {
      kill(sessions[i]->Pid(), ends[i].signal);
    }
  }
  for (size_t i = 0; i < sessions.size(); ++i) {
    SCOPED_TRACE(ends[i].name);
    EXPECT_EQ(sessions[i]->WaitForEnd(), std::to_string(128 + ends[i].signal) + "\n");
    EXPECT_TRUE(sessions[i]->TerminalAsBefore());
    EXPECT_TRUE(sessions[i]->DisplayRestored());
  }
  ASSERT_TRUE(PlaySideBySide(next, again));
  for (const Session* session : next) EXPECT_EQ(session->WaitForEnd(), "0\n") << session->Base();
}

// Runs a command as a shell with job control runs a job: in a process group of its own,
// in the terminal's foreground, so that a stop stops it.
constexpr char kAsAJob[] = R"(use POSIX;
$SIG{TTOU} = 'IGNORE';
setpgid(0, 0);
tcsetpgrp(0, getpid());
$SIG{TTOU} = 'DEFAULT';
exec @ARGV or die;
)";

bool WholeScreenShows(const Session& session) {
  const std::vector<std::string> rows = session.Rows();
  return rows.size() >= 3 && rows[0].starts_with("Plaxon    ComPort 1  SNr. 1234") &&
         rows[1] == kWaitingRow && rows[2].starts_with(kPlateOut) &&
         session.Screen().find("the shell wrote") == std::string::npos;
}

// A job stopped gives the terminal back to the shell; continued, it takes the keyboard
// raw again and draws the whole screen anew over whatever the shell left there. Started
// without job control, nothing could continue it, so the system does not stop it: it
// keeps the terminal and goes on.
TEST_F(Pxn32, AStopAndAContinueInTheMiddleOfATestRedrawTheWholeScreen) {
  std::ofstream(dir_ + "/job.pl") << kAsAJob;
  const std::string pxn32 = Program("pxn32") + " --sim --positions 2 --levels 2";
  Session job(dir_ + "/job", "perl " + dir_ + "/job.pl " + pxn32);
  Session orphan(dir_ + "/orphan", pxn32);
  std::vector<Step> into = IntoRandomAccessTest("B");
  into.push_back({kPlateOut, ""});
  ASSERT_TRUE(PlaySideBySide({&job, &orphan}, {into, into}));
  const std::string before = ReadFile(job.Base() + ".before");
  ASSERT_NE(TerminalSettings(job), before) << "not raw while it runs";

  kill(job.Pid(), SIGTSTP);
  kill(orphan.Pid(), SIGTSTP);
  ASSERT_TRUE(WaitUntil([&] { return ProcessState(job.Pid()) == 'T'; }));
  EXPECT_EQ(TerminalSettings(job), before);
  EXPECT_EQ(job.Query("#{wrap_flag}#{cursor_flag}"), "11");
  RunShell("printf '\\033[2J\\033[Hthe shell wrote here' >" + job.Query("#{pane_tty}"));
  ASSERT_TRUE(job.WaitFor("the shell wrote here"));
  kill(job.Pid(), SIGCONT);

  EXPECT_TRUE(WaitUntil([&] { return WholeScreenShows(job); })) << job.Screen();
  EXPECT_NE(TerminalSettings(job), before) << "not raw again";
  EXPECT_TRUE(WaitUntil([&] { return WholeScreenShows(orphan); })) << orphan.Screen();
  EXPECT_NE(ProcessState(orphan.Pid()), 'T');
  EXPECT_NE(TerminalSettings(orphan), ReadFile(orphan.Base() + ".before")) << "not raw";
  ASSERT_TRUE(PlaySideBySide({&job, &orphan}, {kOutOfTheTest, kOutOfTheTest}));
  for (const Session* session : {&job, &orphan}) {
    SCOPED_TRACE(session->Base());
    EXPECT_EQ(session->WaitForEnd(), "0\n");
    EXPECT_TRUE(session->TerminalAsBefore());
    EXPECT_TRUE(session->DisplayRestored());
  }
}

// Keys from a pipe that closes while the test runs: code 1 and a word why, then what the
// run has to say (a log that failed, the simulated store's books), as after "0"; the
// display as it was.
TEST_F(Pxn32, TheEndOfItsInputInTheMiddleOfATestEndsItWithCode1) {
  const std::string keys = dir_ + "/keys", err = dir_ + "/err", log = dir_ + "/none/log";
  ASSERT_EQ(mkfifo(keys.c_str(), 0600), 0);
  Session session(dir_ + "/piped", Program("pxn32") + " --sim --positions 2 --levels 2 --log " +
                                       log + " <" + keys + " 2>" + err);
  int fd = -1;  // opens once the program's end is open
  ASSERT_TRUE(WaitUntil([&] {
    return fd >= 0 || (fd = open(keys.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)) >= 0;
  }));
  std::vector<Step> into = IntoRandomAccessTest("B");
  into.push_back({kPlateOut, ""});
  for (const Step& step : into) {
    ASSERT_TRUE(session.WaitFor(step.awaited)) << session.Screen();
    const std::string typed = step.keys + (step.enter ? "\r" : "");
    ASSERT_EQ(write(fd, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  }
  close(fd);
  EXPECT_EQ(session.WaitForEnd(), "1\n");
  EXPECT_TRUE(std::regex_match(
      ReadFile(err),
      std::regex("pxn32: end of input, stopping.\n"
                 "pxn32: --log " + log + ": No such file or directory; nothing was logged\n"
                 "simulated store: plates at [0-9.a-z]+, moves refused 0, plates lost 0\n")))
      << ReadFile(err);
  EXPECT_TRUE(session.TerminalAsBefore());
  EXPECT_TRUE(session.DisplayRestored());
  // Input that ends before the first request: the books as the store started.
  Session empty(dir_ + "/empty", Program("pxn32") + " --sim </dev/null 2>" + err);
  EXPECT_EQ(empty.WaitForEnd(), "1\n");
  EXPECT_EQ(ReadFile(err),
            "pxn32: end of input, stopping.\n"
            "simulated store: plates at 1.1, moves refused 0, plates lost 0\n");
}

// The screen is 80 x 25 at least, up to the terminal's size at start. A smaller terminal
// shows the status row and the part around the cursor; a larger one the whole screen
// at its size. Each waits for a Ready that never comes, its cursor behind row 2's text.
TEST_F(Pxn32, SmallLargeAndResizedTerminalsShowTheRowTypedOn) {
  const std::string pxn32 = Program("pxn32") + " --sim --positions 2 --levels 2 --ready-stuck";
  Session small(dir_ + "/small", pxn32, "", 60, 20);
  Session large(dir_ + "/large", pxn32, "", 200, 60);
  Session resized(dir_ + "/resized", pxn32);
  const std::vector<const Session*> all = {&small, &large, &resized};
  ASSERT_TRUE(PlaySideBySide(
      all, {IntoRandomAccessTest("B"), IntoRandomAccessTest("B"), IntoRandomAccessTest("B")}));
  // Row 2's text ends in column 72: the narrow terminal shows its last 60 columns.
  EXPECT_TRUE(small.WaitFor(std::string(kWaitingRow).substr(72 - 60 + 1) + "\n")) << small.Screen();
  EXPECT_TRUE(large.WaitFor(std::string(kWaitingRow) + "\n")) << large.Screen();
  const std::regex wide(R"(Plaxon    ComPort 1  SNr\. 1234  .{20,} +\d\d:\d\d:\d\d)");
  EXPECT_TRUE(WaitUntil([&] {
    const std::string first = large.Rows().front();
    return first.size() == 200 && std::regex_match(first, wide);
  })) << large.Screen();

  ASSERT_TRUE(resized.WaitFor(kWaitingRow)) << resized.Screen();
  resized.Resize(40, 12);
  EXPECT_TRUE(resized.WaitFor(std::string(kWaitingRow).substr(72 - 40 + 1) + "\n"))
      << resized.Screen();
  resized.Resize(100, 30);
  EXPECT_TRUE(WaitUntil([&] {
    const std::vector<std::string> now = resized.Rows();
    return now.size() == 30 && now[0].starts_with("Plaxon    ComPort 1  SNr. 1234") &&
           now[0].size() == 80 && now[1] == kWaitingRow;
  })) << resized.Screen();

  const std::vector<std::vector<Step>> out(3, kOutOfTheTest);
  ASSERT_TRUE(PlaySideBySide(all, out));
  for (const Session* session : all) {
    SCOPED_TRACE(session->Base());
    EXPECT_EQ(session->WaitForEnd(), "0\n");
    EXPECT_TRUE(session->TerminalAsBefore());
    EXPECT_TRUE(session->DisplayRestored());
  }
}

}  // namespace
