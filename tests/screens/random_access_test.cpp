// The random-access test in its three modes and a day of it: rows, books and summary.
#include <malloc.h>

#include "KV_Lib3/exchange.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/positioning_times.h"
#include "support/access_judge.h"
#include "support/virtual_world.h"

namespace {

class RandomAccess : public VirtualWorld {
 protected:
  // Esc and Y; the key for the summary comes long after, past its key flush.
  void Quit() { Script("~_Y"), keys.Key('x', 600 * kSecond); }
  // Summary rows from "Total Accesses:" on, as they read from the window's column 10.
  void ExpectSummary(const std::string& rows) { ExpectWindowRows(14, Rows(rows), 19); }
  RowLog log;
};

bool Has(const std::string& row, const char* text) {
  return row.find(text) != row.npos;
}

constexpr int64_t kHour = 3600 * kSecond;

// Under the address sanitizer freed memory waits in quarantine: the heap is not judged.
#ifndef __has_feature
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
constexpr bool kJudgeHeap = false;
#else
constexpr bool kJudgeHeap = true;
#endif

size_t HeapInUse() {
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;
}

}  // namespace

// Both mode: via the station on the fast link; inverse on the handler in a full store claiming
// 2 levels more (refused); a line dead in access 5, whose cut access is not counted.
TEST_F(RandomAccess, BothModeKeepsThePlatesWhereTheRowsSayAndSumsThemUp) {
  std::vector<plcsim::Slot> full;
  for (int p = 1; p <= 9; ++p)
    for (int l = 1; l <= 10; ++l) full.push_back({p, l});
  const std::tuple<const char*, plcsim::SimConfig, uint16_t, bool, int, bool> cases[] = {
      {"byn0\r3\r", {}, 10, true, 300, false},
      {"BNY-1\r0\r", {.plates = full}, 12, false, 80, false},
      {"byn0\r3\r", {}, 10, false, 4, true}};
  for (const auto& [answers, store, levels, fastLink, accesses, dies] : cases) {
    SCOPED_TRACE(answers);
    Configure(store);
    log.rows.clear();
    AccessJudge judge(plc, fastLink || dies ? plcsim::Place::Station() : plcsim::Place::Handler());
    int64_t goneAt = -1;
    keys.onPresent = [&, levels = levels, fastLink = fastLink, dies = dies,
                      accesses = accesses](const console::Screen& s) {
      if (plc.Dm(25) != levels) plc.SetDm(25, levels), FastLink = line.paced = fastLink;
      const std::string now = s.RowText(s.ScreenCursorRow());
      if (dies && goneAt < 0 && now.starts_with("  5\xB3L") && Has(now, "\xB3OK\xB3"))
        goneAt = line.faults.goneAtMicros = clock.NowMicros();
      if (goneAt >= 0 && clock.NowMicros() > goneAt + 60 * kSecond && !keys.Pending()) Quit();
      if (dies) plc.Advance(clock.NowMicros());  // the store goes on with nothing to wake it
      if (log.See(s) && judge.See(log.rows.back()) && !dies && judge.count + 1 == accesses) Quit();
    };
    RunScreen(RandomAccessTest, answers, store, {.operatorResetMicros = 5 * kSecond});
    JudgeAccessRun(judge, dies);
    EXPECT_EQ(judge.count, accesses);
    EXPECT_EQ(judge.impossible > 0, levels > 10);
    EXPECT_EQ(judge.marks, 0);  // a carousel without faults
  }
  // No reply: position 0 ("@") at the start of each tracking; the times run to the quit.
  EXPECT_EQ(log.rows.at(6),
            Bars("  5³L 8/ 3³POK³LOK³OK³@ @             ³  0³At 61.7 61.1 ³Wt  3³@"));
}

// The line dies before the level count is read: the menu's count holds; a summary of nothing.
TEST_F(RandomAccess, ALineThatDiesBeforeTheLevelCountStillEndsInASummaryOfNothing) {
  keys.onPresent = [&](const console::Screen& s) {
    if (log.See(s) && log.rows.back().starts_with("Unld Plate form 1,1   OK OK OK"))
      line.faults.goneAtMicros = clock.NowMicros(), Script("_~_Y_x", 60 * kSecond);
  };
  RunScreen(RandomAccessTest, "byn-1\r1\r");
  ExpectWindowRows(9,
                   Rows("Complete Access Time Summary|Access Including Gate Cycles||"
                        "Access Procedure:       Fast"),
                   19);
  ExpectWindowRows(24, {std::string(55, '_')});
  ExpectSummary(
      "Total Accesses:           0|Access Interval [Min]:    0|"
      "Min. Access Time:      21474836.5  PR 21474836.5|Max. Access Time:       0.0  PR  0.0|"
      "Mean Access Time:       0.0  PR  0.0||Max PosTest Time:       0.0|"
      "Min PosTest Tim:       214748364.7||Car. Pos. Errs         0");
  EXPECT_EQ(plc.Plates().Occupied(), Lines{"station"});
}

