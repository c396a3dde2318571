// The report against records small enough to check by hand: its marks are the rows, its
// bins and slots add up, every bad input is named and skipped, and the page parses as XML.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "support/virtual_world.h"
#include "report/access_charts.h"
#include "report/line_gaps.h"
#include "report/record.h"
#include "report/run.h"
#include "report/test_charts.h"

namespace report {
namespace {

namespace fs = std::filesystem;

const std::string kBothHeader =
    "number,tag,position,level,DM0 reply,DM5 reply,relay reply,trace,pos test,access s,"
    "plate ready s,end access reply,wait s,rotation,counted,marks,clock\n";
// Row 2 is a position error, row 3 was not counted; 8.00 lies on a bin edge.
const std::string kBothRows =
    "1,L,5,8,OK,OK,OK,\"A BCDEE \",30,8.81,7.14,OK,1,\"E \",yes,0,2026-12-07 04:41:14.438\n"
    "2,U,5,8,OK,OK,OK,\"G HIA<<<BCDEE \",9,6.20,5.42,OK,1,\"E \",yes,1,2026-12-07 04:41:25.538\n"
    "3,L,2,3,OK,OK,OK,\"E FGHIAB \",12,12.05,0.00,OK,1,\"B \",no,0,2026-12-07 04:41:40.000\n"
    "4,U,2,3,OK,OK,OK,\"B \",12,8.00,6.50,OK,1,\"B \",yes,0,2026-12-07 04:41:52.250\n";
const std::string kBothNotes =
    "# Total Accesses:           3\n"
    "# Test Sequence Random Access, mode B, X-fer Y, invers N\n"
    "# interval entry 0, fixed wait 0 s, random wait up to 5 s\n"
    "# operator Ann, serial number 1234, levels 10, positions 9\n"
    "# ended 2026-12-07 04:42:10.123\n";
const std::string kBoth = kBothHeader + kBothRows + kBothNotes;

// A quoted reply holding a comma and blanks, as the console writes an odd one.
const std::string kAllSlots =
    "cycle,level,position,first move,first DM0 reply,first DM5 reply,first relay reply,"
    "second move,second DM0 reply,second DM5 reply,second relay reply,clock\n"
    "1,1,1,Load,OK,OK,OK,Unload,OK,OK,OK,2026-12-07 05:00:01.000\n"
    "1,1,2,Load,OK,\" E1,x\",OK,Unload,OK,OK,OK,2026-12-07 05:00:09.000\n"
    "1,1,3,Load,OK,OK,OK,Unload,OK,OK,,2026-12-07 05:00:17.000\n"
    "2,1,1,Load,OK,OK,OK,Unload,OK,OK,OK,2026-12-07 05:00:25.000\n"
    "# Test Sequence all Slots, X-fer Y, quick N, start level 1, invers N, by slot N\n"
    "# operator Ann, serial number 1234, levels 2, positions 3\n";

Record Parsed(const std::string& text, const std::string& name) {
  ReadResult read = ParseRecord(text, name);
  EXPECT_TRUE(read.problems.empty()) << read.problems[0];
  return *read.record;
}

std::vector<std::pair<double, double>> Points(const Plot& plot, const std::string& series) {
  std::vector<std::pair<double, double>> points;
  for (const Series& s : plot.series)
    if (s.name == series)
      for (const Point& p : s.points) points.emplace_back(p.x, p.y);
  return points;
}

TEST(AccessTimePlot, DotsAreTheRowsWithLevelsOfTheCountedAndTheGapShaded) {
  const Record record = Parsed(kBoth, "2026-12-07_04-40-58_random-access-both.csv");
  const std::vector<LineGap> gaps = ParseLineGaps(
      "2026-12-07 04:41:29.000  pxn32 2.08, device /tmp/plc, line 9600 baud 8E1, faithful link\n"
      "2026-12-07 04:41:30.000  port 1  sent \"RD DM1\\r\"  got \"\"  attempt 1  0.8 ms\n"
      "2026-12-07 04:41:30.000  port 1  line gone\n"
      "2026-12-07 04:41:35.000  port 1  line back\n"
      "2026-12-07 04:41:36.000  port 1  sent \"RD DM1\\r\"  got \"1\\r\\n\"  attempt 1  55.2 ms\n");
  const Plot plot = AccessTimePlot(record, gaps);
  using P = std::vector<std::pair<double, double>>;
  EXPECT_EQ(Points(plot, "access, counted"), (P{{1796618474.438, 8.81}, {1796618512.25, 8.0}}));
  EXPECT_EQ(Points(plot, "access, not counted"), (P{{1796618500.0, 12.05}}));
  EXPECT_EQ(Points(plot, "carousel position error"), (P{{1796618485.538, 6.2}}));
  EXPECT_EQ(Points(plot, ""), (P{{1796618485.538, 6.2}}));  // its mark on the time axis
  ASSERT_EQ(plot.levels.size(), 3u);
  EXPECT_EQ(plot.levels[0].name, "max 8.81 s");
  EXPECT_EQ(plot.levels[1].name, "mean 7.67 s");  // (8.81 + 6.20 + 8.00) / 3
  EXPECT_EQ(plot.levels[2].name, "min 6.20 s");
  ASSERT_EQ(plot.bands.size(), 1u);
  EXPECT_EQ(plot.bands[0].from, 1796618490.0);
  EXPECT_EQ(plot.bands[0].to, 1796618495.0);
  EXPECT_TRUE(HasPlateReady(record));

  // Carousel mode has no marks column: the "<" in its trace is the error.
  const Plot carousel = AccessTimePlot(
      Parsed("number,position,distance,trace,arrived,taught s,access s,deviation s,wait s,counted,"
             "deviation stop,clock\n"
             "1,4,3,\"A BCD \",D,2.30,2.40,0.10,0,yes,yes,2026-12-07 04:41:14.438\n"
             "2,2,7,\"D EFGHIA<B \",B,4.10,4.15,0.05,0,yes,no,2026-12-07 04:41:25.538\n",
             "x_random-access-carousel.csv"),
      {});
  EXPECT_EQ(Points(carousel, "carousel position error"), (P{{1796618485.538, 4.15}}));
}

TEST(AccessTimePlot, ThinsAWeekToTheExtremesOfEachSliceAndEveryPositionError) {
  std::string text = kBothHeader;
  for (int i = 0; i < 10000; ++i) {  // an access every minute from 2026-12-07 00:00
    const int time = i == 5000 ? 3000 : i == 7000 ? 100 : 500 + i * 37 % 300;
    char row[160];
    std::snprintf(
        row, sizeof row,
        "%d,L,1,1,OK,OK,OK,A,1,%d.%02d,0.00,OK,1,A,yes,%d,2026-12-%02d %02d:%02d:00.000\n", i + 1,
        time / 100, time % 100, i == 1234 ? 1 : 0, 7 + i / 1440, i / 60 % 24, i % 60);
    text += row;
  }
  const Plot plot = AccessTimePlot(Parsed(text, "x_random-access-both.csv"), {});
  size_t drawn = 0;
  bool longest = false, shortest = false;
  for (const Series& s : plot.series) {
    if (s.name.empty()) continue;
    drawn += s.points.size();
    for (const Point& p : s.points) {
      longest = longest || p.y == 30.0;
      shortest = shortest || p.y == 1.0;
    }
  }
  EXPECT_LE(drawn, 2001u);
  EXPECT_GE(drawn, 1000u);
  EXPECT_TRUE(longest);
  EXPECT_TRUE(shortest);
  // Row 1235, 2026-12-07 20:34, is the one error; 5.00 + 1234 * 37 % 300 / 100 = 5.58 s.
  EXPECT_EQ(Points(plot, "carousel position error"),
            (std::vector<std::pair<double, double>>{{1796675640.0, 5.58}}));
}

TEST(TimeHistogram, BinsOfHalfASecondHoldEveryAccessOnce) {
  const Plot plot = TimeHistogram(Parsed(kBoth, "x_random-access-both.csv"), "access s", "access");
  std::map<double, double> filled;
  double total = 0;
  for (const Bar& b : plot.bars) {
    EXPECT_DOUBLE_EQ(b.x1 - b.x0, 0.5);
    if (b.y1 > 0) filled[b.x0] = b.y1;
    total += b.y1;
  }
  EXPECT_EQ(plot.bars.size(), 13u);  // 6.0 to 12.5 s
  EXPECT_EQ(total, 4);
  EXPECT_EQ(filled, (std::map<double, double>{{6.0, 1}, {8.0, 1}, {8.5, 1}, {12.0, 1}}));
}

TEST(AllSlotsGrid, HoldsExactlyTheSlotsServedWithTheirRepliesNotOk) {
  const SlotGrid grid = AllSlotsGrid(Parsed(kAllSlots, "x_all-slots.csv"));
  EXPECT_EQ(grid.positions, 3);
  EXPECT_EQ(grid.levels, 2);
  EXPECT_EQ(grid.cycles, 2);
  std::vector<std::vector<int>> cells;  // position, level, served, not OK
  for (const SlotCell& c : grid.served) cells.push_back({c.position, c.level, c.served, c.notOk});
  EXPECT_EQ(cells, (std::vector<std::vector<int>>{{1, 1, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}));
}

TEST(CarouselMovementPlot, MarksDeviationsAboveSixHundredthsAndShowsTheWindow) {
  const Plot plot = CarouselMovementPlot(
      Parsed("number,position,steps,pause s,taught s,measured s,deviation s,errors,max deviation s,"
             "counted,clock\n"
             "1,2,1,0,0.70,0.77,0.07,1,0.07,yes,2026-12-07 05:00:01.000\n"
             "2,4,2,0,1.15,1.21,0.06,1,0.07,yes,2026-12-07 05:00:03.000\n"
             "3,1,6,0,2.95,3.04,0.00,1,0.07,no,2026-12-07 05:00:07.000\n",
             "x_carousel-movement.csv"));
  using P = std::vector<std::pair<double, double>>;
  EXPECT_EQ(Points(plot, "measured, deviation above 0.06 s"), (P{{1, 0.77}}));
  EXPECT_EQ(Points(plot, "measured, within 0.06 s"), (P{{2, 1.21}}));
  EXPECT_EQ(Points(plot, "measured, not counted"), (P{{6, 3.04}}));
  EXPECT_EQ(Points(plot, "taught"), (P{{1, 0.70}, {2, 1.15}, {6, 2.95}}));
  ASSERT_EQ(plot.bands.size(), 1u);
  EXPECT_EQ(plot.bands[0].from, 0.06);
  EXPECT_EQ(plot.bands[0].to, 1.99);
}

// A folder of its own per case, holding the files named; RunReport on the arguments.
class RunReportTest : public ::testing::Test {
 protected:
  void Put(const std::string& name, const std::string& text) {
    std::ofstream(dir_ + "/" + name, std::ios::binary) << text;
  }
  // Runs with "DIR" in the arguments standing for the folder; stderr comes back the same.
  int Run(std::vector<std::string> args, std::string& err) {
    args.insert(args.begin(), "pxn32-report");
    std::vector<char*> argv;
    for (std::string& a : args) {
      for (size_t at; (at = a.find("DIR")) != std::string::npos;) a.replace(at, 3, dir_);
      argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    Said said;
    const int code = RunReport(static_cast<int>(args.size()), argv.data(), said);
    err = said.err;
    for (size_t at; (at = err.find(dir_)) != std::string::npos;)
      err.replace(at, dir_.size(), "DIR");
    return code;
  }
  std::unique_ptr<TempDir> folder_ = std::make_unique<TempDir>();
  std::string dir_ = folder_->Path();
};

constexpr char kGood[] = "2026-12-07_04-40-58_random-access-both.csv";

TEST_F(RunReportTest, EachBadInputIsNamedInOneLineAndTheRestIsStillWritten) {
  struct Case {
    std::string file, text;
    std::vector<std::string> args;
    int code;
    std::string err;
  };
  const std::string p = "pxn32-report: DIR/";
  const std::vector<Case> cases = {
      {"", "", {"DIR"}, 0, ""},
      {"notes.csv",
       "hello,world\n",
       {"DIR"},
       1,
       p + "notes.csv: not a test record (no record header on its first line)\n"},
      {"2026-12-07_05-00-00_random-access-both.csv",
       kBothHeader + kBothRows + "5,L,3,",
       {"DIR"},
       1,
       p + "2026-12-07_05-00-00_random-access-both.csv: line 6: last row cut short, left out\n"},
      {"2026-12-07_05-00-00_random-access-both.csv",
       kBothHeader + "1,L,5,8,OK,OK,OK,A,30,8.8x,7.14,OK,1,E,yes,0,2026-12-07 05:00:14.438\n",
       {"DIR"},
       1,
       p + "2026-12-07_05-00-00_random-access-both.csv: line 2: access s \"8.8x\" is no number "
           "of seconds, row left out\n"},
      {"empty/",
       "",
       {"DIR/" + std::string(kGood), "DIR/empty"},
       1,
       p + "empty: no records (.csv files) in this folder\n"},
      {"2026-12-07_05-00-00_shovel.csv",
       "number,shovel s,clock\n1,2.00,2026-12-07 05:00:01.000\n",
       {"DIR"},
       1,
       p + "2026-12-07_05-00-00_shovel.csv: a record of a test this report does not know: "
           "shovel\n"},
      {"", "", {"DIR/missing.csv", "DIR"}, 1, p + "missing.csv: No such file or directory\n"},
      {"",
       "",
       {"--out", "DIR/" + std::string(kGood), "DIR"},
       2,
       p + kGood + " is read; not writing over it (see --help)\n"},
      {"",
       "",
       {"--out", "--log", "DIR"},
       2,
       "pxn32-report: option '--out' needs a file name, not '--log' (see --help)\n"},
      {"", "", {}, 2, "pxn32-report: no record or folder given (see --help)\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file + " " + c.err);
    folder_.reset(), folder_ = std::make_unique<TempDir>();  // the same path, emptied
    Put(kGood, kBoth);
    if (c.file.ends_with("/"))
      fs::create_directories(dir_ + "/" + c.file);
    else if (!c.file.empty())
      Put(c.file, c.text);
    std::string err;
    EXPECT_EQ(Run(c.args, err), c.code);
    EXPECT_EQ(err, c.err);
    std::ifstream page(dir_ + "/report.html");
    const std::string html((std::istreambuf_iterator<char>(page)), {});
    EXPECT_EQ(html.find("2026-12-07 04:40:58") != std::string::npos, c.code < 2);
  }
}

TEST_F(RunReportTest, PageIsWellFormedXmlNewestFirstAndFetchesNothing) {
  Put(kGood, kBoth);
  Put("2026-12-07_05-00-00_all-slots.csv", kAllSlots);
  // Bytes an XML parser refuses, and numbers no store has, which must not make the
  // pictures endless: a damaged file may hold either.
  Put("2026-12-07_06-00-00_three-plate.csv",
      "move,cycle position,position,level,relay,DM0 reply,DM5 reply,relay reply,clock\n"
      "1,1,1,2,Pick,OK,E\x01\xB3<&,OK,2026-12-07 06:00:05.000\n"
      "2,1,99999999,2,Place,OK,OK,OK,2026-12-07 06:00:09.000\n");
  Put("2026-12-07_03-00-00_all-slots.csv", kAllSlots.substr(0, kAllSlots.find('\n') + 1) +
                                               "1,99999999,9,Load,OK,OK,OK,Unload,OK,OK,OK," +
                                               "2026-12-07 03:00:01.000\n");
  Put("2026-12-07_02-00-00_random-access-handler.csv",
      "cycle,move,level,DM5 reply,relay reply,access s,DM5 read,wait s,counted,clock\n"
      "1,in,2,OK,OK,0.01,2,1,yes,2026-12-07 02:00:01.000\n"
      "1,out,2,OK,OK,999999999999.99,2,1,yes,2200-12-07 02:00:02.000\n");
  Put("plc.log", "2026-12-07 04:41:30.000  port 1  line gone\n");
  std::string err;
  ASSERT_EQ(Run({"--log", "DIR/plc.log", "DIR"}, err), 0) << err;
  const std::string page = dir_ + "/report.html";
  EXPECT_EQ(
      std::system(
          ("python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' " + page)
              .c_str()),
      0);
  std::ifstream in(page);
  const std::string html((std::istreambuf_iterator<char>(in)), {});
  const size_t three = html.find("<h2>Three plates"), slots = html.find("<h2>All slots"),
               both = html.find("<h2>Random access");
  EXPECT_TRUE(three < slots && slots < both && both != std::string::npos);
  EXPECT_EQ(html.find("src="), std::string::npos);
  for (size_t at = html.find("http"); at != std::string::npos; at = html.find("http", at + 1))
    EXPECT_EQ(html.compare(at, 18, "http://www.w3.org/"), 0) << html.substr(at, 40);
}

}  // namespace
}  // namespace report
