// A random-access test end to end while the line or the controller fails: the console
// keeps waiting with the replies shown as they came (empty ones as nothing), Esc and Y
// still end the test, "0" still ends the program with code 0, and the waiting costs
// next to no processor time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "session.h"

namespace {

// The status row while a dead line answers nothing: no serial number, no system status,
// no Ready, only the time.
constexpr char kNothingAnswers[] =
    R"(Plaxon    ComPort 1  SNr\. 0  SysStat 0000    Ready +\d\d:\d\d:\d\d)";
// The same after the line died under a running test: the serial number read before.
constexpr char kAnswersStopped[] =
    R"(Plaxon    ComPort 1  SNr\. 1234  SysStat 0000    Ready +\d\d:\d\d:\d\d)";
constexpr char kPlateOut[] = "Unld Plate form 1,1   OK OK OK";

struct Row {
  int number;         // from 1; 0: any row
  const char* regex;  // the whole row, trailing blanks dropped
};

struct Fault {
  const char* name;
  const char* store;         // pxn32 --sim with these store options; null: plcsim --link
  const char* mode;          // "C": the carousel alone; otherwise both, with the transfer station
  const char* struck;        // shows once the test runs and before the fault strikes; null: none
  std::vector<Row> waiting;  // rows while the console waits under the fault
  bool counted;              // the summary counts no access
};

std::string FileName(const Fault& fault) {
  std::string name = fault.name;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '-';
  return name;
}

std::vector<Step> IntoTheTest(const Fault& fault) {
  std::vector<Step> steps = IntoRandomAccessTest(fault.mode);
  if (fault.struck) steps.push_back({fault.struck, ""});
  return steps;
}

// Esc and Y, the summary, a key, the menu, "0".
std::vector<Step> OutOfTheProgram(const Fault& fault) {
  std::vector<Step> steps = {
      {"", "Escape", false, true}, {"Quit ? ", "Y"}, {"Complete Access Time Summary", ""}};
  if (fault.counted) steps.push_back({"Total Accesses:           0", ""});
  steps.insert(steps.end(), {{"Access Time Summary", "x"}, {"Enter [0..6]", "0", true}});
  return steps;
}

bool Shows(const Session& session, const std::vector<Row>& expected) {
  const std::vector<std::string> rows = session.Rows();
  auto matches = [&](const Row& row) {
    const std::regex regex(row.regex);
    if (row.number == 0)
      return std::ranges::any_of(rows, [&](const auto& r) { return std::regex_match(r, regex); });
    return row.number <= static_cast<int>(rows.size()) &&
           std::regex_match(rows[row.number - 1], regex);
  };
  return std::ranges::all_of(expected, matches);
}

// Runs the cases side by side: into the test, the fault (`strike`, once every test
// runs), the wait under it with its cost measured, then out again.
void RunSideBySide(const std::vector<Fault>& faults, const std::string& dir,
                   const std::string& pxn32, const std::function<void()>& strike = {}) {
  std::vector<std::unique_ptr<Session>> owned;
  std::vector<const Session*> sessions;
  std::vector<std::vector<Step>> into, out;
  for (const Fault& fault : faults) {
    const std::string base = dir + "/" + FileName(fault);
    const std::string options =
        fault.store ? std::string("--sim ") + fault.store : "--device " + dir + "/line";
    owned.push_back(std::make_unique<Session>(base, pxn32 + " " + options + " 2>" + base + ".err"));
    sessions.push_back(owned.back().get());
    into.push_back(IntoTheTest(fault));
    out.push_back(OutOfTheProgram(fault));
  }
  ASSERT_TRUE(PlaySideBySide(sessions, into));
  if (strike) strike();
  std::vector<int> pids;
  for (size_t i = 0; i < faults.size(); ++i) {
    SCOPED_TRACE(faults[i].name);
    ASSERT_TRUE(WaitUntil([&] { return Shows(*sessions[i], faults[i].waiting); }))
        << sessions[i]->Screen();
    pids.push_back(sessions[i]->Pid());
  }
  const std::vector<double> cpu = CpuPercents(pids, 3000);
  for (size_t i = 0; i < faults.size(); ++i) {
    SCOPED_TRACE(faults[i].name);
    std::printf("waiting under '%s': %.2f %% of a core\n", faults[i].name, cpu[i]);
    EXPECT_LT(cpu[i], 2.0) << "the wait spins";
    EXPECT_TRUE(Shows(*sessions[i], faults[i].waiting)) << "moved on:\n" << sessions[i]->Screen();
  }
  ASSERT_TRUE(PlaySideBySide(sessions, out));
  for (size_t i = 0; i < faults.size(); ++i) {
    SCOPED_TRACE(faults[i].name);
    EXPECT_EQ(sessions[i]->WaitForEnd(), "0\n") << sessions[i]->Screen();
    EXPECT_TRUE(sessions[i]->TerminalAsBefore());
    if (faults[i].store) {
      EXPECT_NE(ReadFile(sessions[i]->Base() + ".err").find(", plates lost 0\n"),
                std::string::npos);
    }
  }
}

// Faults there from the start: the carousel test runs without levels, the both test
// with the geometry it could read.
TEST_F(Pxn32, ARandomAccessTestWaitsOutAControllerThatFailsFromTheStart) {
  const std::vector<Fault> faults = {
      {"silent",
       "--silent",
       "C",
       nullptr,
       {{1, kNothingAnswers},
        {2, "Levels detected: 0    RotPos detected: 9; Access ;  Waiting for Ready"}},
       true},
      {"garbled",
       "--garbled",
       "C",
       nullptr,
       {{1, R"(Plaxon    ComPort 1  SNr\. 0  SysStat 0000    Ready .+#\?.+ +\d\d:\d\d:\d\d)"},
        {2, R"(Levels detected: 0    RotPos detected: 9; Access .+#\?.+;  Waiting for Ready)"}},
       true},
      // Ready begins with "1", so the access starts, and then never reads exactly "1":
      // the access waits. The status row runs on into row 2 with the reply as it came.
      {"over-long",
       "--positions 2 --levels 2 --overlong",
       "B",
       nullptr,
       {{1, R"(Plaxon    ComPort 1  SNr\. \d+  SysStat -?[0-9A-F]{4}    Ready [01]9{10,})"},
        {0, "(.*│OK9{10,}.*)"}},
       true},
      {"Ready stuck at 0",
       "--positions 2 --levels 2 --ready-stuck",
       "B",
       nullptr,
       {{1, R"(Plaxon    ComPort 1  SNr\. 1234  SysStat [0-9A-F]{4}    Ready 0 +\d\d:\d\d:\d\d)"},
        {2, "Levels detected: 2    RotPos detected: 2; Access OK;  Waiting for Ready"}},
       true},
      // An answer that misses its window may land in the next one: whatever shows, the
      // test goes on and can be left.
      {"late",
       "--positions 2 --levels 2 --late 60",
       "B",
       nullptr,
       {{1, R"(Plaxon    ComPort 1  SNr\. \d+  SysStat .+ +\d\d:\d\d:\d\d)"}},
       false},
  };
  RunSideBySide(faults, dir_, Program("pxn32"));
}

// Faults that strike a running test: the simulated line going silent, and the line
// vanishing as when a USB adapter is pulled (plcsim stopped: its pseudo-terminal hangs
// up and its link goes).
TEST_F(Pxn32, ARandomAccessTestWaitsOutALineThatDiesUnderIt) {
  ASSERT_TRUE(StartPlcsim(dir_ + "/line", "--positions 2 --levels 2"));
  const std::vector<Fault> faults = {
      {"silent from the middle",
       "--positions 2 --levels 2 --gone-after 6",
       "B",
       kPlateOut,
       {{1, kAnswersStopped}},
       true},
      {"line unplugged", nullptr, "B", kPlateOut, {{1, kAnswersStopped}}, true},
  };
  RunSideBySide(faults, dir_, Program("pxn32"), [&] { EXPECT_EQ(StopPlcsim(), "0\n"); });
  EXPECT_NE(ReadFile(dir_ + "/plcsim.out").find(", plates lost 0\n"), std::string::npos);
}

}  // namespace
