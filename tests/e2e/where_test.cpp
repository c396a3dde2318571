// Where the programs may run: pxn32 only on a terminal it can draw on and read keys
// from; plcsim never over the live link of another.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "session.h"

namespace {

std::string LinkTarget(const std::string& link) {
  std::error_code error;
  return std::filesystem::read_symlink(link, error).string();
}

// Refused at once, before the simulator or a line is opened: a screen drawn blind with
// the keyboard raw, or keys read from the simulated line, would strand the user.
TEST_F(Pxn32, RefusesToRunWithoutAScreenAndKeyboardOfItsOwn) {
  const std::string noKeys = "pxn32: standard input is closed: there are no keys to read\n";
  const std::string noScreen = "pxn32: standard output is closed: there is nothing to draw on\n";
  const std::string notTty = "pxn32: standard output is not a terminal: the console draws on one\n";
  const std::string dumb =
      "pxn32: the terminal (TERM=dumb) can't place its cursor: the console needs one that can\n";
  const struct {
    const char* name;
    std::string before, after;  // around the program
    const char* pipe;
    std::string message;
  } cases[] = {
      {"input-closed", "", "--sim <&-", "", noKeys},
      {"input-closed-line", "", "<&-", "", noKeys},
      {"output-closed", "", "--sim >&-", "", noScreen},
      {"output-closed-line", "", ">&-", "", noScreen},
      {"output-piped", "", "--sim", "| cat >/dev/null", notTty},
      {"output-to-file", "", "--sim >" + dir_ + "/screen", "", notTty},
      {"dumb", "env TERM=dumb ", "--sim", "", dumb},
  };
  std::vector<std::unique_ptr<Session>> sessions;
  for (const auto& c : cases) {
    const std::string base = dir_ + "/" + c.name;
    sessions.push_back(std::make_unique<Session>(
        base, c.before + Program("pxn32") + " " + c.after + " 2>" + base + ".err", c.pipe));
  }
  for (size_t i = 0; i < sessions.size(); ++i) {
    SCOPED_TRACE(cases[i].name);
    const Session& session = *sessions[i];
    // Piped, the code is the reader's; the message tells the rest.
    EXPECT_EQ(session.WaitForEnd(), cases[i].pipe[0] ? "0\n" : "2\n") << session.Screen();
    EXPECT_EQ(ReadFile(session.Base() + ".err"), cases[i].message);
    EXPECT_TRUE(session.TerminalAsBefore());
    EXPECT_EQ(session.Screen().find("Tavomir"), std::string::npos) << "it drew";
  }
  EXPECT_EQ(ReadFile(dir_ + "/screen"), "");
}

// A link whose plcsim still serves it stays; one left behind by a plcsim that has gone
// is replaced; --link without its path says so.
TEST_F(Pxn32, PlcsimLeavesTheLiveLinkOfAnotherAlone) {
  const std::string link = dir_ + "/line", plcsim = Program("plcsim");
  ASSERT_TRUE(StartPlcsim(link, ""));
  const std::string served = LinkTarget(link);
  ASSERT_NE(served, "");
  // Bounded: one that took the link over would serve until stopped.
  const std::string second = "timeout 10 " + plcsim + " --link ";
  for (const std::string& command : {second + link, "cd " + dir_ + " && " + second + "./line"}) {
    EXPECT_EQ(RunShell(command + " >/dev/null 2>" + dir_ + "/err"), 1) << command;
    EXPECT_NE(ReadFile(dir_ + "/err").find("another plcsim serves "), std::string::npos)
        << ReadFile(dir_ + "/err");
    EXPECT_EQ(LinkTarget(link), served);
  }
  Session pxn32(dir_ + "/pxn32", Program("pxn32") + " --device " + link);
  ASSERT_NO_FATAL_FAILURE(pxn32.Answer("Tester"));
  EXPECT_TRUE(pxn32.WaitFor("Communication Request to Hardware CC")) << pxn32.Screen();
  EXPECT_EQ(pxn32.Quit(), "0\n");
  EXPECT_EQ(StopPlcsim(), "0\n");

  std::filesystem::create_symlink(dir_ + "/gone", link);  // left behind by a plcsim killed
  ASSERT_TRUE(StartPlcsim(link, ""));
  EXPECT_TRUE(WaitUntil([&] { return std::filesystem::exists(LinkTarget(link)); }));
  EXPECT_EQ(StopPlcsim(), "0\n");

  const std::pair<std::string, std::string> usage[] = {
      {"--link", "plcsim: option '--link' requires an argument\n"},
      {"--link --silent", "plcsim: option '--link' needs a path, not the option '--silent'\n"},
      {"--silent", "plcsim: --link PATH is needed\n"},
  };
  for (const auto& [options, message] : usage) {
    EXPECT_EQ(RunShell(plcsim + " " + options + " 2>" + dir_ + "/err"), 2) << options;
    EXPECT_EQ(ReadFile(dir_ + "/err"), message + "Try 'plcsim --help' for more information.\n");
  }
}

}  // namespace
