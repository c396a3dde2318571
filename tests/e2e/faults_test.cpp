// The long screens end to end while the line or the controller fails: the console keeps
// waiting with the replies shown as they came (empty ones as nothing), Esc and Y still
// end the test, "0" still ends the program with code 0, and the waiting costs next to
// no processor time.
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
  std::string regex;  // the whole row, trailing blanks dropped
};

struct Fault {
  const char* name;
  const char* store;         // pxn32 --sim with these store options; null: plcsim --link
  std::vector<Step> into;    // from start-up into the screen, until its test runs
  std::vector<Row> waiting;  // rows while the console waits under the fault
  std::vector<Step> out;     // from the wait to the end of the program
};

std::string FileName(const Fault& fault) {
  std::string name = fault.name;
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '-';
  return name;
}

std::vector<Step> RandomAccess(const std::string& mode, const char* struck = nullptr) {
  std::vector<Step> steps = IntoRandomAccessTest(mode);
  if (struck) steps.push_back({struck, ""});
  return steps;
}

// Esc and Y, the summary (with `count` accesses, when given), a key, the menu, "0". The
// carousel mode counts the cycle the quit stopped, the both mode no access it cut short.
std::vector<Step> OutOfRandomAccess(const char* count = "0") {
  std::vector<Step> steps = {
      {"", "Escape", false, true}, {"Quit ? ", "Y"}, {"Complete Access Time Summary", ""}};
  if (count) steps.push_back({std::string("Total Accesses:           ") + count, ""});
  steps.insert(steps.end(), {{"Access Time Summary", "x"}, {"Enter [0..6]", "0", true}});
  return steps;
}

// The all-slots test ("6") through the transfer station, level by level from level 1.
const std::vector<Step> kAllSlots = {
    {"Tavomir [1,2]", "1", true}, {"Enter Operator Name", "Tester", true},
    {"Enter [0..6]", "6", true},  {"X-fer Station [Y/N]", "Y"},
    {"Quick Test [Y/N]", "N"},    {"Enter Start Level [1]", "1", true},
    {"Invers. Mode [Y/N]", "N"},  {"By Slot [Y/N]", "N"}};
// The shovel test of the component tests ("5", "6"), one second between moves.
const std::vector<Step> kShovel = {{"Tavomir [1,2]", "1", true},
                                   {"Enter Operator Name", "Tester", true},
                                   {"Enter [0..6]", "5", true},
                                   {"Select now", "6"},
                                   {"Enter Delay [s]", "1", true}};
// Esc and Y end the all-slots test, then "0".
const std::vector<Step> kOutOfAllSlots = {
    {"", "Escape", false, true}, {"Quit ? ", "Y"}, {"Enter [0..6]", "0", true}};
// Esc and Y end the shovel test, Esc leaves the component menu, then "0".
const std::vector<Step> kOutOfShovel = {{"", "Escape", false, true},
                                        {"Quit ? ", "Y"},
                                        {"Select now", "Escape", false, true},
                                        {"Enter [0..6]", "0", true}};

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
    into.push_back(fault.into);
    out.push_back(fault.out);
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
TEST_F(Pxn32, TheLongScreensWaitOutAControllerThatFailsFromTheStart) {
  const std::vector<Fault> faults = {
      {"silent",
       "--silent",
       RandomAccess("C"),
       {{1, kNothingAnswers},
        {2, "Levels detected: 0    RotPos detected: 9; Access ;  Waiting for Ready"}},
       OutOfRandomAccess("1")},
      {"garbled",
       "--garbled",
       RandomAccess("C"),
       {{1, R"(Plaxon    ComPort 1  SNr\. 0  SysStat 0000    Ready .+#\?.+ +\d\d:\d\d:\d\d)"},
        {2, R"(Levels detected: 0    RotPos detected: 9; Access .+#\?.+;  Waiting for Ready)"}},
       OutOfRandomAccess("1")},
      // Ready begins with "1", so the access starts, and then never reads exactly "1":
      // the access waits. The status row runs on into row 2 with the reply as it came.
      {"over-long",
       "--positions 2 --levels 2 --overlong",
       RandomAccess("B"),
       {{1, R"(Plaxon    ComPort 1  SNr\. \d+  SysStat -?[0-9A-F]{4}    Ready [01]9{10,})"},
        {0, "(.*│OK9{10,}.*)"}},
       OutOfRandomAccess()},
      {"Ready stuck at 0",
       "--positions 2 --levels 2 --ready-stuck",
       RandomAccess("B"),
       {{1, R"(Plaxon    ComPort 1  SNr\. 1234  SysStat [0-9A-F]{4}    Ready 0 +\d\d:\d\d:\d\d)"},
        {2, "Levels detected: 2    RotPos detected: 2; Access OK;  Waiting for Ready"}},
       OutOfRandomAccess()},
      // An answer that misses its window may land in the next one: whatever shows, the
      // test goes on and can be left.
      {"late",
       "--positions 2 --levels 2 --late 60",
       RandomAccess("B"),
       {{1, R"(Plaxon    ComPort 1  SNr\. \d+  SysStat .+ +\d\d:\d\d:\d\d)"}},
       OutOfRandomAccess(nullptr)},
      // The all-slots test waits for Ready before it starts the carousel.
      {"all slots, Ready stuck at 0",
       "--positions 2 --levels 2 --ready-stuck",
       kAllSlots,
       {{1, R"(Plaxon    ComPort 1  SNr\. 1234  SysStat [0-9A-F]{4}    Ready 0 +\d\d:\d\d:\d\d)"},
        {12, "By Slot \\[Y/N\\] N"}},
       kOutOfAllSlots},
      // The shovel test waits for a controller timer, in the banner's window, where the
      // status row's time lands on the next row.
      {"shovel, silent",
       "--silent",
       kShovel,
       {{1, R"( {9}Plaxon    ComPort 1  SNr\. 0  SysStat 0000    Ready)"},
        {2, R"( +\d\d:\d\d:\d\d)"},
        {0, R"( {9}Enter Delay \[s\]    1)"}},
       kOutOfShovel},
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
       "--positions 2 --levels 2 --gone-after 8",
       RandomAccess("B", kPlateOut),
       {{1, kAnswersStopped}},
       OutOfRandomAccess()},
      {"line unplugged",
       nullptr,
       RandomAccess("B", kPlateOut),
       {{1, kAnswersStopped}},
       OutOfRandomAccess()},
  };
  RunSideBySide(faults, dir_, Program("pxn32"), [&] { EXPECT_EQ(StopPlcsim(), "0\n"); });
  EXPECT_NE(ReadFile(dir_ + "/plcsim.out").find(", plates lost 0\n"), std::string::npos);
}

}  // namespace
