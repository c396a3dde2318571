// The random-access test in its three modes against the simulated store: the rows, the
// store's books and the summary.
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
  // Every turn taught as the store makes it (once the screen has started afresh), but a
  // turn of four steps taught a second and a half long.
  static void TeachTurns() {
    if (PositioningTimes[1]) return;
    for (int p = 1; p <= 56; ++p) PositioningTimes[p] = SimTurnHundredths(p - 1);
    PositioningTimes[5] = 500;
  }
  // Esc and Y; the key for the summary comes long after, past its key flush.
  void Quit() { Script("~_Y"), keys.Key('x', 600 * kSecond); }
  // Summary rows from "Total Accesses:" on, as the window shows them from its column 10.
  void ExpectSummary(const std::string& rows) {
    Lines shown(1);
    for (char c : rows) c == '|' ? shown.push_back("") : shown.back().push_back(c);
    for (auto& row : shown) row = row.empty() ? row : std::string(9, ' ') + row;
    ExpectWindowRows(14, rows.empty() ? Lines{} : shown);
  }
  RowLog log;
};

bool Has(const std::string& row, const char* text) {
  return row.find(text) != std::string::npos;
}

}  // namespace

// Long both-mode runs, judged row by row: through the transfer station on the fast link;
// in inverse order on the handler alone in a full store that reports two levels more than
// it has, where the moves beyond are refused and an operator resets the store.
TEST_F(RandomAccess, BothModeKeepsThePlatesWhereTheRowsSayAndSumsThemUp) {
  std::vector<plcsim::Slot> full;
  for (int p = 1; p <= 9; ++p)
    for (int l = 1; l <= 10; ++l) full.push_back({p, l});
  struct Case {
    const char* keys;
    plcsim::SimConfig store;
    uint16_t levels;  // DM25
    bool fastLink;
    int accesses;
  } cases[] = {{"byn0\r3\r", {}, 10, true, 300}, {"BNY-1\r0\r", {.plates = full}, 12, false, 80}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    Configure(c.store);
    AccessJudge judge(plc, c.fastLink ? plcsim::Place::Station() : plcsim::Place::Handler());
    keys.onPresent = [&](const console::Screen& s) {
      if (plc.Dm(25) != c.levels) plc.SetDm(25, c.levels), FastLink = line.paced = c.fastLink;
      if (log.See(s) && judge.See(log.rows.back()) && judge.count + 1 == c.accesses) Quit();
    };
    RunScreen(RandomAccessTest, c.keys, c.store, {.operatorResetMicros = 5 * kSecond});
    keys.onPresent = nullptr;
    JudgeAccessRun(judge);
    EXPECT_EQ(judge.count, c.accesses);
    EXPECT_EQ(judge.impossible > 0, c.levels > 10);
    EXPECT_EQ(plc.RefusedMoves(), judge.impossible);
    // A carousel without faults passes its positions slower than the tracking reads them.
    EXPECT_EQ(judge.skipped + judge.marks, 0);
  }
}

// The line goes dead while the handler runs access 5: the test waits on with empty
// replies, Esc and Y still end it, and the fifth, cut by the quit at 61 s, is shown but not
// counted.
TEST_F(RandomAccess, AControllerThatStopsAnsweringCountsNoMoreAccesses) {
  Configure();
  AccessJudge judge(plc, plcsim::Place::Station());
  int64_t goneAt = -1;
  keys.onPresent = [&](const console::Screen& s) {
    const std::string now = s.RowText(s.ScreenCursorRow());
    if (goneAt < 0 && now.starts_with("  5\xB3L") && Has(now, "\xB3OK\xB3"))
      goneAt = line.faults.goneAtMicros = clock.NowMicros();
    if (goneAt >= 0 && clock.NowMicros() > goneAt + 60 * kSecond && !keys.Pending()) Quit();
    plc.Advance(clock.NowMicros());  // the store goes on with no request to wake it
    if (log.See(s)) judge.See(log.rows.back());
  };
  RunScreen(RandomAccessTest, "byn0\r3\r");
  keys.onPresent = nullptr;
  JudgeAccessRun(judge, true);
  EXPECT_EQ(judge.count, 4);
  // No reply: position 0 ("@") at the start of each tracking; the times run to the quit.
  EXPECT_EQ(log.rows.at(6),
            Bars("  5³L 4/ 1³POK³LOK³OK³@ @             ³  0³At 61.7 61.1 ³Wt  3³@"));
}

