// The real pxn32 in a real terminal (tmux), on a real pseudo-terminal line.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "e2e_support.h"
#include "plcsim/pty_server.h"

namespace {

using e2e::ScratchDir;
using e2e::TmuxSession;

class Pxn32 : public ::testing::Test {
 protected:
  void SetUp() override {
    binary_ = e2e::BinaryFromEnv("PXN32_BIN");
    if (binary_.empty()) GTEST_SKIP() << "PXN32_BIN not set";
  }

  // A script that runs pxn32 with `options` and leaves its exit code and the terminal
  // settings before and after in the scratch directory; "code" is written last.
  std::string Script(const ScratchDir& dir, const std::string& options, const std::string& name) {
    std::string script = dir.File(name + ".sh");
    std::string out = dir.File(name);
    e2e::WriteFile(script, "stty -g > " + out + ".before\n" + "'" + binary_ + "' " + options +
                               "\n" + "echo $? > " + out + ".tmp\n" + "stty -g > " + out +
                               ".after\n" + "mv " + out + ".tmp " + out + ".code\n");
    return script;
  }

  // Answers the start-up questions: port 1 and an operator name.
  static void StartUp(TmuxSession& session, const std::string& name) {
    ASSERT_TRUE(session.WaitFor("Enter Port Number to Tavomir [1,2]")) << session.Screen();
    session.Type("1");
    session.Press("Enter");
    ASSERT_TRUE(session.WaitFor("Enter Operator Name")) << session.Screen();
    session.Type(name);
    session.Press("Enter");
  }

  static void Choose(TmuxSession& session, const std::string& key) {
    session.Type(key);
    session.Press("Enter");
  }

  std::string binary_;
};

// The requests as the controller saw them, one per CR; a retry of the same request
// (a reply that came late on a busy machine) is counted once.
std::vector<std::string> Requests(const plcsim::SimLine& line) {
  std::string all;
  for (const auto& record : line.Wire()) all += record.bytes;
  std::vector<std::string> requests;
  size_t start = 0;
  for (size_t cr = all.find('\r'); cr != std::string::npos; cr = all.find('\r', start)) {
    std::string request = all.substr(start, cr - start + 1);
    if (requests.empty() || requests.back() != request) requests.push_back(request);
    start = cr + 1;
  }
  if (start < all.size()) requests.push_back(all.substr(start));
  return requests;
}

TEST_F(Pxn32, StartUpAndQuitSendExactlyTheConnectionRequests) {
  if (!e2e::HaveTmux()) GTEST_SKIP() << "tmux is not installed";
  plcsim::PlcModel model;
  plcsim::SimLine line{model};
  std::string error;
  auto server = plcsim::PtyServer::Start(line, error);
  ASSERT_TRUE(server) << error;
  ScratchDir dir;
  {
    TmuxSession session(Script(dir, "--device " + server->SlavePath(), "run"));
    ASSERT_TRUE(session.Started());
    ASSERT_NO_FATAL_FAILURE(StartUp(session, "Tester"));
    ASSERT_TRUE(session.WaitFor("Enter [0..6]")) << session.Screen();
    Choose(session, "0");
    ASSERT_TRUE(e2e::WaitForFile(dir.File("run.code"))) << session.Screen();
  }
  server.reset();  // the line's records are ours once the server has stopped
  EXPECT_EQ(e2e::ReadFile(dir.File("run.code")), "0\n");
  const std::vector<std::string> expected = {
      "CR\r", "RD DM109\r", "CQ\r",                  // start-up check
      "CR\r", "RD DM109\r", "WR DM123 0\r", "CQ\r",  // around the choice "0"
  };
  EXPECT_EQ(Requests(line), expected);
}

TEST_F(Pxn32, BuiltInSimulatorReachesTheMenuAndQuitRestoresTheTerminal) {
  if (!e2e::HaveTmux()) GTEST_SKIP() << "tmux is not installed";
  ScratchDir dir;
  TmuxSession session(Script(dir, "--sim", "sim"));
  ASSERT_TRUE(session.Started());
  ASSERT_NO_FATAL_FAILURE(StartUp(session, "Tester"));
  ASSERT_TRUE(session.WaitFor("Enter [0..6]")) << session.Screen();
  std::string menu = session.Screen();
  EXPECT_NE(menu.find("Tester"), std::string::npos) << menu;
  EXPECT_NE(menu.find("# 1234"), std::string::npos) << menu;
  Choose(session, "0");
  ASSERT_TRUE(e2e::WaitForFile(dir.File("sim.code"))) << session.Screen();
  EXPECT_EQ(e2e::ReadFile(dir.File("sim.code")), "0\n");
  EXPECT_EQ(e2e::ReadFile(dir.File("sim.after")), e2e::ReadFile(dir.File("sim.before")));
}

TEST_F(Pxn32, SecondProgramOnALineInUseGetsTheOpenFailure) {
  if (!e2e::HaveTmux()) GTEST_SKIP() << "tmux is not installed";
  plcsim::PlcModel model;
  plcsim::SimLine line{model};
  std::string error;
  auto server = plcsim::PtyServer::Start(line, error);
  ASSERT_TRUE(server) << error;
  ScratchDir dir;
  const std::string device = "--device " + server->SlavePath();
  TmuxSession first(Script(dir, device, "first"));
  ASSERT_TRUE(first.Started());
  ASSERT_NO_FATAL_FAILURE(StartUp(first, "First"));
  ASSERT_TRUE(first.WaitFor("Enter [0..6]")) << first.Screen();

  TmuxSession second(Script(dir, device, "second"));
  ASSERT_TRUE(second.Started());
  ASSERT_NO_FATAL_FAILURE(StartUp(second, "Second"));
  const std::string busy = "Invalid Port Number: 1   E" + std::to_string(EBUSY);
  EXPECT_TRUE(second.WaitFor(busy)) << second.Screen();
  second.Type("x");  // the message waits for a key; the program carries on without a line
  EXPECT_TRUE(second.WaitFor(busy + std::to_string(EBUSY))) << second.Screen();  // the result
  EXPECT_TRUE(second.WaitFor("No Communication to Hardware...")) << second.Screen();

  // The program that holds the line is undisturbed.
  Choose(first, "0");
  ASSERT_TRUE(e2e::WaitForFile(dir.File("first.code"))) << first.Screen();
  EXPECT_EQ(e2e::ReadFile(dir.File("first.code")), "0\n");
}

TEST_F(Pxn32, CommandLineOptions) {
  struct Case {
    const char* options;
    int code;
  } cases[] = {
      {"--bogus", 2}, {"--device", 2}, {"--sim --device /dev/null", 2},
      {"extra", 2},   {"--help", 0},   {"--version", 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(e2e::RunShell("'" + binary_ + "' " + c.options + " </dev/null >/dev/null 2>&1"),
              c.code)
        << c.options;
  }
  ScratchDir dir;
  e2e::RunShell("'" + binary_ + "' --version >" + dir.File("version") + " 2>&1");
  EXPECT_EQ(e2e::ReadFile(dir.File("version")), "pxn32 2.08\n");
  e2e::RunShell("'" + binary_ + "' --nonsense >/dev/null 2>" + dir.File("usage"));
  EXPECT_NE(e2e::ReadFile(dir.File("usage")).find("usage: pxn32"), std::string::npos);
}

}  // namespace
