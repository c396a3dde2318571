#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "KV_Lib3/exchange.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/positioning_times.h"
#include "comLib3/clock_time.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

// Every row the test ends, in order: caught on the first frame with the cursor at the
// start of the next row, before it scrolls away. Frames drawn in row 1 (status bar,
// quit prompt) don't move the test's cursor and are passed over.
struct FrameLog {
  Lines rows;
  bool atStart = false;
  Lines frame;  // with keepFrame: rows 2 to 25 of the last frame before the summary
  bool keepFrame = false;
  bool See(const console::Screen& s) {
    keepFrame &= s.RowText(1).find("Merovin") == std::string::npos;  // the summary's banner
    if (keepFrame) Keep(s);
    if (s.ScreenCursorRow() == 1) return false;
    const bool start = s.ScreenCursorCol() == 1, ended = start && !atStart;
    if (ended) rows.push_back(Trim(s.RowText(s.ScreenCursorRow() - 1)));
    atStart = start;
    return ended;
  }
  void Keep(const console::Screen& s) {
    Lines now;
    for (int row = 2; row <= s.Rows(); ++row) now.push_back(Trim(s.RowText(row)));
    if (!now[0].empty()) frame = now;  // not the summary's cleared screen
  }
};

// One row of a timed access, read back from the screen.
struct Access {
  int number = 0, position = 0, level = 0, posTest = 0;
  char tag = ' ';
  double at = 0, plateReady = 0;
};

bool ReadAccess(const std::string& row, Access& a) {
  const size_t bar = row.find('\xB3');
  if (bar == std::string::npos || row.size() < 55 || row.substr(42, 4) != Bars("³At "))
    return false;
  a.number = std::atoi(row.c_str());
  a.tag = row[bar + 1];
  return std::sscanf(row.c_str() + bar + 2, "%d/%d", &a.position, &a.level) == 2 &&
         std::sscanf(row.c_str() + 39, "%d", &a.posTest) == 1 &&
         std::sscanf(row.c_str() + 46, "%lf %lf", &a.at, &a.plateReady) == 2;
}

std::string Real(double value) {
  return FixedText(value, 4, 1);
}

// The summary from row 9 on, in the banner's window.
Lines SummaryRows(int count, int interval, const std::string& min, const std::string& max,
                  const std::string& mean, const std::string& posTest, int carPosErrors) {
  const std::string in(18, ' ');
  return {in + "Complete Access Time Summary",
          in + "Access Including Gate Cycles",
          "",
          in + "Access Procedure:       Fast",
          "",
          in + "Total Accesses:        " + NumText(count, 4),
          in + "Access Interval [Min]: " + NumText(interval, 4),
          in + "Min. Access Time:      " + min,
          in + "Max. Access Time:      " + max,
          in + "Mean Access Time:      " + mean,
          "",
          in + "Max PosTest Time:      " + posTest.substr(0, posTest.find('|')),
          in + "Min PosTest Tim:       " + posTest.substr(posTest.find('|') + 1),
          "",
          in + "Car. Pos. Errs         " + std::to_string(carPosErrors),
          std::string(9, ' ') + std::string(55, '_'),
          ""};
}

class RandomAccessTest : public VirtualWorld {
 protected:
  RandomAccessTest() {
    OpenSimPort();
    PositionCount = 9;
    LevelCount = 10;
  }
  // The access and plate-ready means of the summary.
  std::pair<double, double> Means() {
    double access = -1, plateReady = -1;
    std::sscanf(Row(18).c_str() + 41, "%lf  PR %lf", &access, &plateReady);
    return {access, plateReady};
  }
  // Keys for the end of a test: Esc and Y, then one for the summary.
  void Quit() { keys.Key(kKeyEsc), keys.Key('Y', 1), keys.Key('x', 3600 * kSecond); }
};

}  // namespace

