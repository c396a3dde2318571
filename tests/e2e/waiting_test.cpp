// While a random-access test waits, with the real clock: for a Ready that never comes or
// between accesses. The operator and the system stop it, continue it and resize its
// terminal; the line goes away under it and comes back.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "session.h"

namespace {

// From the start into the random-access test of the carousel, one minute between
// accesses, until the screen shows `waiting`.
std::vector<Step> IntoTheTest(const std::string& waiting) {
  return {{"Tavomir [1,2]", "1\r"}, {"Operator Name", "Tester\r"},   {"Enter [0..6]", "7\r"},
          {"[C,H,B]", "C"},         {"Interval Time [n=min", "1\r"}, {waiting, ""}};
}

// Row 2, with the cursor behind its text in column 73. A terminal narrower than the
// screen shows the columns up to the cursor's.
std::string Row2(int cols) {
  const std::string row = "Levels detected: 2    RotPos detected: 2; Access OK;  Waiting for Ready";
  return row.substr(cols < 73 ? 73 - cols : 0);
}

bool Stopped(const Session& session) {
  return Output("ps -o stat= -p " + std::to_string(session.Pid())).starts_with("T");
}

// Each time the screen is drawn again in full and the keyboard is raw again.
TEST_F(Pxn32, AfterAStopAContinueOrAResizeTheWholeScreenIsDrawnAgain) {
  // Run as a shell with job control runs a job: in a process group of its own, in the
  // terminal's foreground, so that a stop stops it.
  std::ofstream(dir_ + "/job.pl")
      << "use POSIX; $SIG{TTOU} = 'IGNORE'; setpgid(0, 0);\n"
         "tcsetpgrp(0, getpid()); $SIG{TTOU} = 'DEFAULT'; exec @ARGV;\n";
  const struct {
    const char* name;
    int cols, rows;
    int width;  // of the status row as shown: the screen's, or the terminal's when narrower
  } cases[] = {{"stopped", 80, 25, 80},
               {"unstoppable", 80, 25, 80},
               {"shrunk", 80, 25, 40},
               {"small", 60, 20, 60},
               {"large", 200, 60, 200}};
  const std::string pxn32 = Program("pxn32") + " --sim --positions 2 --levels 2 --ready-stuck";
  Sessions sessions;
  for (const auto& c : cases)
    sessions.push_back(std::make_unique<Session>(
        dir_ + "/" + c.name,
        (c.name == std::string("stopped") ? "perl " + dir_ + "/job.pl " : "") + pxn32, false,
        c.cols, c.rows));
  ASSERT_TRUE(PlaySideBySide(sessions, std::vector(sessions.size(), IntoTheTest("Waiting"))));

  // Stopped as a job, it gives the terminal back as it was, and the shell writes over the
  // screen. Without job control nothing could continue it, so the system does not stop it.
  Session& job = *sessions[0];
  for (int i : {0, 1}) EndBy(*sessions[i], "TSTP");
  ASSERT_TRUE(WaitUntil([&] { return Stopped(job); }));
  EXPECT_EQ(job.TerminalNow(), job.File(".before"));
  EXPECT_EQ(job.Query("#{wrap_flag}#{cursor_flag}"), "11");
  Output("printf '\\033[2J\\033[Hthe shell wrote here' >" + job.Query("#{pane_tty}"));
  ASSERT_TRUE(job.WaitFor("the shell wrote here"));
  EndBy(job, "CONT");
  sessions[2]->Tmux("resize-window -x 40 -y 12");
  for (size_t i = 0; i < sessions.size(); ++i) {
    const Session& session = *sessions[i];
    SCOPED_TRACE(cases[i].name);
    EXPECT_TRUE(WaitUntil([&] {
      const std::vector<std::string> rows = session.Rows();
      return rows.size() > 1 && rows[0].size() == static_cast<size_t>(cases[i].width) &&
             rows[1] == Row2(cases[i].width);
    })) << session.Screen();
    EXPECT_FALSE(Stopped(session));
    EXPECT_NE(session.TerminalNow(), session.File(".before")) << "not raw";
    EndBy(*sessions[i], "TERM");
    EXPECT_EQ(session.WaitForEnd(), "143\n");
    EXPECT_TRUE(session.TerminalAsBefore());
    EXPECT_TRUE(session.DisplayRestored());
  }
}

// Waits that last cost next to no processor time: under 1 % of a core is the aim, 2 %
// fails. The line that went away comes back as another store, which the next pass of the
// menu reads; killed outright then, pxn32 leaves the line held, and plcsim frees it.
TEST_F(Pxn32, LongWaitsSleepAndALineThatComesBackServesAgain) {
  const std::string link = dir_ + "/line";
  ASSERT_TRUE(StartPlcsim(link, "--ready-stuck"));
  const struct {
    const char* name;
    std::string options, waiting;
  } cases[] = {{"countdown", "--sim", "Wt 60/"},
               {"ready-stuck", "--sim --ready-stuck", "Waiting for Ready"},
               {"line-gone", "--device " + link, "Waiting for Ready"}};
  Sessions sessions;
  std::vector<std::vector<Step>> into;
  for (const auto& c : cases) {
    sessions.push_back(
        std::make_unique<Session>(dir_ + "/" + c.name, Program("pxn32") + " " + c.options));
    into.push_back(IntoTheTest(c.waiting));
  }
  ASSERT_TRUE(PlaySideBySide(sessions, into));
  EXPECT_EQ(StopPlcsim(), "0\n");
  EXPECT_FALSE(std::filesystem::is_symlink(link)) << "the link is removed";
  EXPECT_TRUE(ReadFile(dir_ + "/plcsim.out")
                  .ends_with("plcsim: simulated store: plates at 1.1, moves refused 0, "
                             "plates lost 0\n"))
      << ReadFile(dir_ + "/plcsim.out");
  EXPECT_TRUE(sessions[2]->WaitFor("Ready  ")) << sessions[2]->Screen();

  std::vector<int> pids;
  for (const auto& session : sessions) pids.push_back(session->Pid());
  const std::vector<double> cpu = CpuPercents(pids, 3000);
  for (size_t i = 0; i < sessions.size(); ++i) {
    std::printf("waiting in %s: %.2f %% of a core\n", cases[i].name, cpu[i]);
    EXPECT_LT(cpu[i], 2.0) << cases[i].name << ": the wait spins";
  }

  ASSERT_TRUE(StartPlcsim(link, "--serial 4321"));
  const std::vector<Step> out = {
      {"", "\x1b"}, {"Quit ? ", "Y"}, {"Time Summary", "x"}, {"Enter [0..6]", ""}};
  ASSERT_TRUE(PlaySideBySide(sessions, std::vector(sessions.size(), out)));
  sessions[2]->Type("9\r");
  EXPECT_TRUE(sessions[2]->WaitFor("# 4321")) << sessions[2]->Screen();
  // A look at the line comes and goes, as a program that finds it busy: plcsim leaves
  // the flag to the program that holds the line.
  EXPECT_EQ(ExclusiveFlag(link), 1);
  for (int i : {0, 1}) EndBy(*sessions[i], "0");
  for (int i : {0, 1}) EXPECT_EQ(sessions[i]->WaitForEnd(), "0\n");
  EXPECT_EQ(ExclusiveFlag(link), 1) << "freed under the program that holds it";
  EndBy(*sessions[2], "KILL");
  EXPECT_EQ(sessions[2]->WaitForEnd(), "137\n");
  EXPECT_TRUE(WaitUntil([&] { return ExclusiveFlag(link) == 0; })) << "still held";
}

}  // namespace
