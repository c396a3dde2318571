// The slot tests judged by the store's books, and the records (--record) the tests leave.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "PXN32_00/screens.h"
#include "PXN_Lib3/positioning_times.h"
#include "PXN_Lib3/record.h"
#include "PXN_Lib3/status.h"
#include "base/farewell.h"
#include "support/virtual_world.h"

namespace {

// The lines of the one file in `dir`, and its name.
Lines OnlyRecord(const TempDir& dir, std::string* name = nullptr) {
  Lines lines;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    EXPECT_TRUE(lines.empty()) << "a second file " << entry.path();
    if (name) *name = entry.path().filename().string();
    std::ifstream in(entry.path());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
  }
  return lines;
}

class SlotSequences : public VirtualWorld {
 protected:
  // The moves asked for, as "L1.1" Load, "U" Unload, "P" Pick, "D" Place (drop).
  std::string Moves() const {
    std::string moves, position = "?", level = "?";
    for (const std::string& r : plc.Requests()) {
      if (r.starts_with("WR DM0 ")) position = r.substr(7);
      if (r.starts_with("WR DM5 ")) level = r.substr(7);
      for (const auto& [relay, kind] :
           {std::pair{"ST 1904", "L"}, {"ST 1905", "U"}, {"ST 1908", "P"}, {"ST 1909", "D"}})
        if (r == relay) moves += (moves.empty() ? "" : " ") + (kind + position) + "." + level;
    }
    return moves;
  }
  // Runs `screen` with `answers`, Esc and Y once the moves `expected` went out: those moves,
  // the plates `after`, none refused, lost or sent while the store was not ready.
  void Run(void (*screen)(), const plcsim::SimConfig& store, const std::string& answers,
           const std::string& expected, const Lines& after) {
    const long quitAt = std::ranges::count(expected, '.');
    keys.onPresent = [&, quit = false](const console::Screen&) mutable {
      if (!quit && std::ranges::count(Moves(), '.') == quitAt)
        quit = true, Script("~_Y", kSecond / 10);
    };
    clock.SetLimit(clock.NowMicros() + 3600 * kSecond);
    RunScreen(screen, "_" + answers, store);
    plc.Advance(clock.NowMicros() + 60 * kSecond);
    EXPECT_EQ(Moves(), expected);
    EXPECT_EQ(plc.Plates().Occupied(), after);
    EXPECT_EQ(plc.RefusedMoves() + plc.PlatesLost() + plc.MovesWhileNotReady(), 0);
  }
};

// "1.1 2.1" served by a bring-in and a take-out each: "L1.1 U1.1 L2.1 U2.1".
std::string Served(const Lines& slots, const char* in, const char* out) {
  std::string moves;
  for (const std::string& slot : slots)
    moves += std::string(moves.empty() ? "" : " ") + in + slot + " " + out + slot;
  return moves;
}

}  // namespace

using RecordsTest = VirtualWorld;

// NO REC shows till the next record works; the way out names each failure's file and cause.
TEST_F(RecordsTest, AFailedRecordIsMarkedWhileItFailsAndNamedOnTheWayOut) {
  TempDir dir;
  const std::string taken = dir / "taken", locked = dir / "locked";
  std::filesystem::create_directories(locked);
  std::ofstream(taken) << "a file where the folder should be";
  OpenSimPort();
  for (const auto& [test, mark] : {std::pair{"a", "NO REC"}, {"b", ""}}) {
    RecordFolder = taken;
    StartRecord(test, {"x"});
    RecordRow({"1"});
    ShowStatus();
    EXPECT_EQ(Trim(Row(1).substr(0, 72)), "Plaxon    ComPort 1  SNr. 0  SysStat 0000    Ready 1" +
                                              std::string(*mark ? 13 : 0, ' ') + mark);
    if (*mark) std::filesystem::remove(taken), clock.Advance(kSecond);
  }
  EndRecord();
  testing::internal::CaptureStderr();
  base::SayFarewell();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "pxn32: --record " + taken + "/2026-12-06_10-00-00_a.csv: Not a directory\n");
  // A folder under one that can't be written: the folder's cause, not the missing file's.
  chmod(locked.c_str(), 0555);
  EXPECT_EXIT(
      {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
        RecordFolder = locked + "/sub";
        StartRecord("c", {"x"});
        std::fprintf(stderr, "[%s]", RecordFailure().c_str());
        _exit(0);
      },
      testing::ExitedWithCode(0), "\\[Permission denied\\]");
}