// Long both-mode runs: after every row the store holds the test plate where that row put
// it, no turn is marked, and the summary's count, extremes and means are those of the
// rows above it.
TEST_F(RandomAccessTest, BothModeKeepsThePlateWhereTheRowsSayAndSumsThemUp) {
  struct Case {
    const char* keys;
    int accesses;
    int reportedLevels;  // more than the store has: the moves beyond are refused
    bool fullStore;
    bool fastLink = false;  // reads end with the reply, at the line's pace
  } cases[] = {{"BYN0\r3\r", 1000, 10, false},
               {"BNY-1\r0\r", 60, 10, true},
               {"bnn0\r2\r", 60, 12, false},
               {"byn0\r3\r", 200, 10, false, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    const bool inverse = std::toupper(c.keys[2]) == 'Y', xfer = std::toupper(c.keys[1]) != 'N';
    std::vector<plcsim::Slot> plates;
    for (int p = 1; p <= 9; ++p)
      for (int l = 1; l <= 10; ++l)
        if (c.fullStore || (p == 1 && l == 1)) plates.push_back({p, l});
    Configure({.plates = plates});
    plc.SetDm(25, static_cast<uint16_t>(c.reportedLevels));
    plc.logRequests = line.keepWire = false;
    ResetProgramGlobals();
    FastLink = line.paced = c.fastLink;
    OpenSimPort();
    PositionCount = 9, LevelCount = c.reportedLevels;
    const plcsim::Place away = xfer ? plcsim::Place::Station() : plcsim::Place::Handler();
    FrameLog log;
    std::vector<Access> accesses;
    Lines misplaced;
    int refused = 0;
    keys.onPresent = [&](const console::Screen& s) {
      // The technician clears a refused move at the store.
      if (plc.ErrorStands()) plc.Handle("ST 1900", clock.NowMicros());
      Access a;
      if (!log.See(s) || !ReadAccess(log.rows.back(), a)) return;
      accesses.push_back(a);
      const auto slot = plcsim::Place::At(a.position, a.level);
      const bool exists = plc.Plates().Exists(slot), in = a.tag == 'L';
      refused += !exists;
      if (plc.Plates().Count() != static_cast<int>(plates.size()) ||
          plc.Plates().Holds(slot) != (in && exists) || plc.Plates().Holds(away) == (in && exists))
        misplaced.push_back(Escaped(log.rows.back()));
      if (static_cast<int>(accesses.size()) == c.accesses) Quit();
    };
    keys.Type(c.keys);
    const auto wallStart = std::chrono::steady_clock::now();
    ::RandomAccessTest();
    const auto wallMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now() - wallStart)
                            .count();
    std::printf("[ figure ] %d both-mode accesses: %lld ms wall time, %lld s virtual\n", c.accesses,
                static_cast<long long>(wallMs), static_cast<long long>(NowMs() / 1000));
    keys.onPresent = nullptr;

    ASSERT_EQ(static_cast<int>(accesses.size()), c.accesses);
    EXPECT_TRUE(misplaced.empty()) << misplaced.size() << " rows, first " << misplaced[0];
    for (int counter = 211; counter <= 219; ++counter)  // only the slots beyond were refused
      EXPECT_EQ(plc.Dm(counter), counter == 213 ? refused : 0) << "DM" << counter;
    EXPECT_EQ(refused > 0, c.reportedLevels > 10);
    double minAt = 1e9, maxAt = 0, sumAt = 0, minPr = 1e9, maxPr = 0, sumPr = 0;
    int minPt = kNoMinimum, maxPt = 0, marks = 0, number = 0, skipped = 0;
    for (size_t i = 0; i < accesses.size(); ++i) {
      const Access& a = accesses[i];
      EXPECT_EQ(a.tag, (i % 2 == 0) != inverse ? 'L' : 'U');
      EXPECT_EQ(a.number, ++number);  // every access counted
      minAt = std::min(minAt, a.at), maxAt = std::max(maxAt, a.at), sumAt += a.at;
      minPr = std::min(minPr, a.plateReady), maxPr = std::max(maxPr, a.plateReady);
      sumPr += a.plateReady;
      if (a.posTest > 0) minPt = std::min(minPt, a.posTest), maxPt = std::max(maxPt, a.posTest);
    }
    for (const auto& row : log.rows) {  // "<<<" of the access trace, "<" of the rotation
      for (size_t at = 0; (at = row.find('<', at)) != std::string::npos;)
        ++marks, at += row.compare(at, 3, "<<<") == 0 ? 3 : 1;
      skipped += PositionsSkipped(row, 9);
    }
    // The carousel has no fault: it passes its positions slower than the tracking reads
    // them, so every position of every turn shows and no arrival at 1 is marked.
    EXPECT_EQ(skipped, 0);
    EXPECT_EQ(marks, 0);
    // Without the transfer station no plate-ready time is measured: start values.
    // The rows are rounded to a tenth: the mean is read back and held within that.
    const auto [meanAt, meanPr] = Means();
    ExpectRows(
        9, SummaryRows(number, 0, Real(minAt) + "  PR " + Real(minPr),
                       Real(maxAt) + "  PR " + Real(maxPr), Real(meanAt) + "  PR " + Real(meanPr),
                       Real(maxPt / 10.0) + "|" + Real(minPt / 10.0), marks));
    EXPECT_NEAR(meanAt, sumAt / number, 0.101);
    EXPECT_NEAR(meanPr, xfer ? sumPr / number : 0.0, 0.101);
  }
}

