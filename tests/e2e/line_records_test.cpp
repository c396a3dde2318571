// The line coming back and the files a run leaves, with the real programs: plcsim stopped
// in the middle of a random-access test and started again on the same link, and a log
// that cannot be written.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <regex>
#include <sstream>
#include <string>

#include "session.h"

namespace {

// A full store of 3 positions and 2 levels: the fresh store plcsim starts again with is
// the store the test leaves between its cycles in inverse mode (take out, then bring in).
const char kFullStore[] =
    "--positions 3 --levels 2 --plate 1.1 --plate 1.2 --plate 2.1 --plate 2.2 --plate 3.1 "
    "--plate 3.2";

// The number of the last access row on the screen that brought its plate back and is
// counting its wait down; 0 when there is none.
int CountingDownAfterBringingIn(const std::string& screen) {
  // The column bar between the number and the tag is one to three bytes, as drawn.
  static const std::regex row(R"(^ *(\d+)[^ \w]{1,3}L[ \d]+/.*Wt +1.*\d s *$)");
  std::istringstream lines(screen);
  int number = 0;
  for (std::string line; std::getline(lines, line);) {
    std::smatch m;
    number = std::regex_search(line, m, row) ? std::stoi(m[1]) : line.empty() ? number : 0;
  }
  return number;
}

bool RowShows(const std::string& screen, int number) {
  const std::string start = (number < 10 ? "  " : " ") + std::to_string(number);
  std::istringstream lines(screen);
  for (std::string line; std::getline(lines, line);)
    if (line.rfind(start, 0) == 0) return true;
  return false;
}

// Waits longer than WaitUntil: an access of the simulated store takes seconds.
template <class Done>
bool WaitLong(Done done) {
  for (int step = 0; step < 1500 && !done(); ++step) usleep(20000);
  return done();
}

// The line goes while an access row counts its wait down and comes back a second and a
// half later as a new pseudo-terminal behind the same link: the test goes on by itself,
// its next accesses count, and the log tells when the line went and came back.
TEST_F(Pxn32, ARandomAccessTestCarriesOnWhenTheSimulatorIsStartedAgain) {
  const std::string link = dir_ + "/line", log = dir_ + "/line.log", records = dir_ + "/rec";
  ASSERT_TRUE(StartPlcsim(link, kFullStore));
  Session run(dir_ + "/run", Program("pxn32") + " --device " + link + " --log " + log +
                                 " --record " + records + " 2>" + dir_ + "/run.err");
  ASSERT_NO_FATAL_FAILURE(run.Answer("Tester"));
  ASSERT_TRUE(run.WaitFor("Enter [0..6]")) << run.Screen();
  run.Type("7");
  ASSERT_TRUE(run.WaitFor("Test Carrousel")) << run.Screen();
  run.Type("BNY", false);  // both, without the transfer station, inverse
  ASSERT_TRUE(run.WaitFor("Enter Interval Time [")) << run.Screen();
  run.Press("-- -1 Enter");  // "-1" alone would be an option of tmux's
  ASSERT_TRUE(run.WaitFor("Enter Interval Time (>1sec)")) << run.Screen();
  run.Type("1");

  int last = 0;
  ASSERT_TRUE(WaitLong([&] { return (last = CountingDownAfterBringingIn(run.Screen())) > 0; }))
      << run.Screen();
  EXPECT_EQ(StopPlcsim(), "0\n");
  std::filesystem::remove(dir_ + "/plcsim.code");
  EXPECT_TRUE(WaitUntil([&] { return ReadFile(log).find("  line gone\n") != std::string::npos; }));
  usleep(1500000);
  EXPECT_FALSE(RowShows(run.Screen(), last + 2)) << run.Screen();
  ASSERT_TRUE(StartPlcsim(link, kFullStore));

  EXPECT_TRUE(WaitLong([&] { return RowShows(run.Screen(), last + 2); }))
      << "the accesses after the line came back count\n"
      << run.Screen();
  EXPECT_TRUE(WaitUntil([&] { return ReadFile(log).find("  line back\n") != std::string::npos; }));
  run.Press("Escape");
  ASSERT_TRUE(run.WaitFor("Quit ?")) << run.Screen();
  run.Type("Y", false);
  ASSERT_TRUE(run.WaitFor("Complete Access Time Summary")) << run.Screen();
  run.Type("x", false);
  ASSERT_TRUE(run.WaitFor("Enter [0..6]")) << run.Screen();
  EXPECT_EQ(run.Quit(), "0\n");
  EXPECT_EQ(ReadFile(dir_ + "/run.err"), "");
  const std::string logged = ReadFile(log);
  EXPECT_LT(logged.find("  line gone\n"), logged.find("  line back\n"));
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(records)) {
    ++files;
    const std::string record = ReadFile(entry.path());
    EXPECT_NE(record.find("\n" + std::to_string(last + 2) + ",L,"), std::string::npos) << record;
    EXPECT_NE(record.find("\n# Complete Access Time Summary\n"), std::string::npos) << record;
  }
  EXPECT_EQ(files, 1);
}

// A log that can't be written: the console works, its bar says so, and the reason is
// given once the terminal is back.
TEST_F(Pxn32, ALogThatCannotBeWrittenLeavesTheConsoleWorking) {
  const std::string log = dir_ + "/none/line.log";
  Session run(dir_ + "/run", Program("pxn32") + " --sim --log " + log + " 2>" + dir_ + "/run.err");
  ASSERT_NO_FATAL_FAILURE(run.Answer("Tester"));
  ASSERT_TRUE(run.WaitFor("Enter [0..6]")) << run.Screen();
  run.Type("1");
  EXPECT_TRUE(run.WaitFor("Ready 1")) << run.Screen();
  EXPECT_TRUE(run.WaitFor("NO LOG")) << run.Screen();
  run.Type("RD DM109");
  EXPECT_TRUE(run.WaitFor("1234")) << run.Screen();
  run.Press("Escape");
  ASSERT_TRUE(run.WaitFor("Enter [0..6]")) << run.Screen();
  EXPECT_EQ(run.Quit(), "0\n");
  const std::string err = ReadFile(dir_ + "/run.err");
  EXPECT_TRUE(err.starts_with("pxn32: --log " + log +
                              ": No such file or directory; nothing was logged\nsimulated store: "))
      << err;
}

}  // namespace