// A short run of each mode: its file, a row as each access ends, the total as counted rows.
TEST_F(RecordsTest, ARandomAccessRecordWritesEachRowAsItsAccessEnds) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"BYN-1\r0\r", "random-access-both",
       "1,L,7,3,OK,OK,OK,\"A BCDEFGG \",27,8.43,7.42,,0,,yes,0"},
      {"C-1\r0\r", "random-access-carousel", "1,8,7,A BCDEFGH,H,3.45,3.68,0.23,0,yes,no"},
      {"HYN-1\r0\r", "random-access-handler", "1,Load,9,OK,OK,6.93,9,-1,yes"}};
  for (const auto& [answers, test, first] : cases) {
    SCOPED_TRACE(answers);
    TempDir dir;
    int ended = 0, late = 0;
    RowLog log;
    keys.onPresent = [&](const console::Screen& s) {
      RecordFolder = dir.Path();
      for (int p = 1; p <= 56 && !PositioningTimes[56]; ++p)
        PositioningTimes[p] = SimTurnHundredths(p - 1);
      if (!log.See(s) || !log.rows.back().starts_with("  ")) return;
      if (ended < 6 && RecordedRows() != ++ended) ++late;  // each row ends with its access
      if (ended == 6) ++ended, Script("~_Y"), keys.Key('x', 600 * kSecond);
    };
    RunScreen(RandomAccessTest, answers);
    std::string name;
    const Lines lines = OnlyRecord(dir, &name);
    EXPECT_EQ(late, 0);
    EXPECT_TRUE(name.starts_with("2026-12-06_10-") && name[16] == '-' &&
                name.ends_with(std::string("_") + test + ".csv"))
        << name;
    ASSERT_GT(lines.size(), 8u);
    EXPECT_EQ(lines[1].substr(0, lines[1].rfind(',')), first);
    EXPECT_EQ(std::ranges::count(lines[0], ','), std::ranges::count(lines[1], ','));  // header
    std::string before;
    long counted = 0, cycles = 0;
    for (size_t i = 1; i < lines.size() && !lines[i].starts_with("# "); ++i) {
      EXPECT_GT(lines[i].substr(lines[i].rfind(',')), before) << "each row at its own time";
      before = lines[i].substr(lines[i].rfind(','));
      counted += lines[i].find(",yes,") != std::string::npos || lines[i].ends_with(",yes");
      cycles = std::atol(lines[i].c_str());
    }
    const auto total =
        std::ranges::find_if(lines, [](auto& l) { return l.starts_with("# Total Accesses:"); });
    ASSERT_NE(total, lines.end());
    EXPECT_EQ(std::atol(total->c_str() + 17), answers[0] == 'H' ? cycles : counted);
    EXPECT_TRUE(lines.back().starts_with("# ended 2026-12-06 "));
  }
}

// Slot tests record only moves that went out: none for a quit in the first Ready wait.
TEST_F(RecordsTest, SlotTestsRecordOnlyTheMovesThatWentOut) {
  for (const auto& [screen, answers, moves] :
       {std::tuple{&AllSlotsTest, "NY_____~_Y", 0}, {&ThreePlateTest, "_ ", 6}}) {
    TempDir dir;
    keys.onPresent = [&, moves = moves](const console::Screen&) {
      RecordFolder = dir.Path();
      if (RecordedRows() == moves && moves && !keys.Pending()) Script("~_Y");
    };
    RunScreen(screen, answers, {.positions = 3, .levels = 4, .plates = {{1, 1}, {1, 2}, {1, 3}}},
              {.readyStuck = moves == 0});
    const Lines lines = OnlyRecord(dir);
    ASSERT_GT(lines.size(), 1u + moves);
    EXPECT_TRUE(lines[1 + moves].starts_with("# ")) << "no more rows";
    if (moves) {
      EXPECT_TRUE(lines[1].starts_with("1,1,1,2,Pick,OK,OK,OK,")) << lines[1];
      EXPECT_TRUE(lines[6].starts_with("6,1,1,2,Pick,OK,OK,OK,")) << lines[6];
    }
  }
}