// Carousel mode on nine positions with the wrong-position fault: each turn against its
// taught time, "<" where it arrives at position 1 out of turn, a pause at a turn more
// than a second off, where a key goes on and Esc ends the test. The last wait was
// scaled by the tracking: 300 seconds show as 50 minutes.
TEST_F(RandomAccessTest, CarouselModeSetsTurnsAgainstTaughtTimesAndPausesWhereTheyDiffer) {
  plc.faults.wrongPosition = true;
  for (int p = 1; p <= 56; ++p) PositioningTimes[p] = SimTurnHundredths(p - 1);
  PositioningTimes[5] = 500;  // four steps: taught far too long
  FrameLog log;
  log.keepFrame = true;
  int pauses = 0;
  keys.onPresent = [&](const console::Screen& s) {
    log.See(s);
    if (s.RowText(s.ScreenCursorRow()).find("<tx..") != std::string::npos && !keys.Pending())
      ++pauses == 1 ? keys.Key(' ') : (keys.Key(kKeyEsc), keys.Key('x', 3600 * kSecond));
  };
  keys.Type("c5\r");
  ::RandomAccessTest();
  // A countdown from 300 fills the row to its last column and goes on in the row below.
  const std::string turn = "\xB3Wt300/300 s", end = "  0 s";
  EXPECT_TRUE(SameLines(
      log.frame,
      Lines{"Levels detected: 10    RotPos detected: 9; Access OK;  Waiting for Ready",
            Bars("  1³ P 8  d 7³ *A CDEFGH                         H* ³tP 3.5  tA 4.3 ") + turn,
            end,
            Bars("  2³ P 2  d 3³ *H A<B                            B* ³tP 1.7  tA 2.4 ") + turn,
            end,
            Bars("  3³ P 2  d 0³ *B                                B* ³tP 0.3  tA 0.5 ") + turn,
            end,
            Bars("  4³ P 6  d 4³ *B A<DEF                          F* ³tP 5.0  tA 2.8 ") + turn,
            end + "<tx..",
            Bars("  5³ P 3  d 6³ *F A<HIABC                        C* ³tP 3.0  tA 3.6 ") + turn,
            end,
            Bars("  6³ P 1  d 7³ *C A<EFGHIA                       A* ³tP 3.5  tA 4.3 ") + turn,
            end,
            Bars("  7³ P 3  d 2³ *A C                              C* ³tP 1.2  tA 1.9 ") + turn,
            end,
            Bars("  8³ P 4  d 1³ *C D                              D* ³tP 0.8  tA 0.9 ") + turn,
            end,
            Bars("  9³ P 4  d 0³ *D                                D* ³tP 0.3  tA 0.5 ") + turn,
            end,
            Bars(" 10³ P 8  d 4³ *D A<FGH                          H* ³tP 5.0  tA 2.8 ") + turn,
            end + "<tx..",
            "",
            "",
            ""}));
  ExpectRows(9, SummaryRows(10, 50, " 0.5  PR 21474836.5", " 4.3  PR  0.0", " 2.4  PR  0.0",
                            "22.1| 1.4", 5));
}

