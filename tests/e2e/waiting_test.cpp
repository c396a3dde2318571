// While a random-access test waits, with the real clock: for a Ready that never comes or
// between accesses. The operator and the system stop it, continue it and resize its
// terminal; the line goes away under it and comes back.
#include <filesystem>
#include <fstream>

#include "session.h"

// From the start into the random-access test of the carousel, one minute between
// accesses, until the screen shows `waiting`.
static std::vector<Step> IntoTheTest(const std::string& waiting) {
  return {{"Tavomir [1,2]", "1\r"}, {"Operator Name", "Tester\r"},   {"Enter [0..6]", "7\r"},
          {"[C,H,B]", "C"},         {"Interval Time [n=min", "1\r"}, {waiting, ""}};
}

// Row 2, with the cursor behind its text in column 73. A terminal narrower than the
// screen shows the columns up to the cursor's.
static std::string Row2(int cols) {
  const std::string row = "Levels detected: 2    RotPos detected: 2; Access OK;  Waiting for Ready";
  return row.substr(cols < 73 ? 73 - cols : 0);
}

static bool Stopped(const Session& session) {
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
    std::string job;  // how it runs: as a job of a shell with job control, or as it is
    int cols, rows;
    int width;  // of the status row as shown: the screen's, or the terminal's when narrower
  } cases[] = {{"stopped", "perl " + dir_ + "/job.pl ", 80, 25, 80},
               {"unstoppable", "", 80, 25, 80},
               {"shrunk", "", 80, 25, 40},
               {"small", "", 60, 20, 60},
               {"large", "", 200, 60, 200}};
  const std::string pxn32 = bin_ + "pxn32 --sim --positions 2 --levels 2 --ready-stuck";
  for (const auto& c : cases) Start(c.name, c.job + pxn32, false, c.cols, c.rows);
  ASSERT_TRUE(PlaySideBySide(std::vector(std::size(cases), IntoTheTest("Waiting"))));

  // Stopped as a job, it gives the terminal back as it was, and the shell writes over the
  // screen. Without job control nothing could continue it, so the system does not stop it.
  Session& job = *sessions_[0];
  for (int i : {0, 1}) sessions_[i]->Send("TSTP");
  ASSERT_TRUE(WaitUntil([&] { return Stopped(job); }));
  Output("printf '\\033[2J\\033[Hended' >" + job.Tty());
  ASSERT_TRUE(job.WaitFor("ended"));
  EXPECT_TRUE(job.Restored()) << job.Screen();
  job.Send("CONT");
  sessions_[2]->Tmux("resize-window -x 40 -y 12");
  for (size_t i = 0; i < std::size(cases); ++i) {
    Session& session = *sessions_[i];
    SCOPED_TRACE(cases[i].name);
    EXPECT_TRUE(WaitUntil([&] {
      const std::vector<std::string> rows = session.Rows();
      return rows.size() > 1 && rows[0].size() == static_cast<size_t>(cases[i].width) &&
             rows[1] == Row2(cases[i].width);
    })) << session.Screen();
    EXPECT_FALSE(Stopped(session));
    EXPECT_NE(session.TerminalNow(), session.File(".before")) << "not raw";
    session.Send("TERM");
    EXPECT_EQ(session.WaitForEnd(), "143");
    EXPECT_TRUE(session.Restored()) << session.Screen();
  }
}

// Waits that last cost next to no processor time: under 1 % of a core is the aim, 2 %
// fails. The line that went away comes back as another store, which the next pass of the
// menu reads; killed outright then, pxn32 leaves the line held, and plcsim frees it.
TEST_F(Pxn32, LongWaitsSleepAndALineThatComesBackServesAgain) {
  auto plcsim = Plcsim("plcsim", "--ready-stuck");
  ASSERT_TRUE(plcsim);
  const struct {
    const char* name;
    std::string options, waiting;
  } cases[] = {{"countdown", "--sim", "Wt 60/"},
               {"ready-stuck", "--sim --ready-stuck", "Waiting for Ready"},
               {"line-gone", "--device " + link_, "Waiting for Ready"}};
  std::vector<std::vector<Step>> into;
  for (const auto& c : cases) {
    Start(c.name, bin_ + "pxn32 " + c.options);
    into.push_back(IntoTheTest(c.waiting));
  }
  ASSERT_TRUE(PlaySideBySide(into));
  plcsim->Send("TERM");
  EXPECT_EQ(plcsim->WaitForEnd(), "0");
  EXPECT_FALSE(std::filesystem::is_symlink(link_)) << "the link is removed";
  EXPECT_NE(plcsim->Screen().find("plcsim: simulated store: plates at 1.1, moves refused 0, "
                                  "plates lost 0\nended"),
            std::string::npos)
      << plcsim->Screen();
  EXPECT_TRUE(sessions_[2]->WaitFor("Ready  ")) << sessions_[2]->Screen();

  const std::vector<double> cpu = CpuPercents(3000);
  for (size_t i = 0; i < std::size(cases); ++i)
    EXPECT_LT(cpu[i], 2.0) << cases[i].name << ": the wait spins";

  plcsim = Plcsim("plcsim-again", "--serial 4321");
  ASSERT_TRUE(plcsim);
  const std::vector<Step> out = {
      {"", "\x1b"}, {"Quit ? ", "Y"}, {"Time Summary", "x"}, {"Enter [0..6]", ""}};
  ASSERT_TRUE(PlaySideBySide(std::vector(std::size(cases), out)));
  sessions_[2]->Type("9\r");
  EXPECT_TRUE(sessions_[2]->WaitFor("# 4321")) << sessions_[2]->Screen();
  // A look at the line comes and goes, as a program that finds it busy: plcsim leaves
  // the flag to the program that holds the line, then and a moment later.
  EXPECT_EQ(ExclusiveFlag(link_), 1);
  usleep(300000);
  EXPECT_EQ(ExclusiveFlag(link_), 1) << "freed under the program that holds it";
  sessions_[2]->Send("KILL");
  EXPECT_EQ(sessions_[2]->WaitForEnd(), "137");
  EXPECT_TRUE(WaitUntil([&] { return ExclusiveFlag(link_) == 0; })) << "still held";
}
