// The report against records small enough to check by hand.
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "report/access_charts.h"
#include "report/line_gaps.h"
#include "report/record.h"
#include "report/run.h"
#include "report/test_charts.h"
#include "support/virtual_world.h"

namespace report {
namespace {

const std::string kBothHeader =
    "number,tag,position,level,DM0 reply,DM5 reply,relay reply,trace,pos test,access s,"
    "plate ready s,end access reply,wait s,rotation,counted,marks,clock\n";
// Row 2 is a position error, row 3 was not counted; 8.00 lies on a bin edge.
const std::string kBothRows =
    "1,L,5,8,OK,OK,OK,\"A BCDEE \",30,8.81,7.14,OK,1,\"E \",yes,0,2026-12-07 04:41:14.438\n"
    "2,U,5,8,OK,OK,OK,\"G HIA<<<BCDEE \",9,6.20,5.42,OK,1,\"E \",yes,1,2026-12-07 04:41:25.538\n"
    "3,L,2,3,OK,OK,OK,\"E FGHIAB \",12,12.05,0.00,OK,1,\"B \",no,0,2026-12-07 04:41:40.000\n"
    "4,U,2,3,OK,OK,OK,\"B \",12,8.00,6.50,OK,1,\"B \",yes,0,2026-12-07 04:41:52.250\n";
const std::string kBoth = kBothHeader + kBothRows;

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

// A plot's marks as text: series with points, levels, bands, bars as from-to:height.
Lines Marks(const Plot& plot) {
  const auto n = [](double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.15g", v);
    return std::string(text);
  };
  Lines marks;
  for (const Series& s : plot.series) {
    marks.push_back(s.name + ":");
    for (const Point& p : s.points) marks.back() += " " + n(p.x) + "," + n(p.y);
  }
  for (const Level& l : plot.levels) marks.push_back(l.name);
  for (const Band& b : plot.bands) marks.push_back("band " + n(b.from) + "-" + n(b.to));
  if (!plot.bars.empty()) marks.push_back("bars:");
  for (const Bar& b : plot.bars) marks.back() += " " + n(b.x0) + "-" + n(b.x1) + ":" + n(b.y1);
  return marks;
}

// The dots are the rows; the levels of the counted ones, (8.81 + 6.20 + 8.00) / 3 the mean;
// the gap shaded; in carousel mode a "<" in the trace is the error; 8.00 on a bin's edge.
TEST(ReportCharts, DotsLevelsGapsAndBinsAreTheRows) {
  const Record record = Parsed(kBoth, "2026-12-07_04-40-58_random-access-both.csv");
  const std::vector<LineGap> gaps = ParseLineGaps(
      "2026-12-07 04:41:29.000  pxn32 2.08, device /tmp/plc, line 9600 baud 8E1, faithful link\n"
      "2026-12-07 04:41:30.000  port 1  line gone\n"
      "2026-12-07 04:41:35.000  port 1  line back\n");
  EXPECT_TRUE(SameLines(Marks(AccessTimePlot(record, gaps)),
                        {"access, counted: 1796618474.438,8.81 1796618512.25,8",
                         "access, not counted: 1796618500,12.05",
                         "carousel position error: 1796618485.538,6.2", ": 1796618485.538,6.2",
                         "max 8.81 s", "mean 7.67 s", "min 6.20 s", "band 1796618490-1796618495"}));
  EXPECT_TRUE(SameLines(Marks(TimeHistogram(record, "access s", "access")),
                        {"bars: 6-6.5:1 6.5-7:0 7-7.5:0 7.5-8:0 8-8.5:1 8.5-9:1 9-9.5:0 9.5-10:0 "
                         "10-10.5:0 10.5-11:0 11-11.5:0 11.5-12:0 12-12.5:1"}));
  const Plot carousel = AccessTimePlot(
      Parsed("number,position,distance,trace,arrived,taught s,access s,deviation s,wait s,counted,"
             "deviation stop,clock\n"
             "1,4,3,\"A BCD \",D,2.30,2.40,0.10,0,yes,yes,2026-12-07 04:41:14.438\n"
             "2,2,7,\"D EFGHIA<B \",B,4.10,4.15,0.05,0,yes,no,2026-12-07 04:41:25.538\n",
             "x_random-access-carousel.csv"),
      {});
  EXPECT_EQ(Marks(carousel)[1], "carousel position error: 1796618485.538,4.15");
  const Plot movement = CarouselMovementPlot(
      Parsed("number,position,steps,pause s,taught s,measured s,deviation s,errors,max deviation s,"
             "counted,clock\n"
             "1,2,1,0,0.70,0.77,0.07,1,0.07,yes,2026-12-07 05:00:01.000\n"
             "2,4,2,0,1.15,1.21,0.06,1,0.07,yes,2026-12-07 05:00:03.000\n"
             "3,1,6,0,2.95,3.04,0.00,1,0.07,no,2026-12-07 05:00:07.000\n",
             "x_carousel-movement.csv"));
  EXPECT_TRUE(
      SameLines(Marks(movement), {"taught: 1,0.7 2,1.15 6,2.95", "measured, within 0.06 s: 2,1.21",
                                  "measured, deviation above 0.06 s: 1,0.77",
                                  "measured, not counted: 6,3.04", "band 0.06-1.99"}));
  // The all-slots grid holds the slots served, with their replies not OK.
  const SlotGrid grid = AllSlotsGrid(Parsed(kAllSlots, "x_all-slots.csv"));
  EXPECT_EQ(std::tuple(grid.positions, grid.levels, grid.cycles), std::tuple(3, 2, 2));
  std::vector<std::vector<int>> cells;  // position, level, served, not OK
  for (const SlotCell& c : grid.served) cells.push_back({c.position, c.level, c.served, c.notOk});
  EXPECT_EQ(cells, (std::vector<std::vector<int>>{{1, 1, 2, 0}, {2, 1, 1, 1}, {3, 1, 1, 1}}));
  // A week thinned to the extremes of each slice of time and every position error.
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
  const Lines marks = Marks(plot);
  ASSERT_EQ(marks.size(), 6u);
  const size_t drawn = plot.series[0].points.size();
  EXPECT_TRUE(drawn >= 1000 && drawn <= 2000) << drawn;
  EXPECT_NE((marks[0] + " ").find(",30 "), std::string::npos) << "the longest";
  EXPECT_NE((marks[0] + " ").find(",1 "), std::string::npos) << "the shortest";
  // Row 1235, 2026-12-07 20:34, is the one error; 5.00 + 1234 * 37 % 300 / 100 = 5.58 s.
  EXPECT_EQ(marks[1], "carousel position error: 1796675640,5.58");
}

// Beside records of odd bytes and numbers: a bad file or folder ("/"), the arguments, the
// exit code and stderr. The page is XML and holds the records unless the usage was wrong.
TEST(RunReport, EachBadInputIsNamedInOneLineAndTheRestIsStillWritten) {
  TempDir dir;
  const std::string d = dir.Path() + "/", good = "2026-12-07_04-40-58_random-access-both.csv",
                    later = "2026-12-07_05-00-00_random-access-both.csv";
  auto put = [&](const std::string& name, const std::string& text) {
    std::ofstream(d + name, std::ios::binary) << text;
  };
  const std::tuple<std::string, std::string, std::string, int, std::string> cases[] = {
      {"", "", "--log " + d + "plc.log " + d, 0, ""},
      {"notes.csv", "hello,world\n", d, 1,
       d + "notes.csv: not a test record (no record header on its first line)"},
      {later, kBothHeader + kBothRows + "5,L,3,", d, 1,
       d + later + ": line 6: last row cut short, left out"},
      {later,
       kBothHeader + "1,L,5,8,OK,OK,OK,A,30,8.8x,7.14,OK,1,E,yes,0,2026-12-07 05:00:14.438\n", d, 1,
       d + later + ": line 2: access s \"8.8x\" is no number of seconds, row left out"},
      {"", "", d + "missing.csv " + d, 1, d + "missing.csv: No such file or directory"},
      {"empty/", "", d + good + " " + d + "empty", 1,
       d + "empty: no records (.csv files) in this folder"},
      {"2026-12-07_05-00-00_shovel.csv", "number,shovel s,clock\n1,2.00,2026-12-07 05:00:01.000\n",
       d, 1,
       d + "2026-12-07_05-00-00_shovel.csv: a record of a test this report does not know: shovel"},
      {"", "", "--out " + d + good + " " + d, 2,
       d + good + " is read; not writing over it (see --help)"},
      {"", "", "", 2, "no record or folder given (see --help)"},
  };
  for (const auto& [file, text, args, code, err] : cases) {
    SCOPED_TRACE(args + " " + err);
    std::filesystem::remove_all(d);
    std::filesystem::create_directories(d + (file.ends_with("/") ? file : ""));
    put(good, kBoth);
    put("2026-12-07_05-00-00_all-slots.csv", kAllSlots);
    put("2026-12-07_06-00-00_three-plate.csv",
        "move,cycle position,position,level,relay,DM0 reply,DM5 reply,relay reply,clock\n"
        "1,1,1,2,Pick,OK,E\x01\xB3<&,OK,2026-12-07 06:00:05.000\n"
        "2,1,99999999,2,Place,OK,OK,OK,2026-12-07 06:00:09.000\n");
    put("plc.log", "2026-12-07 04:41:30.000  port 1  line gone\n");
    if (!file.empty() && !file.ends_with("/")) put(file, text);
    std::string words = "pxn32-report " + args;
    std::vector<char*> argv;
    for (char* w = strtok(words.data(), " "); w; w = strtok(nullptr, " ")) argv.push_back(w);
    Said said;
    EXPECT_EQ(RunReport(static_cast<int>(argv.size()), argv.data(), said), code);
    EXPECT_EQ(said.err, err.empty() ? "" : "pxn32-report: " + err + "\n");
    std::ifstream page(d + "report.html");
    const std::string html((std::istreambuf_iterator<char>(page)), {});
    EXPECT_EQ(html.find("2026-12-07 04:40:58") != std::string::npos, code < 2);
    if (code != 0) continue;
    const std::string parse =
        "python3 -c 'import sys, xml.dom.minidom; xml.dom.minidom.parse(sys.argv[1])' ";
    EXPECT_EQ(std::system((parse + d + "report.html").c_str()), 0);
    const size_t three = html.find("<h2>Three plates"), slots = html.find("<h2>All slots"),
                 both = html.find("<h2>Random access");
    EXPECT_TRUE(three < slots && slots < both && both != std::string::npos) << "newest first";
  }
}

}  // namespace
}  // namespace report