// One cycle in either order, with either kind of move, from the start level entered (for
// the first cycle only); the inverse order on a full store; the quick test.
TEST_F(SlotSequences, AllSlotsCycleServesEverySlotOnceAndTheNextStartsAtTheBottom) {
  // Positions, levels, plates (-2.0: the transfer station), answers (x-fer, quick [, start
  // level line, inverse, by slot]), the first take-out, a cycle and the first move of the
  // next, where the plates are then, row 2.
  using Case =
      std::tuple<int, int, std::vector<plcsim::Slot>, std::string, std::string, Lines, std::string>;
  const Case cases[] = {
      // clang-format off
      {3, 2, {{1, 1}}, "YN1\rNN", "U1.1 " + Served({"1.1", "2.1", "3.1", "1.2", "2.2", "3.2"}, "L", "U") + " L1.1",
       {"1.1"}, "Cyc   1  Lvl  1  Pos  1   Load   OK OK OK    Unload   OK OK OK"},
      {2, 3, {{1, 1}}, "nn1\rny", "P1.1 " + Served({"1.1", "1.2", "1.3", "2.1", "2.2", "2.3"}, "D", "P") + " D1.1", {"1.1"}, ""},
      {2, 3, {{1, 1}}, "YN2\rNN", "U1.1 " + Served({"1.2", "2.2", "1.3", "2.3"}, "L", "U") + " L1.1", {"1.1"}, ""},
      {2, 3, {{1, 1}}, "YN99\rNn", "U1.1 " + Served({"1.3", "2.3"}, "L", "U") + " L1.1", {"1.1"}, ""},
      {2, 1, {{1, 1}, {2, 1}}, "YN1\rYN", Served({"1.1", "2.1"}, "U", "L") + " U1.1", {"2.1", "station"},
       "Cyc   1  Lvl  1  Pos  1 UnLoad   OK OK OK      Load   OK OK OK"},
      // Any other key at the inverse question: no first take-out, the normal order.
      {2, 1, {{-2, 0}}, "YN1\rxN", Served({"1.1", "2.1"}, "L", "U") + " L1.1", {"1.1"}, ""},
      {2, 3, {{1, 1}}, "YY", "U1.1 " + Served({"1.1", "1.3", "2.1", "2.3"}, "L", "U") + " L1.1", {"1.1"},
       "Cyc   1  Lvl  1  Pos  1  Laod   OK OK OK   Unload   OK OK OK"},
      {2, 1, {{1, 1}}, "Ny", "P1.1 " + Served({"1.1", "1.1", "2.1", "2.1"}, "D", "P") + " D1.1", {"1.1"}, ""}};
  // clang-format on
  for (const auto& [positions, levels, plates, answers, moves, after, row] : cases) {
    SCOPED_TRACE(answers);
    Run(AllSlotsTest, {.positions = positions, .levels = levels, .plates = plates}, answers, moves,
        after);
    if (!row.empty()) ExpectRows(2, {row});
  }
}

// Round two positions and on, the third plate over on the handler (1703) or the station; a
// quit in the walk ends the cycle there; a stack of 3 has no level to walk into.
TEST_F(SlotSequences, ThreePlatesWalkUpEveryStackAndRoundTheCarousel) {
  const std::tuple<int, bool, std::string, Lines> cases[] = {
      // clang-format off
      {5, true, "P1.2 D1.4 P1.1 D1.2 P1.3 D1.5 P1.2 D1.3 P1.4 D2.3 P1.3 D2.1 P1.5 D2.2 "
                "P2.2 D2.4 P2.1 D2.2 P2.3 D2.5 P2.2 D2.3 P2.4 D1.3 P2.3 D1.1 P2.5 D1.2 P1.2", {"1.1", "1.3", "handler"}},
      {5, false, "P1.2 D1.4 P1.1 D1.2 P1.3 D1.5 P1.2 D1.3 U1.4 P1.3 D2.1 P1.5 D2.2 L2.3 "
                 "P2.2 D2.4 P2.1 D2.2 P2.3 D2.5 P2.2 D2.3 U2.4 P2.3 D1.1 P2.5 D1.2 L1.3 P1.2", {"1.1", "1.3", "handler"}},
      {6, false, "P1.2 D1.4", {"1.1", "1.3", "1.4"}},
      {3, false, "", {"1.1", "1.2", "1.3"}}};  // clang-format on
  for (const auto& [levels, route1703, moves, after] : cases) {
    SCOPED_TRACE(moves);
    Run(ThreePlateTest,
        {.positions = 2,
         .levels = levels,
         .threePlateRoute = route1703,
         .plates = {{1, 1}, {1, 2}, {1, 3}}},
        " ", moves, after);
  }
  ExpectRows(2, Rows("! 3-Plate Test needs 4 Levels or more, Detected Levels: 3 !|Press any key|"));
}
