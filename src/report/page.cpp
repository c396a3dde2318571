#include "report/page.h"

#include <algorithm>
#include <filesystem>

#include "base/record_format.h"
#include "base/version.h"
#include "report/access_charts.h"
#include "report/clock_text.h"
#include "report/svg.h"
#include "report/test_charts.h"

namespace report {

namespace {

constexpr char kStyle[] = R"(
body { font-family: sans-serif; color: #111; max-width: 1000px; margin: 16px auto; padding: 0 12px; }
h1 { font-size: 22px; }
h2 { font-size: 18px; margin-bottom: 4px; }
h3 { font-size: 14px; margin: 12px 0 4px; }
.head { display: flex; flex-wrap: wrap; gap: 8px 40px; align-items: flex-start; }
section { border-top: 2px solid #444; margin-top: 28px; }
table.facts th { text-align: left; font-weight: normal; color: #444; padding-right: 14px; vertical-align: top; }
table.moves { border-collapse: collapse; font-size: 13px; }
table.moves th, table.moves td { border: 1px solid #bbb; padding: 2px 6px; text-align: left; }
pre { background: #f3f3f3; padding: 6px 10px; display: inline-block; margin: 6px 0; }
.pictures { display: flex; flex-wrap: wrap; gap: 8px; }
svg { max-width: 100%; height: auto; }
.warn { color: #a33; }
@page { size: A4; margin: 12mm; }
@media print {
  body { max-width: none; margin: 0; padding: 0; font-size: 11px; }
  section { break-before: page; border: none; margin-top: 0; }
  svg, pre, table { break-inside: avoid; }
  nav { display: none; }
}
)";

std::string Tag(const char* tag, const std::string& text) {
  return std::string("<") + tag + ">" + XmlText(text) + "</" + tag + ">";
}

std::string Fact(const std::string& name, const std::string& value) {
  return "<tr><th>" + XmlText(name) + "</th><td>" + XmlText(value) + "</td></tr>\n";
}

std::string Duration(int64_t ms) {
  char text[48];
  const long long s = ms / 1000;
  if (ms < 60'000)
    std::snprintf(text, sizeof text, "%.1f s", ms / 1000.0);
  else if (ms < 3'600'000)
    std::snprintf(text, sizeof text, "%lld min %02lld s", s / 60, s % 60);
  else
    std::snprintf(text, sizeof text, "%lld h %02lld min", s / 3600, s / 60 % 60);
  return text;
}

int64_t LastClock(const Record& r) {
  int64_t last = r.ended.value_or(r.start);
  for (const Row& row : r.rows) last = std::max(last, row.clock);
  return last;
}

std::string Facts(const Record& r) {
  std::string html = "<table class=\"facts\">\n";
  html += Fact("test", r.kind->name);
  html += Fact("started", ClockText(r.start));
  html += Fact("ended", r.ended ? ClockText(*r.ended) + ", after " + Duration(*r.ended - r.start)
                                : "no end noted: the test was stopped before its end");
  html += Fact("operator", r.operatorName.empty() ? "not noted" : r.operatorName);
  html += Fact("serial number", r.serialNumber.empty() ? "not noted" : r.serialNumber);
  if (r.positions > 0)
    html += Fact("store", std::to_string(r.positions) + " positions, " + std::to_string(r.levels) +
                              " levels");
  for (const std::string& s : r.settings) html += Fact("settings", s);
  html += Fact("rows", std::to_string(r.rows.size()));
  html += Fact("file", r.path);
  return html + "</table>\n";
}

std::string Summary(const Record& r) {
  if (r.summary.empty()) return "";
  std::string text;
  for (const std::string& line : r.summary) text += XmlText(line) + "\n";
  return "<div>\n<h3>Summary as the console showed it</h3>\n<pre>" + text + "</pre>\n</div>\n";
}

std::string GapsDuring(const Record& r, const std::vector<LineGap>& gaps) {
  std::string items;
  constexpr int kListed = 20;
  int during = 0;
  for (const LineGap& g : gaps) {
    if (g.to < r.start || g.from > LastClock(r) || ++during > kListed) continue;
    items +=
        "<li>port " + std::to_string(g.port) + ": line gone at " + XmlText(ClockText(g.from)) +
        (g.back ? ", back after " + Duration(g.to - g.from) : ", not back by the end of the log") +
        "</li>\n";
  }
  if (during > kListed)
    items += "<li>and " + std::to_string(during - kListed) + " times more</li>\n";
  return items.empty() ? "" : "<h3>The line dropped out</h3>\n<ul>\n" + items + "</ul>\n";
}

std::string RandomAccessPictures(const Record& r, const std::vector<LineGap>& gaps) {
  std::string html = PlotSvg(AccessTimePlot(r, gaps), 960, 340);
  html +=
      "<div class=\"pictures\">\n" + PlotSvg(TimeHistogram(r, "access s", "access time"), 476, 280);
  if (HasPlateReady(r))
    html += PlotSvg(TimeHistogram(r, "plate ready s", "plate-ready time"), 476, 280);
  html += "</div>\n";
  if (const size_t errors = PositionErrors(r); errors > 0)
    html += "<p class=\"warn\">" + std::to_string(errors) +
            " accesses with a carousel position error, marked on the time axis.</p>\n";
  return html;
}

std::string MovesNotOkTable(const Record& r) {
  const std::vector<const Row*> rows = MovesNotOk(r);
  if (rows.empty()) return "<p>Every reply was OK.</p>\n";
  std::string html = "<h3>Replies that were not OK</h3>\n<table class=\"moves\">\n<tr>";
  for (const std::string& c : *r.kind->columns) html += Tag("th", c);
  html += Tag("th", "clock") + "</tr>\n";
  constexpr size_t kShown = 200;
  for (size_t i = 0; i < rows.size() && i < kShown; ++i) {
    html += "<tr>";
    for (const std::string& cell : rows[i]->cells) html += Tag("td", cell);
    html += Tag("td", ClockText(rows[i]->clock)) + "</tr>\n";
  }
  html += "</table>\n";
  if (rows.size() > kShown)
    html += "<p>... and " + std::to_string(rows.size() - kShown) + " more in the record.</p>\n";
  return html;
}

std::string Pictures(const Record& r, const std::vector<LineGap>& gaps) {
  const std::string_view test = r.kind->name;
  if (IsRandomAccess(*r.kind)) return RandomAccessPictures(r, gaps);
  if (test == record_format::kAllSlots) {
    const SlotGrid grid = AllSlotsGrid(r);
    return "<p>" + std::to_string(grid.cycles) + " cycles, " + std::to_string(grid.served.size()) +
           " slots served" +
           (grid.outside ? "; " + std::to_string(grid.outside) + " rows name no slot of a store"
                         : "") +
           ".</p>\n" + SlotGridSvg(grid);
  }
  if (test == record_format::kCarouselMovement) return PlotSvg(CarouselMovementPlot(r), 960, 380);
  return PlotSvg(ThreePlateMoves(r), 960, 320) + MovesNotOkTable(r);
}

std::string Section(const Record& r, size_t index, const std::vector<LineGap>& gaps) {
  return "<section id=\"r" + std::to_string(index) + "\">\n<h2>" + XmlText(r.kind->title) + ", " +
         XmlText(ClockText(r.start)) + "</h2>\n<div class=\"head\">\n" + Facts(r) + Summary(r) +
         "</div>\n" + GapsDuring(r, gaps) +
         (r.rows.empty() ? "<p>No rows.</p>\n" : Pictures(r, gaps)) + "</section>\n";
}

}  // namespace

std::string ReportPage(const std::vector<Record>& records, const std::vector<LineGap>& gaps,
                       const std::vector<std::string>& leftOut) {
  std::string html =
      "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n<head>\n"
      "<meta charset=\"utf-8\"/>\n<title>Plate store test records</title>\n<style>" +
      std::string(kStyle) + "</style>\n</head>\n<body>\n<h1>Plate store test records</h1>\n";
  html += "<p>" + std::to_string(records.size()) + (records.size() == 1 ? " record" : " records") +
          ", newest first; made by pxn32-report " + base::kVersion + ".</p>\n<nav><ul>\n";
  for (size_t i = 0; i < records.size(); ++i)
    html += "<li><a href=\"#r" + std::to_string(i + 1) + "\">" + XmlText(records[i].kind->title) +
            ", " + XmlText(ClockText(records[i].start)) + "</a></li>\n";
  html += "</ul></nav>\n";
  for (size_t i = 0; i < records.size(); ++i) html += Section(records[i], i + 1, gaps);
  if (!leftOut.empty()) {
    html += "<section>\n<h2>Left out</h2>\n<ul>\n";
    for (const std::string& line : leftOut) html += Tag("li", line) + "\n";
    html += "</ul>\n</section>\n";
  }
  return html + "</body>\n</html>\n";
}

}  // namespace report
