// Teaching the positioning times, and the file (--times) that keeps them.
#include "PXN_Lib3/times_file.h"

#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "PXN32_00/main_menu.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "base/farewell.h"
#include "support/virtual_world.h"

namespace {

std::string Slurp(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Checked against the simulated carousel: a turn of k steps takes 0.3 + 0.45 k s, found by
// the first Ready poll after it, one every 155 ms (a 100 ms wait and an exchange).
const char kTaught[] =
    "# pxn32 positioning times: carousel position, then hundredths of a second from home\n"
    "# store SNr. 1234, taught 2026-12-06 10:00\n1 31\n2 77\n3 124\n";

using TimesFileTest = VirtualWorld;

// A teach to its end saves the table, a quit one leaves it; the carousel test uses it.
TEST_F(TimesFileTest, ATeachRunToItsEndIsKeptForTheNextStart) {
  TempDir dir;
  std::string said;
  bool t0Shown = false;  // a carousel move of two steps set against the loaded 0.77 s
  keys.onPresent = [&](const console::Screen&) {
    if (Row(6).starts_with("Positioning times")) said = Trim(Row(6) + Row(7));  // may wrap
    for (int row = 2; row <= 25; ++row) t0Shown |= Row(row).find(" t0: 0.8 ") != Row(row).npos;
  };
  for (const auto& [positions, choices] :
       {std::pair{3, Lines{"4\r", "x", "0\r"}},
        {4, Lines{"4\r_~_Y_x", "5\r", "1", "0\r", "~", "Y", "x", "~", "0\r"}}}) {
    Configure({.positions = positions});
    ResetProgramGlobals();
    TimesFile = dir / "times.txt";
    keys.Type("1\rTom\r");
    for (const auto& choice : choices) keys.Pause(20 * kSecond), Script(choice);
    ASSERT_EQ(RunProgram(), 0);
    EXPECT_EQ(Slurp(TimesFile), kTaught);
  }
  EXPECT_EQ(said, "Positioning times " + TimesFile + ": loaded, taught 2026-12-06 10:00");
  EXPECT_EQ((std::vector<int32_t>(&PositioningTimes[1], &PositioningTimes[5])),
            (std::vector<int32_t>{31, 77, 124, 0}));
  EXPECT_TRUE(t0Shown);
}

TEST_F(TimesFileTest, AFileThatCantBeUsedIsNamedInOneLine) {
  // The text (nullptr: no such file; "/": a folder), the line, the table's entry 1 then.
  const std::tuple<const char*, std::string, int32_t> cases[] = {
      // clang-format off
      {"# store SNr. 1234, taught 2026-12-01 09:30\r\n\n 1\t30 \r\n", "loaded, taught 2026-12-01 09:30", 30},
      {"# store SNr. 77, taught 2026-12-01\n1 30\n", "taught on SNr. 77, not this store's 1234; used all the same", 30},
      {"1 30\n2 7x5\n", "line 2: not a position and its hundredths; untaught", 0},
      {"1 30\n57 100\n", "line 2: position 57, the table holds 1 to 56; untaught", 0},
      {"1 30\n2 -5\n", "line 2: negative time -5; untaught", 0},
      {nullptr, "none yet, untaught until 4 teaches them", 0},
      {"/", "not a regular file; untaught", 0}};  // clang-format on
  for (const auto& [text, said, first] : cases) {
    SCOPED_TRACE(said);
    TempDir dir;
    ResetProgramGlobals();
    TimesFile = dir / "times.txt";
    if (text && text == std::string("/"))
      std::filesystem::create_directory(TimesFile);
    else if (text)
      std::ofstream(TimesFile) << text;
    EXPECT_EQ(LoadTaughtTimes(1234), "Positioning times " + TimesFile + ": " + said);
    EXPECT_EQ(PositioningTimes[1], first);
  }
}

// A full disk: the old file stays whole and alone, NO TIMES shows, the way out says why.
TEST_F(TimesFileTest, AFailedSaveKeepsTheOldFile) {
  TempDir dir;
  TimesFile = dir / "times.txt";
  std::ofstream(TimesFile) << kTaught;
  OpenSimPort();
  SerialNo = 1234, PositionCount = 1, PositioningTimes[1] = 25;
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  const rlimit small = {100, limit.rlim_max};  // the file takes 100 bytes and no more
  for (const char* mark : {"NO TIMES", ""}) {
    std::signal(SIGXFSZ, SIG_IGN), setrlimit(RLIMIT_FSIZE, *mark ? &small : &limit);
    SaveTaughtTimes();
    setrlimit(RLIMIT_FSIZE, &limit);
    ShowStatus();
    EXPECT_EQ(Trim(Row(1).substr(0, 72)),
              "Plaxon    ComPort 1  SNr. 1234  SysStat 0000    Ready 1" +
                  std::string(*mark ? 8 : 0, ' ') + mark);
    if (!*mark) break;
    EXPECT_EQ(Slurp(TimesFile), kTaught);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);
    testing::internal::CaptureStderr();
    base::SayFarewell();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "pxn32: --times " + TimesFile + ": the times taught at 10:00 were not saved: " +
                  "File too large; the file is as it was\n");
  }
  EXPECT_TRUE(Slurp(TimesFile).ends_with("10:00\n1 25\n"));
}

using TeachTimesTest = VirtualWorld;

// Each position is timed from home, up to the table's 56; a quit move keeps its old time.
TEST_F(TeachTimesTest, EveryPositionIsTimedFromHome) {
  // Positions, quit, the last DM0 writes (home and position in turn), rows from `first`.
  const std::tuple<int, bool, std::string, int, const char*> cases[] = {
      {9, false, "1 1 1 2 1 3 1 4 1 5 1 6 1 7 1 8 1 9", 10,
       "RBC Positioning Times:||Pos 1   0.3 s|Pos 2   0.8 s|Pos 3   1.2 s|Pos 4   1.7 s|"
       "Pos 5   2.2 s|Pos 6   2.6 s|Pos 7   3.1 s|Pos 8   3.6 s|Pos 9   4.0 s|"},
      {60, false, "1 55 1 56", 22, "Pos 55  24.6 s|Pos 56  25.1 s|"},
      {9, true, "1 1 1 2 1 3", 13, "Pos 2   0.8 s|Pos 3   0.0 s"}};
  for (const auto& [positions, quit, lastTargets, first, rows] : cases) {
    SCOPED_TRACE(positions);
    ShowBanner();
    line.ClearWire();
    keys.onPresent = [&, quit = quit](const console::Screen&) {
      plc.faults.readyStuck |= quit && Sent().back() == "WR DM0 3\r";
    };
    if (quit) Script("_~_Y", 30 * kSecond);
    keys.Type("x", 3600 * kSecond);  // the summary stays till a key
    RunScreen(TeachPositioningTimes, "", {.positions = positions});
    std::string targets;
    for (const auto& s : Sent())
      if (s.starts_with("WR DM0 ")) targets += s.substr(7, s.size() - 8) + " ";
    EXPECT_TRUE(targets.ends_with(lastTargets + " ")) << targets;
    ExpectWindowRows(first, Rows(rows), 19);
  }
}

}  // namespace
