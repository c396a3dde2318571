// The records the access tests leave with --record: each row holds what its screen line
// shows, so the line can be built again from the row; the summary follows as comments.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/positioning_times.h"
#include "PXN_Lib3/record.h"
#include "PXN_Lib3/status.h"
#include "base/farewell.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"
#include "support/virtual_world.h"

namespace {

const std::string kBar(1, '\xB3');
using Cells = std::vector<std::string>;


// Splits one CSV line; quoted cells may hold commas and doubled quotes.
Cells SplitCsv(const std::string& line) {
  Cells cells(1);
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      cells.back() += '"';
      ++i;
    } else if (c == '"') {
      quoted = !quoted;
    } else if (c == ',' && !quoted) {
      cells.emplace_back();
    } else {
      cells.back() += c;
    }
  }
  return cells;
}

struct Csv {
  Cells header;
  std::vector<Cells> rows;
  Lines notes;  // comment lines without their "# "
};

Csv ReadCsv(const std::string& path) {
  std::ifstream in(path);
  Csv csv;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("# ", 0) == 0)
      csv.notes.push_back(line.substr(2));
    else if (csv.header.empty())
      csv.header = SplitCsv(line);
    else
      csv.rows.push_back(SplitCsv(line));
  }
  return csv;
}

// Hundredths from a seconds cell ("2.34"), as the screen shows them: one decimal, 4 wide.
std::string Shown(const std::string& seconds, int width = 4) {
  return FixedText(std::stod(seconds), width, 1);
}

std::string PadTo(std::string text, int column) {  // to just before a 1-based column
  if (static_cast<int>(text.size()) < column - 1) text.resize(static_cast<size_t>(column - 1), ' ');
  return text;
}

// The screen lines each mode writes, built again from a record's row (the clock is last),
// up to the countdown of the wait, which a quit cuts short.
std::string BothLine(const Cells& c) {
  const std::string end = c[11].empty() ? "  " : c[11];
  const std::string wait = kBar + "Wt" + NumText(std::stoi(c[12]), 3) + kBar;
  return PadTo(NumText(std::stoi(c[0]), 3) + kBar + c[1] + NumText(std::stoi(c[2]), 2) + "/" +
                   NumText(std::stoi(c[3]), 2) + kBar + "P" + c[4] + kBar + "L" + c[5] + kBar +
                   c[6] + kBar + c[7],
               39) +
         kBar + NumText(std::stoi(c[8]), 3) + kBar + "At " + Shown(c[9]) + " " + Shown(c[10]) +
         " " + end + wait + wait;
}

std::string CarouselLine(const Cells& c) {
  const std::string head = NumText(std::stoi(c[0]), 3) + kBar + " P" + NumText(std::stoi(c[1]), 2) +
                           "  d" + NumText(std::stoi(c[2]), 2) + kBar;
  if (c[4].empty()) return head;  // quit before the turn
  return PadTo(head + " *" + c[3], 50) + c[4] + "* " + kBar + "tP" + Shown(c[5]) + "  tA" +
         Shown(c[6]) + " " + kBar + "Wt" + NumText(std::stoi(c[8]), 3) + "/";
}

std::string HandlerLine(const Cells& c) {
  const bool in = c[1] == "Load" || c[1] == "Plce";
  return NumText(std::stoi(c[0]), 3) + " |Lvl" + NumText(std::stoi(c[2]), 2) + " |Acs" + c[3] +
         kBar + c[1] + c[4] + kBar + (in ? " AcsTime " : " AcsTm ") + Shown(c[5]) + " s " + c[6] +
         kBar + " Wt " + (in ? c[7] : NumText(std::stoi(c[7]), 3)) + "/";
}

