// How the programs start and end, and the codes they end with. However pxn32 ends, the
// terminal is as it was, the line is free for the next program and what the run has to
// say comes last, on stderr.
#include <fcntl.h>
#include <stdlib.h>

#include <filesystem>

#include "session.h"

// A serial line that nobody answers on and nobody frees: a pseudo-terminal whose far end
// the test holds, as a driver holds a real port's.
struct Line {
  int far = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  std::string path = grantpt(far) == 0 && unlockpt(far) == 0 ? ptsname(far) : "";
  ~Line() { close(far); }
};

// Each way ends two programs side by side: one on the simulated store, at its first
// question, before the store was asked anything (the menu's "0" at the menu), and one on
// a line of its own, at the menu. SIGKILL runs no code: the flag stays, for the server of
// the line to clear.
TEST_F(Pxn32, EveryWayOutRestoresTheTerminalFreesTheLineAndSaysTheRunsNotes) {
  const std::string ways[][2] = {// and their exit codes
                                 {"0", "0"},      {"C-c", "130"},  {"TERM", "143"}, {"HUP", "129"},
                                 {"QUIT", "131"}, {"PIPE", "141"}, {"USR1", "138"}, {"USR2", "140"},
                                 {"ALRM", "142"}, {"KILL", "137"}, {"EOF", "1"}};
  const size_t n = std::size(ways);
  const std::string log = dir_ + "/none/log";
  const std::vector<Step> toMenu = {
      {"Tavomir [1,2]", "1\r"}, {"Operator Name", "Tester\r"}, {"Enter [0..6]", ""}};
  std::vector<Line> lines(n);
  std::vector<std::vector<Step>> dialogues;
  for (size_t i = 0; i < 2 * n; ++i) {
    const std::string& way = ways[i % n][0];
    const std::string options =
        i < n ? "--sim --plate 2.3 --plate=1.2 --log " + log : "--device " + lines[i - n].path;
    Start(way + (i < n ? "" : "-line"), bin_ + "pxn32 " + options, way == "EOF");
    dialogues.push_back(i < n && way != "0" ? std::vector<Step>{{"Tavomir [1,2]", ""}} : toMenu);
  }
  ASSERT_TRUE(PlaySideBySide(dialogues));
  for (size_t i = 0; i < 2 * n; ++i) sessions_[i]->Send(ways[i % n][0]);

  const std::string notes = "pxn32: --log " + log +
                            ": No such file or directory; nothing was logged\n"
                            "simulated store: plates at 1.2 2.3, moves refused 0, plates lost 0\n";
  for (size_t i = 0; i < 2 * n; ++i) {
    const Session& session = *sessions_[i];
    const std::string& way = ways[i % n][0];
    SCOPED_TRACE(session.base);
    EXPECT_EQ(session.WaitForEnd(), ways[i % n][1]) << session.Screen();
    // Killed, it leaves the terminal as it had it, and says nothing.
    EXPECT_EQ(session.Restored(), way != "KILL") << session.Screen();
    const std::string said = way == "EOF" ? "pxn32: end of input, stopping.\n" : "";
    EXPECT_EQ(session.File(".err"), way == "KILL" ? "" : said + (i < n ? notes : ""));
  }
  for (size_t i = 0; i < n; ++i)
    EXPECT_EQ(ExclusiveFlag(lines[i].path), ways[i][0] == "KILL" ? 1 : 0) << ways[i][0];
}

// Refused starts: pxn32 only on a terminal it can draw on and read keys from, refused at
// once with one line why, nothing drawn and the terminal untouched; plcsim never over
// the live link of another.
TEST_F(Pxn32, StartsRefusedSayWhyInOneLineAndEndWithTheirCodes) {
  const auto plcsim = Plcsim("plcsim", "");
  ASSERT_TRUE(plcsim);
  std::filesystem::create_symlink(dir_ + "/gone", dir_ + "/stale");  // a plcsim killed left it
  const std::string pxn32 = bin_ + "pxn32", serve = bin_ + "plcsim --link ";
  const std::string tryPxn32 = "\nTry 'pxn32 --help' for more information.\n";
  const struct {
    std::string command, code, said;
  } cases[] = {
      {pxn32 + " --sim <&-", "2", "pxn32: standard input is closed: there are no keys to read\n"},
      {pxn32 + " >&-", "2", "pxn32: standard output is closed: there is nothing to draw on\n"},
      {pxn32 + " --sim >/dev/null", "2",
       "pxn32: standard output is not a terminal: the console draws on one\n"},
      {"env TERM=dumb " + pxn32 + " --sim", "2",
       "pxn32: the terminal (TERM=dumb) can't place its cursor: the console needs one that can\n"},
      {pxn32 + " --bogus", "2", "pxn32: unrecognized option '--bogus'" + tryPxn32},
      {pxn32 + " --levels 4", "2", "pxn32: the store's options need --sim" + tryPxn32},
      {pxn32 + " --sim --dev /dev/null", "2",
       "pxn32: --sim and --device exclude each other" + tryPxn32},
      {pxn32 + " --version >&2", "0", "pxn32 2.08\n"},
      {bin_ + "plcsim --version >&2", "0", "plcsim 2.08\n"},
      {bin_ + "plcsim --silent", "2",
       "plcsim: --link PATH is needed\nTry 'plcsim --help' for more information.\n"},
      {serve + link_, "1", "plcsim: another plcsim serves " + link_ + "; not replacing its link\n"},
      {"env -C " + dir_ + " " + serve + "./line", "1",
       "plcsim: another plcsim serves ./line; not replacing its link\n"},
      // Served until stopped.
      {"timeout 1 " + serve + dir_ + "/stale >/dev/null", "124", ""},
  };
  for (size_t i = 0; i < std::size(cases); ++i) Start(std::to_string(i), cases[i].command);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Session& session = *sessions_[i];
    SCOPED_TRACE(cases[i].command);
    EXPECT_EQ(session.WaitForEnd(), cases[i].code) << session.Screen();
    EXPECT_EQ(session.File(".err"), cases[i].said);
    EXPECT_TRUE(session.Restored()) << session.Screen();
    EXPECT_EQ(session.Screen().find("Tavomir"), std::string::npos) << "it drew";
  }
}