// The line dies between the test plate's taking out and the level count's reading: the
// test goes on with the count read at the menu, and Esc and Y bring a summary of nothing.
TEST_F(RandomAccess, ALineThatDiesBeforeTheLevelCountStillEndsInASummaryOfNothing) {
  keys.onPresent = [&](const console::Screen& s) {
    if (log.See(s) && log.rows.back().starts_with("Unld Plate form 1,1   OK OK OK"))
      line.faults.goneAtMicros = clock.NowMicros(), Script("_~_Y_x", 60 * kSecond);
  };
  RunScreen(RandomAccessTest, "byn-1\r1\r");
  keys.onPresent = nullptr;
  ExpectWindowRows(
      9, {"         Complete Access Time Summary", "         Access Including Gate Cycles", "",
          "         Access Procedure:       Fast"});
  ExpectWindowRows(24, {std::string(55, '_')});
  ExpectSummary(
      "Total Accesses:           0|Access Interval [Min]:    0|"
      "Min. Access Time:      21474836.5  PR 21474836.5|Max. Access Time:       0.0  PR  0.0|"
      "Mean Access Time:       0.0  PR  0.0||Max PosTest Time:       0.0|"
      "Min PosTest Tim:       214748364.7||Car. Pos. Errs         0");
  EXPECT_EQ(plc.Plates().Occupied(), Lines{"station"});
}

// Carousel mode with the wrong-position fault: each turn against its taught time, "<"
// where it arrives at position 1 out of turn, a pause at a turn more than a second off,
// where a key goes on and Esc ends the test; the wait shown, as the tracking left it ten
// times over, in the summary. A cycle counts from its start: one that a quit stopped
// before its turn, or in it, stays in the count, with the time it took.
TEST_F(RandomAccess, CarouselModeSetsTurnsAgainstTaughtTimesAndCountsEachCycleItStarts) {
  struct Case {
    const char* keys;
    const char* quitAt;  // Esc and Y once the third row shows this; none: Esc at the second pause
    const char* summary;
  } cases[] = {{"c-1\r30\r", nullptr,
                "Total Accesses:          10|Access Interval [Min]:    5|"
                "Min. Access Time:       0.5  PR 21474836.5|Max. Access Time:       4.3  PR  0.0|"
                "Mean Access Time:       2.4  PR  0.0||Max PosTest Time:      22.1|"
                "Min PosTest Tim:        1.4||Car. Pos. Errs         5"},
               {"c-1\r0\r", "  3\xB3 P 2  d 0\xB3",
                "Total Accesses:           3|Access Interval [Min]:    0|"
                "Min. Access Time:       2.4  PR 21474836.5|Max. Access Time:       4.3  PR  0.0"},
               {"c-1\r0\r", "  3\xB3 P 2  d 0\xB3 *B",
                "Total Accesses:           3|Access Interval [Min]:    0|"
                "Min. Access Time:       1.3  PR 21474836.5|Max. Access Time:       4.3  PR  0.0"}};
  const std::string wait = "\xB3Wt 30/ 0 s";
  const Lines rows = {
      "Levels detected: 10    RotPos detected: 9; Access OK;  Waiting for Ready",
      Bars("  1³ P 8  d 7³ *A CDEFGH                         H* ³tP 3.5  tA 4.3 ") + wait,
      Bars("  2³ P 2  d 3³ *H A<B                            B* ³tP 1.7  tA 2.4 ") + wait,
      Bars("  3³ P 2  d 0³ *B                                B* ³tP 0.3  tA 0.5 ") + wait,
      Bars("  4³ P 6  d 4³ *B A<DEF                          F* ³tP 5.0  tA 2.8 ") + wait + "<",
      "tx..",
      Bars("  5³ P 3  d 6³ *F A<HIABC                        C* ³tP 3.0  tA 3.6 ") + wait,
      Bars("  6³ P 1  d 7³ *C A<EFGHIA                       A* ³tP 3.5  tA 4.3 ") + wait,
      Bars("  7³ P 3  d 2³ *A C                              C* ³tP 1.2  tA 1.9 ") + wait,
      Bars("  8³ P 4  d 1³ *C D                              D* ³tP 0.8  tA 0.9 ") + wait,
      Bars("  9³ P 4  d 0³ *D                                D* ³tP 0.3  tA 0.5 ") + wait,
      Bars(" 10³ P 8  d 4³ *D A<FGH                          H* ³tP 5.0  tA 2.8 ") + wait + "<",
      "tx.."};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    int pauses = 0;
    Lines shown;
    keys.onPresent = [&](const console::Screen& s) {
      TeachTurns();
      const std::string now = Trim(s.RowText(s.ScreenCursorRow()));
      if (keys.Pending()) return;
      if (c.quitAt && now == c.quitAt) Quit();
      if (!now.ends_with("tx..")) return;
      if (++pauses < 2 || c.quitAt) return Script(" ");
      for (int row = 2; row <= 14; ++row) shown.push_back(RowTrim(row));
      Script("~_x");
    };
    RunScreen(RandomAccessTest, c.keys, {}, {.wrongPosition = true});
    keys.onPresent = nullptr;
    EXPECT_TRUE(SameLines(shown, c.quitAt ? Lines{} : rows));
    ExpectSummary(c.summary);
    EXPECT_EQ(plc.MovesWhileNotReady(), 0);
  }
}