// Whatever a reply holds stays in its own cell, readable; times keep their hundredths.
TEST(RecordCells, RepliesAndTimesBecomeCellsThatReadBack) {
  const std::pair<std::string, std::string> texts[] = {
      {"OK", "OK"},
      {"E1,2", "\"E1,2\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"A B ", "\"A B \""},
      {std::string("\x01\xfe\r\n", 4), "\\x01\\xFE\\r\\n"},
      {"", ""},
  };
  std::string line;
  Cells expected;
  for (const auto& [text, cell] : texts) {
    EXPECT_EQ(CsvCell(text), cell) << Escaped(text);
    line += (line.empty() ? "" : ",") + CsvCell(text);
    expected.push_back(text.find('\x01') == 0 ? cell : text);
  }
  EXPECT_EQ(SplitCsv(line), expected);
  const std::pair<int64_t, const char*> times[] = {
      {0, "0.00"}, {5, "0.05"}, {234, "2.34"}, {-7, "-0.07"}, {2147483647, "21474836.47"}};
  for (const auto& [hundredths, cell] : times) EXPECT_EQ(SecondsCell(hundredths), cell);
}

class RecordsTest : public VirtualWorld {
 protected:
  RecordsTest() {
    dir_ = std::filesystem::temp_directory_path() /
           ("pxn32-records-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
  }
  ~RecordsTest() override { std::filesystem::remove_all(dir_); }
  // The one file in the folder.
  std::string OnlyFile() const {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir_))
      files.push_back(entry.path().string());
    EXPECT_EQ(files.size(), 1u);
    return files.empty() ? "" : files[0];
  }
  // Esc and Y; then a key for the summary, if the test shows one.
  void Quit(bool summary = true) {
    keys.Key(kKeyEsc);
    keys.Key('Y', 1);
    if (summary) keys.Key('x', 3600 * kSecond);
  }
  std::filesystem::path dir_;
};

// What the program says on its way out.
std::string Farewell() {
  testing::internal::CaptureStderr();
  base::SayFarewell();
  return testing::internal::GetCapturedStderr();
}