// Handler mode: two rows a cycle on a random level where the carousel stands, AccessCount
// counting cycles. The typed interval is waited in seconds, a random one is drawn from 1,
// a negative one not waited. No plate-ready time is measured, so a value left by an
// earlier test stays out of the summary. A cycle counts from its start: one that a quit
// cut short keeps its place in the count and its times in the figures.
TEST_F(RandomAccessTest, HandlerModeRunsTwoRowsACycleWithItsOwnWaitRules) {
  struct Case {
    const char* keys;
    int minWait, maxWait;
    bool cut;    // Esc and Y while the handler brings in the plate of cycle 3
    Lines rows;  // the screen, when given
  } cases[] = {
      {"hyn5\r",
       5,
       5,
       false,
       {"Levels detected: 10    RotPos detected: 9; Access OK;  Waiting for Ready",
        "Unld Plate form 1,1   OK OK OK",
        Bars("  1 |Lvl 9 |AcsOK³LoadOK³ AcsTime  6.9 s 9³ Wt 5/0 s"),
        Bars("  1 |Lvl 9 |AcsOK³UnLdOK³ AcsTm  5.6 s 9³ Wt   5/0 s"),
        Bars("  2 |Lvl 2 |AcsOK³LoadOK³ AcsTime  5.3 s 2³ Wt 5/0 s"),
        Bars("  2 |Lvl 2 |AcsOK³UnLdOK³ AcsTm  4.8 s 2³ Wt   5/0 s"),
        Bars("  3 |Lvl 3 |AcsOK³LoadOK³ AcsTime  5.5 s 3³ Wt 5/0 s"),
        Bars("  3 |Lvl 3 |AcsOK³UnLdOK³ AcsTm  4.8 s 3³ Wt   5/0 s"), ""}},
      {"HNN0\r4\r", 1, 4, false, {}},
      {"hxy-1\r7\r", -1, -1, false, {}},  // inverse: the operator left the plate on the station
      {"hyn5\r",
       5,
       5,
       true,
       {Bars("  3 |Lvl 3 |AcsOK³LoadOK³ AcsTime  0.2 s 3³ Wt 5/"),
        Bars("  3 |Lvl 3 |AcsOK³UnLdOK³ AcsTm  0.2 s 3³ Wt   5/")}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    const bool inverse = std::toupper(c.keys[2]) == 'Y', xfer = std::toupper(c.keys[1]) != 'N';
    Configure({.plates = {}});
    plc.Plates().Put(inverse ? plcsim::Place::Station() : plcsim::Place::At(1, 1), true);
    plc.SetDm(0, 1);  // the carousel target an earlier test left: the handler serves there
    ResetProgramGlobals();
    OpenSimPort();
    PositionCount = 9, LevelCount = 10;
    PlateReadyTime = 517;  // left by an earlier test
    const plcsim::Place away = xfer ? plcsim::Place::Station() : plcsim::Place::Handler();
    FrameLog log;
    log.keepFrame = true;
    Lines misplaced;
    std::vector<int> waits;
    std::vector<double> times;
    keys.onPresent = [&](const console::Screen& s) {
      const std::string now = s.RowText(s.ScreenCursorRow());
      if (c.cut && now.rfind("  3 |Lvl", 0) == 0 && now.find("LoadOK") != std::string::npos &&
          !keys.Pending())
        Quit();
      if (!log.See(s) || log.rows.back().find("|Lvl") == std::string::npos) return;
      const std::string& row = log.rows.back();
      const bool in =
          row.find("Load") != std::string::npos || row.find("Plce") != std::string::npos;
      const auto slot = plcsim::Place::At(plc.Dm(1), std::atoi(row.c_str() + 8));
      if (!c.cut && (plc.Plates().Holds(slot) != in || plc.Plates().Holds(away) == in ||
                     plc.Plates().Count() != 1))
        misplaced.push_back(Escaped(row));
      times.push_back(std::atof(row.c_str() + row.find(" s ") - 4));
      waits.push_back(std::atoi(row.c_str() + row.find("Wt ") + 3));
      if (!c.cut && std::atoi(row.c_str()) == 3 && !in) Quit();
    };
    keys.Type(c.keys);
    ::RandomAccessTest();
    keys.onPresent = nullptr;
    ASSERT_EQ(waits.size(), 6u);
    EXPECT_TRUE(misplaced.empty()) << misplaced[0];
    for (int wait : waits) EXPECT_TRUE(wait >= c.minWait && wait <= c.maxWait) << wait;
    EXPECT_EQ(std::set<int>(waits.begin(), waits.end()).size() > 1, c.minWait < c.maxWait);
    const Lines shown(log.frame.begin() + (c.cut ? 6 : 0), log.frame.begin() + (c.cut ? 8 : 9));
    if (!c.rows.empty()) {
      EXPECT_TRUE(SameLines(shown, c.rows));
    }
    const int cycles = 3;
    times.resize(2 * cycles);
    const auto [meanAt, meanPr] = Means();
    EXPECT_NEAR(meanAt, std::accumulate(times.begin(), times.end(), 0.0) / cycles, 0.151);
    ExpectRows(9,
               SummaryRows(cycles, waits.back() / 60,
                           Real(*std::min_element(times.begin(), times.end())) + "  PR 21474836.5",
                           Real(*std::max_element(times.begin(), times.end())) + "  PR  0.0",
                           Real(meanAt) + "  PR  0.0", " 0.0|214748364.7", 0));
  }
}

// Carousel mode counts a cycle from its start: the cycle a quit stopped before its turn
// stays in the count, and a turn the quit cut short is counted with the time it took.
TEST_F(RandomAccessTest, CarouselModeCountsACycleFromItsStart) {
  struct Case {
    size_t quitAt;                            // the length of the third row when Esc comes
    std::string third;                        // that row as it stays
  } cases[] = {{14, Bars("  3³ P 2  d 0³")},  // before the turn: the row stays open
               {17, Bars("  3³ P 2  d 0³ *B                                B* ³tP 0.3  tA 0.3 "
                         "³Wt  0/")}};  // in the turn: Ready was not awaited
  for (const auto& c : cases) {
    ResetProgramGlobals();
    OpenSimPort();
    PositionCount = 9, LevelCount = 10;
    for (int p = 1; p <= 56; ++p) PositioningTimes[p] = SimTurnHundredths(p - 1);
    FrameLog log;
    log.keepFrame = true;
    std::vector<double> times;
    keys.onPresent = [&](const console::Screen& s) {
      const std::string now = Trim(s.RowText(s.ScreenCursorRow()));
      if (now.rfind("  3\xB3", 0) == 0 && now.size() == c.quitAt && !keys.Pending()) Quit();
      if (log.See(s) && log.rows.back().find("tA") == 61)
        times.push_back(std::atof(log.rows.back().c_str() + 63));
    };
    keys.Type("c-1\r0\r");
    ::RandomAccessTest();
    EXPECT_EQ(log.frame[3], c.third);
    ASSERT_EQ(times.size(), c.quitAt == 14 ? 2u : 3u);
    ExpectRows(14, {"                  Total Accesses:           3"});
    EXPECT_EQ(Row(16).substr(18, 27) + Row(17).substr(18, 27),
              "Min. Access Time:      " + Real(*std::min_element(times.begin(), times.end())) +
                  "Max. Access Time:      " + Real(*std::max_element(times.begin(), times.end())));
  }
}

// A store of 60 positions: turns of 56 steps and more have no taught time in the table
// and are set against none.
TEST_F(RandomAccessTest, TurnsBeyondTheTaughtTableAreSetAgainstNoTime) {
  Configure({.positions = 60});
  OpenSimPort();
  PositionCount = 60;
  for (int p = 1; p <= 56; ++p) PositioningTimes[p] = SimTurnHundredths(p - 1);
  FrameLog log;
  int beyond = 0, within = 0;
  auto check = [&](const std::string& row) {
    if (row.find("tP") != 53) return;
    const int distance = std::atoi(row.c_str() + 11);
    (distance >= 56 ? beyond : within)++;
    EXPECT_EQ(row.substr(55, 4), Real(distance >= 56 ? 0 : SimTurnHundredths(distance) / 100.0))
        << row;
    if (beyond + within == 40) Quit();
  };
  keys.onPresent = [&](const console::Screen& s) {
    // A turn more than a second off pauses; its text wraps at the screen's edge.
    if (s.RowText(s.ScreenCursorRow()).find("x..") != std::string::npos && !keys.Pending()) {
      keys.Key(' ');
      check(Trim(s.RowText(s.ScreenCursorRow() - 1)));
    }
    if (log.See(s)) check(log.rows.back());
  };
  keys.Type("c-1\r0\r");
  ::RandomAccessTest();
  EXPECT_GT(beyond, 0);
  EXPECT_GT(within, beyond);
}

// Without levels (or positions) nothing is drawn and nothing moves: a message, a key,
// the menu. The both mode reads the levels again after taking the test plate out.
TEST_F(RandomAccessTest, WithoutLevelsNothingMovesAndTheMenuComesBack) {
  struct Case {
    const char* keys;
    int32_t positions, levels;
    uint16_t storeLevels;  // what DM25 reads
    int row;               // where the message stands
    std::string message;
    bool tookOut;  // the test plate was taken out before the levels were read
  } cases[] = {
      {"h", 9, 0, 10, 3, "Store reports no levels (DM25 = 0): press a key for the menu", false},
      {"B", 9, -3, 10, 3, "Store reports no levels (DM25 = -3): press a key for the menu", false},
      {"c", -1, 10, 10, 3, "Store reports no positions (DM29 = -1): press a key for the menu",
       false},
      {"bnn-1\r0\r", 9, 10, 0, 4, "Store reports no levels (DM25 = 0): press a key for the menu",
       true},
  };
  const Lines takeOut = {"ST 1801\r", "WR DM0 1\r", "WR DM5 1\r", "ST 1908\r"};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    plc.SetDm(25, c.storeLevels);
    PositionCount = c.positions, LevelCount = c.levels;
    Mark();
    keys.Type(c.keys), keys.Key('x', 3600 * kSecond);
    ::RandomAccessTest();
    EXPECT_EQ(RowTrim(c.row), c.message);
    Lines moves;  // requests that set a relay or write a word
    for (const auto& r : SentSinceMark())
      if (r.rfind("ST ", 0) == 0 || r.rfind("WR ", 0) == 0) moves.push_back(r);
    EXPECT_TRUE(SameLines(moves, c.tookOut ? takeOut : Lines{}));
    EXPECT_EQ(plc.Plates().Occupied(), Lines{c.tookOut ? "handler" : "1.1"});
    plc.Plates().Put(plcsim::Place::Handler(), false),
        plc.Plates().Put(plcsim::Place::At(1, 1), true);
    EXPECT_EQ(keys.Pending(), 0u);
  }
}