// Handler mode: two rows a cycle on a random level where the carousel stands, counting
// cycles. The typed interval is waited in seconds, a random one drawn from 1, a negative
// one not waited. A cycle that a quit cut short keeps its place in the count and its
// times in the figures. No plate-ready time is measured: one an earlier test left stays
// out of the summary.
TEST_F(RandomAccess, HandlerModeRunsTwoRowsACycleWithItsOwnWaitRules) {
  struct Case {
    const char* keys;
    bool cut;           // Esc and Y while the handler brings in the plate of cycle 3
    const char* waits;  // of every row
    const char* summary;
  } cases[] = {{"hyn5\r", false, "5 5 5 5 5 5",
                "Total Accesses:           3|Access Interval [Min]:    0|"
                "Min. Access Time:       4.8  PR 21474836.5|Max. Access Time:       6.9  PR  0.0|"
                "Mean Access Time:      10.9  PR  0.0||Max PosTest Time:       0.0|"
                "Min PosTest Tim:       214748364.7||Car. Pos. Errs         0"},
               {"HNN0\r4\r", false, "1 1 3 3 1 1", ""},
               {"hxy-1\r7\r", false, "-1 -1 -1 -1 -1 -1", ""},  // the plate left on the station
               {"hyn5\r", true, "5 5 5 5 5 5",
                "Total Accesses:           3|Access Interval [Min]:    0|"
                "Min. Access Time:       0.2  PR 21474836.5|Max. Access Time:       6.9  PR  0.0|"
                "Mean Access Time:       8.0  PR  0.0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    const bool inverse = c.keys[2] == 'y', xfer = c.keys[1] != 'N';
    log.rows.clear();
    std::string waits;
    keys.onPresent = [&](const console::Screen& s) {
      if (PlateReadyTime == 0) PlateReadyTime = 517, plc.SetDm(0, 1);  // left by an earlier test
      const std::string now = s.RowText(s.ScreenCursorRow());
      if (c.cut && now.starts_with("  3 |Lvl") && Has(now, "LoadOK") && !keys.Pending()) Quit();
      if (!log.See(s) || !Has(log.rows.back(), "|Lvl")) return;
      const std::string& row = log.rows.back();
      waits += (waits.empty() ? "" : " ") + std::to_string(std::atoi(&row[row.find("Wt ") + 3]));
      if (!c.cut && row.starts_with("  3 |Lvl") && (Has(row, "UnLd") || Has(row, "Pick"))) Quit();
    };
    RunScreen(RandomAccessTest, c.keys,
              {.plates = {inverse ? plcsim::Slot{-2, 0} : plcsim::Slot{1, 1}}});
    keys.onPresent = nullptr;
    EXPECT_EQ(waits, c.waits);
    if (&c == cases) {
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
    ExpectSummary(c.summary);
    // After the quit the cut cycle still sends its take-out, on purpose, while the
    // bring-in runs.
    EXPECT_EQ(plc.MovesWhileNotReady(), c.cut ? 1 : 0);
    plc.Advance(clock.NowMicros() + 60 * kSecond);
    EXPECT_EQ(plc.Plates().Occupied(), Lines{xfer ? "station" : "handler"});
  }
}