// A record that can't be written: NO REC shows while the test it belongs to runs, and
// goes when the next record works; on the way out every failure is named with its file
// and its true cause.
TEST_F(RecordsTest, AFailedRecordIsMarkedWhileItFailsAndNamedOnTheWayOut) {
  const std::string taken = (dir_ / "taken").string(), locked = (dir_ / "locked").string();
  std::filesystem::create_directories(locked);
  std::ofstream(taken) << "a file where the folder should be";
  const std::string bar = "Plaxon    ComPort 1  SNr. 0  SysStat 0000    Ready 1";
  OpenSimPort();
  RecordFolder = taken;
  StartRecord("a", {"x"});
  RecordRow({"1"});
  ShowStatus();
  EXPECT_EQ(Row(1).substr(0, 72), bar + std::string(13, ' ') + "NO REC ");
  std::filesystem::remove(taken);
  clock.Advance(kSecond);
  StartRecord("b", {"x"});
  RecordRow({"1"});
  EndRecord();
  ShowStatus();
  EXPECT_EQ(Row(1).substr(0, 72), bar + std::string(20, ' '));
  EXPECT_EQ(Farewell(), "pxn32: --record " + taken + "/2026-12-06_10-00-00_a.csv: Not a directory\n");
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

// A short run of each mode, quit in the middle of an access: the file's name, its header,
// one row for each row on the screen that the row builds again exactly, the rows that
// counted as many as the summary's total, and the summary as the last notes.
TEST_F(RecordsTest, ARandomAccessRecordHoldsTheScreensRowsAndItsSummary) {
  struct Case {
    const char* keys;
    const char* name;
    std::string (*line)(const Cells&);
    size_t columns, counted;  // the counted column
    int rowsACount;           // the handler counts cycles of two rows
  } cases[] = {
      {"BYN-1\r0\r", "random-access-both", BothLine, 17, 14, 1},
      {"bnn-1\r0\r", "random-access-both", BothLine, 17, 14, 1},
      {"C-1\r0\r", "random-access-carousel", CarouselLine, 12, 9, 1},
      {"HYN-1\r0\r", "random-access-handler", HandlerLine, 10, 8, 2},
  };
  for (int p = 1; p <= 56; ++p)
    PositioningTimes[p] = SimTurnHundredths(p - 1);  // no deviation stops
  for (const auto& c : cases) {
    SCOPED_TRACE(c.keys);
    Configure();
    ResetProgramGlobals();
    std::filesystem::remove_all(dir_);
    RecordFolder = dir_.string();
    OpenSimPort();
    PositionCount = 9;
    LevelCount = 10;
    for (int p = 1; p <= 56; ++p) PositioningTimes[p] = SimTurnHundredths(p - 1);
    Lines rows;
    bool atStart = false;
    keys.onPresent = [&](const console::Screen& s) {
      if (s.ScreenCursorRow() == 1) return;
      const bool start = s.ScreenCursorCol() == 1;
      if (start && !atStart) rows.push_back(Trim(s.RowText(s.ScreenCursorRow() - 1)));
      atStart = start;
      // The quit comes in the middle of an access, which then does not count.
      const bool busy = Trim(s.RowText(s.ScreenCursorRow())).size() > 16;
      if (rows.size() >= 8 && busy && !keys.Pending()) Quit();
    };
    keys.Type(c.keys);
    const std::string started = "2026-12-06_";
    ::RandomAccessTest();
    keys.onPresent = nullptr;

    const std::string path = OnlyFile();
    const std::string name = path.substr(dir_.string().size() + 1);
    EXPECT_EQ(name.substr(0, started.size()), started);
    EXPECT_EQ(name[13] + name.substr(16, 1) + name[19], "--_") << name;
    EXPECT_TRUE(path.ends_with(std::string("_") + c.name + ".csv")) << path;
    const Csv csv = ReadCsv(path);
    ASSERT_EQ(csv.header.size(), c.columns);
    EXPECT_EQ(csv.header.back(), "clock");
    // The screen's rows of accesses, from the one the record starts with; a carousel turn
    // cut short by the quit leaves its row open, under the summary.
    ASSERT_FALSE(csv.rows.empty());
    Lines shown, built;
    std::string before;  // each row is written as its access ends, at its own time
    for (const Cells& row : csv.rows) {
      ASSERT_EQ(row.size(), c.columns) << Escaped(row[0]);
      EXPECT_EQ(row.back().substr(0, 11), "2026-12-06 ");
      EXPECT_GT(row.back(), before);
      before = row.back();
      built.push_back(c.line(row));
    }
    const std::string first = built[0].substr(0, 6);
    size_t at = 0;
    while (at < rows.size() && rows[at].compare(0, 6, first) != 0) ++at;
    for (size_t i = at; i < rows.size() && shown.size() < built.size(); ++i)
      shown.push_back(rows[i].ends_with("0 s") ? rows[i].substr(0, rows[i].size() - 3) : rows[i]);
    EXPECT_LE(built.size() - shown.size(), c.rowsACount == 1 && c.columns == 12 ? 1u : 0u);
    EXPECT_GE(shown.size(), 4u);
    built.resize(shown.size());
    EXPECT_TRUE(SameLines(shown, built));
    ASSERT_GE(csv.notes.size(), 12u);
    EXPECT_EQ(csv.notes[0], "Complete Access Time Summary");
    // Rows that counted; the handler counts each cycle it started, whatever its times.
    std::set<std::string> counted;
    for (const Cells& row : csv.rows)
      if (c.rowsACount == 2 || row[c.counted] == "yes") counted.insert(row[0]);
    EXPECT_EQ(csv.notes[3], "Total Accesses:        " + NumText(counted.size(), 4));
    // The access the quit cut short: only a timed access of both mode leaves it out.
    EXPECT_EQ(csv.rows.back()[c.counted], c.columns == 17 ? "no" : "yes");
    EXPECT_EQ(csv.notes.back().substr(0, 6), "ended ");
  }
}

// Quit while the all-slots test waits for Ready before its first move: no move went out,
// so the record holds none.
TEST_F(RecordsTest, AnAllSlotsTestQuitBeforeItsFirstMoveRecordsNoMove) {
  plc.faults.readyStuck = true;
  RecordFolder = dir_.string();
  OpenSimPort();
  PositionCount = 3, LevelCount = 4;
  keys.Type("NY");
  keys.Key(kKeyEsc, 5 * kSecond), keys.Key('Y', kSecond);
  AllSlotsTest();
  EXPECT_TRUE(ReadCsv(OnlyFile()).rows.empty());
}

std::string SlotLine(const Cells& c) {
  auto move = [](const std::string& label, const std::string& a, const std::string& b,
                 const std::string& relay) {
    return a + b + relay == "" ? label : label + "  " + a + " " + b + " " + relay + " ";
  };
  return Trim("Cyc " + NumText(std::stoi(c[0]), 3) + "  Lvl " + NumText(std::stoi(c[1]), 2) +
              "  Pos " + NumText(std::stoi(c[2]), 2) + move("  " + c[3] + " ", c[4], c[5], c[6]) +
              move("  " + c[7] + " ", c[8], c[9], c[10]));
}

// The other tests' records: the quick all-slots test's rows build its lines again, the
// three-plate test's rows are the moves the store was asked for, and the carousel test's
// counted rows are its summary's total.
TEST_F(RecordsTest, TheOtherTestsRecordTheirLinesAndMoves) {
  PositioningTimes.fill(0);
  for (int p = 1; p <= 9; ++p) PositioningTimes[p] = SimTurnHundredths(p - 1);
  struct Case {
    const char* name;
    void (*screen)();
    const char* keys;
    plcsim::SimConfig config;
    int rows;      // quit once this many are recorded
    bool summary;  // a key for it after the quit
  } cases[] = {
      {"all-slots", AllSlotsTest, "NY", {.positions = 3, .levels = 4}, 4, false},
      {"three-plate",
       ThreePlateTest,
       "x",
       {.positions = 2, .levels = 4, .plates = {{1, 1}, {1, 2}, {1, 3}}},
       10,
       false},
      {"carousel-movement", CarouselMovementTest, "0\r", {}, 5, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Configure(c.config);
    ResetProgramGlobals();
    std::filesystem::remove_all(dir_);
    RecordFolder = dir_.string();
    plc.Handle("ST 1801", clock.NowMicros());
    line.ClearWire();
    OpenSimPort();
    PositionCount = c.config.positions;
    LevelCount = c.config.levels;
    bool quitting = false;
    keys.onPresent = [&](const console::Screen&) {
      if (quitting || RecordedRows() < c.rows) return;
      quitting = true;
      Quit(c.summary);
    };
    keys.Key(c.keys[0], kSecond / 2);
    keys.Type(c.keys + 1);
    c.screen();
    keys.onPresent = nullptr;

    const std::string path = OnlyFile();
    EXPECT_TRUE(path.ends_with(std::string("_") + c.name + ".csv")) << path;
    const Csv csv = ReadCsv(path);
    ASSERT_GE(csv.rows.size(), static_cast<size_t>(c.rows));
    EXPECT_EQ(csv.notes.back().substr(0, 6), "ended ");
    if (c.screen == AllSlotsTest) {
      Lines built, shown;  // the rows of the quick test: the whole screen under its bar
      for (const Cells& row : csv.rows) built.push_back(SlotLine(row));
      for (int row = 2; row < 2 + static_cast<int>(built.size()); ++row)
        shown.push_back(RowTrim(row));
      EXPECT_TRUE(SameLines(shown, built));
    } else if (c.screen == ThreePlateTest) {
      Lines asked, recorded;  // "Pick 1.2"
      std::string position, level;
      for (const std::string& r : Sent()) {
        if (r.starts_with("WR DM0 ")) position = r.substr(7, r.size() - 8);
        if (r.starts_with("WR DM5 ")) level = r.substr(7, r.size() - 8);
        const char* relay = r == "ST 1904\r"   ? "Load"
                            : r == "ST 1905\r" ? "Unload"
                            : r == "ST 1908\r" ? "Pick"
                            : r == "ST 1909\r" ? "Place"
                                               : nullptr;
        if (relay) asked.push_back(std::string(relay) + " " + position + "." + level);
      }
      for (const Cells& row : csv.rows) {
        recorded.push_back(row[4] + " " + row[2] + "." + row[3]);
        EXPECT_EQ(row[0], std::to_string(recorded.size()));
        EXPECT_EQ(row[5] + row[6] + row[7], "OKOKOK");
      }
      EXPECT_TRUE(SameLines(recorded, asked));
    } else {
      int32_t counted = 0;
      for (const Cells& row : csv.rows) counted += row[9] == "yes";
      EXPECT_EQ(csv.notes[2], "Total Accesses:        " + NumText(counted, 4));
      EXPECT_EQ(csv.rows.back()[0], std::to_string(counted + (csv.rows.back()[9] == "no")));
    }
  }
}

}  // namespace