// Entries that are not numbers are asked again; a wait of minutes is kept in seconds
// without wrapping round, however large, and the summary shows it back in minutes.
TEST_F(RandomAccessTest, IntervalEntriesAreAskedAgainAndKeptWithoutWrapping) {
  struct Case {
    const char* keys;
    int asked;          // "Invalid numeric input" rows
    std::string waits;  // the first row from the End Access reply on
    int interval;       // the summary's minutes
  } cases[] = {
      {"byn"
       "abc\r5x\r5\r",
       2, "OK³Wt300³³Wt300³  0 s", 5},
      {"BYN"
       "2147483647\r",
       0, "OK³Wt2147483647³³Wt2147483647³         0 s", 35791394},
      {"byn"
       "-1\rx\r-2147483648\r",
       1, "  ³Wt-2147483648³³Wt-2147483648³0 s", -35791394},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    Configure();
    ResetProgramGlobals();
    OpenSimPort();
    PositionCount = 9, LevelCount = 10;
    FrameLog log;
    log.keepFrame = true;
    int asked = 0;
    keys.onPresent = [&](const console::Screen& s) {
      const bool ended = log.See(s) && s.RowText(2).compare(0, 4, "  1\xB3") == 0;  // the first
      int shown = 0;
      for (int row = 2; row <= s.Rows(); ++row)
        shown += s.RowText(row).find("Invalid numeric input") != std::string::npos;
      asked = std::max(asked, shown);
      const std::string row = Trim(s.RowText(s.ScreenCursorRow()));  // a countdown runs
      const bool counting = row.size() > 2 && row.compare(row.size() - 2, 2, " s") == 0;
      if ((ended || counting) && !keys.Pending()) Quit();
    };
    keys.Type(c.keys);
    ::RandomAccessTest();
    keys.onPresent = nullptr;
    EXPECT_EQ(asked, c.asked);
    // The access row from the End Access reply on; a long one wraps at the screen's edge.
    EXPECT_EQ(Escaped((log.frame[0] + log.frame[1]).substr(56)), Escaped(Bars(c.waits)));
    ExpectRows(14, {"                  Total Accesses:           1",
                    "                  Access Interval [Min]: " + NumText(c.interval, 4)});
  }
}