// Carousel mode, wrong positions: "<" at 1 out of turn, a pause ("tx..") at a turn a second
// off its taught time (4 steps taught 5 s). A cycle a quit cut stays counted, with its time.
TEST_F(RandomAccess, CarouselModeSetsTurnsAgainstTaughtTimesAndCountsEachCycleItStarts) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      // Keys; Esc and Y once the third row shows this (none: Esc at the second pause).
      {"c-1\r30\r", nullptr,
       "Total Accesses:          10|Access Interval [Min]:    5|"
       "Min. Access Time:       0.5  PR 21474836.5|Max. Access Time:       4.3  PR  0.0|"
       "Mean Access Time:       2.4  PR  0.0||Max PosTest Time:      22.1|"
       "Min PosTest Tim:        1.4||Car. Pos. Errs         5"},
      {"c-1\r0\r", "  3\xB3 P 2  d 0\xB3",
       "Total Accesses:           3|Access Interval [Min]:    0|Min. Access Time:       2.4  PR "
       "21474836.5"},
      {"c-1\r0\r", "  3\xB3 P 2  d 0\xB3 *B",
       "Total Accesses:           3|Access Interval [Min]:    0|Min. Access Time:       1.3  PR "
       "21474836.5"}};
  const Lines rows = Rows(Bars(
      "Levels detected: 10    RotPos detected: 9; Access OK;  Waiting for Ready|"
      "  1³ P 8  d 7³ *A CDEFGH                         H* ³tP 3.5  tA 4.3 ³Wt 30/ 0 s|"
      "  2³ P 2  d 3³ *H A<B                            B* ³tP 1.7  tA 2.4 ³Wt 30/ 0 s|"
      "  3³ P 2  d 0³ *B                                B* ³tP 0.3  tA 0.5 ³Wt 30/ 0 s|"
      "  4³ P 6  d 4³ *B A<DEF                          F* ³tP 5.0  tA 2.8 ³Wt 30/ 0 s<|tx..|"
      "  5³ P 3  d 6³ *F A<HIABC                        C* ³tP 3.0  tA 3.6 ³Wt 30/ 0 s|"
      "  6³ P 1  d 7³ *C A<EFGHIA                       A* ³tP 3.5  tA 4.3 ³Wt 30/ 0 s|"
      "  7³ P 3  d 2³ *A C                              C* ³tP 1.2  tA 1.9 ³Wt 30/ 0 s|"
      "  8³ P 4  d 1³ *C D                              D* ³tP 0.8  tA 0.9 ³Wt 30/ 0 s|"
      "  9³ P 4  d 0³ *D                                D* ³tP 0.3  tA 0.5 ³Wt 30/ 0 s|"
      " 10³ P 8  d 4³ *D A<FGH                          H* ³tP 5.0  tA 2.8 ³Wt 30/ 0 s<|tx.."));
  for (const auto& [answers, quitAt, summary] : cases) {
    SCOPED_TRACE(answers);
    int pauses = 0;
    Lines shown;
    keys.onPresent = [&, quitAt = quitAt](const console::Screen& s) {
      for (int p = 1; p <= 56 && !PositioningTimes[56]; ++p)  // once the screen started afresh
        PositioningTimes[p] = p == 5 ? 500 : SimTurnHundredths(p - 1);
      const std::string now = Trim(s.RowText(s.ScreenCursorRow()));
      if (keys.Pending()) return;
      if (quitAt && now == quitAt) Quit();
      if (!now.ends_with("tx..")) return;
      if (++pauses < 2 || quitAt) return Script(" ");
      for (int row = 2; row <= 14; ++row) shown.push_back(RowTrim(row));
      Script("~_x");
    };
    RunScreen(RandomAccessTest, answers, {}, {.wrongPosition = true});
    EXPECT_TRUE(SameLines(shown, quitAt ? Lines{} : rows));
    ExpectSummary(summary);
    EXPECT_EQ(plc.MovesWhileNotReady(), 0);
  }
}

