// However pxn32 ends, the terminal is as it was, the line is free for the next program
// and what the run has to say comes last, on stderr.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

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
      {"Tavomir [1,2]", "1", true}, {"Enter Operator Name", "Tester", true}, {"Enter [0..6]", ""}};
  std::vector<Line> lines(n);
  Sessions sessions;
  std::vector<std::vector<Step>> dialogues;
  for (size_t i = 0; i < 2 * n; ++i) {
    const std::string way = ways[i % n].way, base = dir_ + "/" + way + (i < n ? "" : "-line");
    const std::string options =
        i < n ? "--sim --plate 2.3 --plate=1.2 --log " + log : "--device " + lines[i - n].path;
    sessions.push_back(std::make_unique<Session>(
        base, Program("pxn32") + " " + options + " 2>" + base + ".err", way == "EOF"));
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
    const std::string said = ReadFile(session.Base() + ".err");
    const std::string eof = way == "EOF" ? "pxn32: end of input, stopping.\n" : "";
    if (i < n) {
      EXPECT_EQ(said, way == "KILL" ? "" : eof + notes);
    } else {
      EXPECT_EQ(ExclusiveFlag(lines[i - n].path), way == "KILL" ? 1 : 0);
    }
  }
}

}  // namespace