// The line goes dead while the handler runs access 5: the test goes on waiting with empty
// replies and no busy polling, Esc and Y still end it, and the summary shows the four
// accesses that counted.
TEST_F(RandomAccessTest, AControllerThatStopsAnsweringCountsNoMoreAccesses) {
  FrameLog log;
  log.keepFrame = true;
  std::vector<Access> accesses;
  int64_t goneAt = -1;
  keys.onPresent = [&](const console::Screen& s) {
    Access a;
    if (log.See(s) && ReadAccess(log.rows.back(), a)) accesses.push_back(a);
    if (goneAt < 0 && s.RowText(s.ScreenCursorRow()).find("  5\xB3L") == 0 &&
        s.RowText(s.ScreenCursorRow()).find("\xB3OK\xB3") != std::string::npos)
      goneAt = line.faults.goneAtMicros = clock.NowMicros();
    if (goneAt >= 0 && clock.NowMicros() > goneAt + 120 * kSecond && !keys.Pending()) Quit();
  };
  keys.Type("byn0\r3\r");
  ::RandomAccessTest();
  keys.onPresent = nullptr;
  ASSERT_EQ(accesses.size(), 5u);  // the fifth is shown, not counted
  accesses.pop_back();
  EXPECT_EQ(log.frame[4].substr(0, 28), Bars("  5³L 4/ 1³POK³LOK³OK³@ @   "));  // no replies
  double minAt = 1e9, maxAt = 0;
  for (const auto& a : accesses) minAt = std::min(minAt, a.at), maxAt = std::max(maxAt, a.at);
  ExpectRows(14, {"                  Total Accesses:           4",
                  "                  Access Interval [Min]:    0"});
  EXPECT_EQ(Row(16).substr(18, 27) + Row(17).substr(18, 27),
            "Min. Access Time:      " + Real(minAt) + "Max. Access Time:      " + Real(maxAt));
}

