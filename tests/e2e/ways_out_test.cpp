// How the programs start and end, and the codes they end with. However pxn32 ends, the
// terminal is as it was, the line is free for the next program and what the run has to
// say comes last, on stderr.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "session.h"

namespace {

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
  const struct {
    const char* way;
    const char* code;
  } ways[] = {{"0", "0"},      {"C-c", "130"},  {"TERM", "143"}, {"HUP", "129"},
              {"QUIT", "131"}, {"PIPE", "141"}, {"USR1", "138"}, {"USR2", "140"},
              {"ALRM", "142"}, {"KILL", "137"}, {"EOF", "1"}};
  const size_t n = std::size(ways);
  const std::string log = dir_ + "/none/log";
  const std::vector<Step> toMenu = {
      {"Tavomir [1,2]", "1\r"}, {"Operator Name", "Tester\r"}, {"Enter [0..6]", ""}};
  std::vector<Line> lines(n);
  Sessions sessions;
  std::vector<std::vector<Step>> dialogues;
  for (size_t i = 0; i < 2 * n; ++i) {
    const std::string way = ways[i % n].way, base = dir_ + "/" + way + (i < n ? "" : "-line");
    const std::string options =
        i < n ? "--sim --plate 2.3 --plate=1.2 --log " + log : "--device " + lines[i - n].path;
    sessions.push_back(
        std::make_unique<Session>(base, Program("pxn32") + " " + options, way == "EOF"));
    dialogues.push_back(i < n && way != "0" ? std::vector<Step>{{"Tavomir [1,2]", ""}} : toMenu);
  }
  ASSERT_TRUE(PlaySideBySide(sessions, dialogues));
  for (size_t i = 0; i < 2 * n; ++i) EndBy(*sessions[i], ways[i % n].way);

  const std::string notes = "pxn32: --log " + log +
                            ": No such file or directory; nothing was logged\n"
                            "simulated store: plates at 1.2 2.3, moves refused 0, plates lost 0\n";
  for (size_t i = 0; i < 2 * n; ++i) {
    const Session& session = *sessions[i];
    const std::string way = ways[i % n].way;
    SCOPED_TRACE(session.Base());
    EXPECT_EQ(session.WaitForEnd(), ways[i % n].code + std::string("\n")) << session.Screen();
    if (way != "KILL") {
      EXPECT_TRUE(session.TerminalAsBefore());
      EXPECT_TRUE(session.DisplayRestored()) << "colours, cursor or autowrap left changed";
    }
    const std::string eof = way == "EOF" ? "pxn32: end of input, stopping.\n" : "";
    if (i < n) {
      EXPECT_EQ(session.File(".err"), way == "KILL" ? "" : eof + notes);
    } else {
      EXPECT_EQ(ExclusiveFlag(lines[i - n].path), way == "KILL" ? 1 : 0);
    }
  }
}

// Refused starts: pxn32 only on a terminal it can draw on and read keys from, refused at
// once with one line why, nothing drawn and the terminal untouched; plcsim never over
// the live link of another.
TEST_F(Pxn32, StartsRefusedSayWhyInOneLineAndEndWithTheirCodes) {
  const std::string link = dir_ + "/line";
  ASSERT_TRUE(StartPlcsim(link, ""));
  std::filesystem::create_symlink(dir_ + "/gone", dir_ + "/stale");  // a plcsim killed left it
  const std::string bin = Program(""), tryPxn32 = "\nTry 'pxn32 --help' for more information.\n";
  const struct {
    std::string command, code, said;
  } cases[] = {
      {bin + "pxn32 --sim <&-", "2",
       "pxn32: standard input is closed: there are no keys to read\n"},
      {bin + "pxn32 >&-", "2", "pxn32: standard output is closed: there is nothing to draw on\n"},
      {bin + "pxn32 --sim >/dev/null", "2",
       "pxn32: standard output is not a terminal: the console draws on one\n"},
      {"env TERM=dumb " + bin + "pxn32 --sim", "2",
       "pxn32: the terminal (TERM=dumb) can't place its cursor: the console needs one that can\n"},
      {bin + "pxn32 --bogus", "2", "pxn32: unrecognized option '--bogus'" + tryPxn32},
      {bin + "pxn32 --levels 4", "2", "pxn32: the store's options need --sim" + tryPxn32},
      {bin + "pxn32 --sim --dev /dev/null", "2",
       "pxn32: --sim and --device exclude each other" + tryPxn32},
      {bin + "pxn32 --version >&2", "0", "pxn32 2.08\n"},
      {bin + "plcsim --version >&2", "0", "plcsim 2.08\n"},
      {bin + "plcsim --silent", "2",
       "plcsim: --link PATH is needed\nTry 'plcsim --help' for more information.\n"},
      {bin + "plcsim --link " + link, "1",
       "plcsim: another plcsim serves " + link + "; not replacing its link\n"},
      {"env -C " + dir_ + " " + bin + "plcsim --link ./line", "1",
       "plcsim: another plcsim serves ./line; not replacing its link\n"},
      // Served until stopped.
      {"timeout 1 " + bin + "plcsim --link " + dir_ + "/stale >/dev/null", "124", ""},
  };
  Sessions sessions;
  for (size_t i = 0; i < std::size(cases); ++i)
    sessions.push_back(std::make_unique<Session>(dir_ + "/" + std::to_string(i), cases[i].command));
  for (size_t i = 0; i < std::size(cases); ++i) {
    const Session& session = *sessions[i];
    SCOPED_TRACE(cases[i].command);
    EXPECT_EQ(session.WaitForEnd(), cases[i].code + "\n") << session.Screen();
    EXPECT_EQ(session.File(".err"), cases[i].said);
    EXPECT_TRUE(session.TerminalAsBefore());
    EXPECT_EQ(session.Screen().find("Tavomir"), std::string::npos) << "it drew";
  }
}

}  // namespace
