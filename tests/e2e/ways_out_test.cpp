// However pxn32 ends, the terminal is as it was and the line is free for the next one.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "session.h"

namespace {

// How a session is ended once the menu shows.
struct WayOut {
  const char* name;
  int signal;  // 0: the menu's "0"
  bool byKey;  // Ctrl-C at the terminal rather than kill
};

void End(const Session& session, const WayOut& way) {
  if (way.signal == 0) {
    session.Type("0");
  } else if (way.byKey) {
    session.Press("C-c");
  } else {
    kill(session.Pid(), way.signal);
  }
}

std::string ExitCode(const WayOut& way) {
  return std::to_string(way.signal == 0 ? 0 : 128 + way.signal) + "\n";
}

// Every signal whose default ends the program restores the terminal first: Ctrl-C, kill,
// a closed terminal (SIGHUP), a reader that went away (SIGPIPE), the user and timer
// signals.
TEST_F(Pxn32, EverySignalThatEndsItRestoresTheTerminal) {
  const WayOut ways[] = {{"Ctrl-C", SIGINT, true},    {"SIGTERM", SIGTERM, false},
                         {"SIGHUP", SIGHUP, false},   {"SIGQUIT", SIGQUIT, false},
                         {"SIGPIPE", SIGPIPE, false}, {"SIGUSR1", SIGUSR1, false},
                         {"SIGUSR2", SIGUSR2, false}, {"SIGALRM", SIGALRM, false}};
  std::vector<std::unique_ptr<Session>> sessions;  // side by side, each on its own simulator
  for (const WayOut& way : ways)
    sessions.push_back(std::make_unique<Session>(
        dir_ + "/" + way.name,
        Program("pxn32") + " --sim 2>" + dir_ + "/" + way.name + ".err"));
  for (size_t i = 0; i < sessions.size(); ++i) {
    SCOPED_TRACE(ways[i].name);
    ASSERT_NO_FATAL_FAILURE(sessions[i]->Answer("Tester"));
  }
  for (size_t i = 0; i < sessions.size(); ++i) {
    SCOPED_TRACE(ways[i].name);
    ASSERT_TRUE(sessions[i]->WaitFor("Enter [0..6]")) << sessions[i]->Screen();
    End(*sessions[i], ways[i]);
  }
  for (size_t i = 0; i < sessions.size(); ++i) {
    SCOPED_TRACE(ways[i].name);
    EXPECT_EQ(sessions[i]->WaitForEnd(), ExitCode(ways[i])) << sessions[i]->Screen();
    EXPECT_TRUE(sessions[i]->TerminalAsBefore()) << "the terminal is left changed";
    EXPECT_TRUE(sessions[i]->DisplayRestored()) << "colours, cursor or autowrap left changed";
    // The store's books as the last request left them.
    EXPECT_EQ(ReadFile(dir_ + "/" + ways[i].name + ".err"),
              "simulated store: plates at 1.1, moves refused 0, plates lost 0\n");
  }
}

// Run as a user who is not root, for whom the exclusive-use flag counts: after each end,
// SIGKILL included, the next pxn32 opens the same plcsim line.
TEST_F(Pxn32, AfterEveryEndTheNextProgramOpensTheSameLine) {
  const std::optional<std::string> user = UserWhoIsNotRoot();
  if (!user) GTEST_SKIP() << "cannot run as a user who is not root (no setpriv or runuser)";
  ASSERT_NO_FATAL_FAILURE(RunFromScratchFolder());
  const std::string link = dir_ + "/line";
  ASSERT_TRUE(StartPlcsim(link, "", *user));
  const std::string program = *user + Program("pxn32") + " --device " + link;

  const WayOut ways[] = {{"SIGKILL", SIGKILL, false},
                         {"Ctrl-C", SIGINT, true},
                         {"SIGTERM", SIGTERM, false},
                         {"SIGHUP", SIGHUP, false},
                         {"0", 0, false}};
  std::string before = "none";
  for (const WayOut& way : ways) {
    SCOPED_TRACE("the one before ended by " + before);
    Session session(dir_ + "/" + way.name, program);
    ASSERT_NO_FATAL_FAILURE(session.Answer("Tester"));
    ASSERT_TRUE(session.WaitFor("Communication Request to Hardware CC")) << session.Screen();
    ASSERT_TRUE(session.WaitFor("Enter [0..6]")) << session.Screen();
    End(session, way);
    EXPECT_EQ(session.WaitForEnd(), ExitCode(way)) << session.Screen();
    before = way.name;
  }
  Session last(dir_ + "/last", program);
  ASSERT_NO_FATAL_FAILURE(last.Answer("Tester"));
  EXPECT_TRUE(last.WaitFor("Communication Request to Hardware CC")) << last.Screen();
  EXPECT_EQ(last.Quit(), "0\n");
}

}  // namespace