// The line dies between the test plate's taking out and the level count's reading: the
// test goes on with the count read at the menu, answering empty, and Esc and Y still
// bring the summary.
TEST_F(RandomAccessTest, ALineThatDiesBeforeTheLevelCountStillEndsInTheSummary) {
  int64_t goneAt = -1;
  keys.onPresent = [&](const console::Screen& s) {
    const int row = s.ScreenCursorRow();
    if (goneAt < 0 && row > 1 && s.ScreenCursorCol() == 1 &&
        s.RowText(row - 1).starts_with("Unld Plate form 1,1   OK OK OK"))
      goneAt = line.faults.goneAtMicros = clock.NowMicros();
    if (goneAt >= 0 && clock.NowMicros() > goneAt + 60 * kSecond && !keys.Pending()) Quit();
  };
  keys.Type("byn-1\r1\r");
  ::RandomAccessTest();
  keys.onPresent = nullptr;
  ASSERT_GE(goneAt, 0);
  EXPECT_EQ(RowTrim(9), "                  Complete Access Time Summary") << ScreenText();
  ExpectRows(14, {"                  Total Accesses:           0"});
  EXPECT_EQ(plc.Plates().Occupied(), Lines{"station"});
}

// Quit before anything was counted: the start values, and the sums undivided.
TEST_F(RandomAccessTest, SummaryOfNothingCountedShowsTheStartValues) {
  keys.Key('x', kSecond);
  AccessTimeSummary();
  ExpectRows(9, SummaryRows(0, 0, "21474836.5  PR 21474836.5", " 0.0  PR  0.0", " 0.0  PR  0.0",
                            " 0.0|214748364.7", 0));
}