// Handler mode: two rows a cycle; waits in seconds, random from 1, negative none; a cut
// cycle keeps its count and times; no plate-ready time.
TEST_F(RandomAccess, HandlerModeRunsTwoRowsACycleWithItsOwnWaitRules) {
  const std::tuple<const char*, bool, const char*, const char*> cases[] = {
      // Keys, Esc and Y while the handler brings in the plate of cycle 3, every row's wait.
      {"hyn5\r", false, "5 5 5 5 5 5",
       "Total Accesses:           3|Access Interval [Min]:    0|"
       "Min. Access Time:       4.8  PR 21474836.5|Max. Access Time:       6.9  PR  0.0|"
       "Mean Access Time:      10.9  PR  0.0"},
      {"HNN0\r4\r", false, "1 1 3 3 1 1", "Total Accesses:           3"},
      {"hxy-1\r7\r", false, "-1 -1 -1 -1 -1 -1",
       "Total Accesses:           3"},  // the plate left on the station
      {"hyn5\r", true, "5 5 5 5 5 5",
       "Total Accesses:           3|Access Interval [Min]:    0|"
       "Min. Access Time:       0.2  PR 21474836.5|Max. Access Time:       6.9  PR  0.0|"
       "Mean Access Time:       8.0  PR  0.0"}};
  for (const auto& [answers, cut, waits, summary] : cases) {
    SCOPED_TRACE(answers);
    const bool inverse = answers[2] == 'y', xfer = answers[1] != 'N';
    log.rows.clear();
    std::string shownWaits;
    keys.onPresent = [&, cut = cut](const console::Screen& s) {
      if (PlateReadyTime == 0) PlateReadyTime = 517, plc.SetDm(0, 1);  // an earlier test's
      const std::string now = s.RowText(s.ScreenCursorRow());
      if (cut && now.starts_with("  3 |Lvl") && Has(now, "LoadOK") && !keys.Pending()) Quit();
      if (!log.See(s) || !Has(log.rows.back(), "|Lvl")) return;
      const std::string& row = log.rows.back();
      shownWaits +=
          (shownWaits.empty() ? "" : " ") + std::to_string(std::atoi(&row[row.find("Wt ") + 3]));
      if (!cut && row.starts_with("  3 |Lvl") && (Has(row, "UnLd") || Has(row, "Pick"))) Quit();
    };
    RunScreen(RandomAccessTest, answers,
              {.plates = {inverse ? plcsim::Slot{-2, 0} : plcsim::Slot{1, 1}}});
    EXPECT_EQ(shownWaits, waits);
    if (std::string(answers) == "hyn5\r" && !cut) {
      EXPECT_TRUE(SameLines(
          log.rows, {"Levels detected: 10    RotPos detected: 9; Access OK;  Waiting for Ready",
                     "Unld Plate form 1,1   OK OK OK",
                     Bars("  1 |Lvl 9 |AcsOK³LoadOK³ AcsTime  6.9 s 9³ Wt 5/0 s"),
                     Bars("  1 |Lvl 9 |AcsOK³UnLdOK³ AcsTm  5.6 s 9³ Wt   5/0 s"),
                     Bars("  2 |Lvl 2 |AcsOK³LoadOK³ AcsTime  5.3 s 2³ Wt 5/0 s"),
                     Bars("  2 |Lvl 2 |AcsOK³UnLdOK³ AcsTm  4.8 s 2³ Wt   5/0 s"),
                     Bars("  3 |Lvl 3 |AcsOK³LoadOK³ AcsTime  5.5 s 3³ Wt 5/0 s"),
                     Bars("  3 |Lvl 3 |AcsOK³UnLdOK³ AcsTm  4.8 s 3³ Wt   5/0 s")}));
    }
    ExpectSummary(summary);
    // The cut cycle still sends its take-out, on purpose, while the bring-in runs.
    EXPECT_EQ(plc.MovesWhileNotReady(), cut ? 1 : 0);
    plc.Advance(clock.NowMicros() + 60 * kSecond);
    EXPECT_EQ(plc.Plates().Occupied(), Lines{xfer ? "station" : "handler"});
  }
}

using RandomAccessSoak = VirtualWorld;

// A day on the handler: one move in 300 stopped and reset half a minute later, the moves it
// makes impossible refused; position 1 out of turn now and then, marked once.
TEST_F(RandomAccessSoak, ADayWithStoppedMovesKeepsThePlateTheFiguresAndTheHeap) {
  AccessJudge judge(plc, plcsim::Place::Handler());
  RowLog log;
  size_t heapAt2 = 0, heapAt24 = 0;
  line.keepWire = false;
  clock.SetLimit(26 * kHour);
  keys.onPresent = [&](const console::Screen& s) {
    plc.logRequests = false;  // the store is made anew as the screen starts
    if (!log.See(s)) return;
    judge.See(log.rows.back());
    log.rows.clear();  // nothing of the day is kept
    if (!heapAt2 && clock.NowMicros() >= 2 * kHour) heapAt2 = HeapInUse();
    if (!heapAt24 && clock.NowMicros() >= 24 * kHour) heapAt24 = HeapInUse(), Script("~_Y_x");
  };
  RunScreen(RandomAccessTest, "bnn0\r60\r", {},
            {.wrongPosition = true, .refuseOneIn = 300, .operatorResetMicros = 30 * kSecond});
  JudgeAccessRun(judge);
  EXPECT_GT(judge.count, 5000);
  EXPECT_GT(judge.stopped, 5);
  EXPECT_GT(judge.impossible, judge.stopped);
  EXPECT_EQ(plc.RefusedMoves(), judge.stopped + judge.impossible);
  // Each mark a turn the store reported out of turn (DM214), once at most.
  EXPECT_GT(judge.marks, 1000);
  EXPECT_LE(judge.marks, plc.Dm(214));
  EXPECT_EQ(judge.markedTwice, 0);
  if (!kJudgeHeap) return;
  ASSERT_GT(heapAt2, 0u);
  EXPECT_LE(heapAt24, heapAt2 + 16 * 1024) << "the heap grew";
}
