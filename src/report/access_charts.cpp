#include "report/access_charts.h"

#include <algorithm>
#include <cstdint>
#include <optional>

#include "base/record_format.h"
#include "report/axis.h"
#include "report/clock_text.h"

namespace report {

namespace {

struct Access {
  int64_t clock = 0;
  int64_t hundredths = 0;
  bool counted = false;
  bool positionError = false;
};

// Both mode counts its marks; carousel mode shows them as "<" in the trace it follows.
bool IsPositionError(const Record& record, const Row& row) {
  const std::string_view test = record.kind->name;
  if (test == record_format::kRandomBoth)
    return WholeNumber(row.cells[record.Column("marks")]).value_or(0) > 0;
  if (test == record_format::kRandomCarousel)
    return row.cells[record.Column("trace")].find('<') != std::string::npos;
  return false;
}

std::vector<Access> Accesses(const Record& record) {
  const int time = record.Column("access s"), counted = record.Column("counted");
  std::vector<Access> accesses;
  for (const Row& row : record.rows) {
    const std::optional<int64_t> h = Hundredths(row.cells[time]);
    if (h)
      accesses.push_back(
          {row.clock, *h, row.cells[counted] == "yes", IsPositionError(record, row)});
  }
  return accesses;
}

// Per slice of the time axis the shortest and the longest access and every position
// error, so that what stands out still shows.
std::vector<Access> Thinned(const std::vector<Access>& all, int64_t from, int64_t to) {
  const int64_t span = to - from + 1;
  std::vector<std::optional<size_t>> shortest(kThinningSlices), longest(kThinningSlices);
  std::vector<bool> keep(all.size());
  for (size_t i = 0; i < all.size(); ++i) {
    const size_t slice = static_cast<size_t>((all[i].clock - from) * kThinningSlices / span);
    if (!shortest[slice] || all[i].hundredths < all[*shortest[slice]].hundredths)
      shortest[slice] = i;
    if (!longest[slice] || all[i].hundredths > all[*longest[slice]].hundredths) longest[slice] = i;
    keep[i] = all[i].positionError;
  }
  for (const auto& slices : {shortest, longest})
    for (const std::optional<size_t>& i : slices)
      if (i) keep[*i] = true;
  std::vector<Access> kept;
  for (size_t i = 0; i < all.size(); ++i)
    if (keep[i]) kept.push_back(all[i]);
  return kept;
}

std::string Seconds(double s) {
  return NumberText(s, 0.01) + " s";
}

void AddLevels(const std::vector<Access>& accesses, Plot& plot) {
  int64_t low = INT64_MAX, high = INT64_MIN, sum = 0, n = 0;
  for (const Access& a : accesses) {
    if (!a.counted) continue;
    low = std::min(low, a.hundredths);
    high = std::max(high, a.hundredths);
    sum += a.hundredths;
    ++n;
  }
  if (n == 0) return;
  const double mean = static_cast<double>(sum) / static_cast<double>(n) / 100;
  plot.levels = {{"max " + Seconds(high / 100.0), high / 100.0, "6 3"},
                 {"mean " + Seconds(mean), mean, ""},
                 {"min " + Seconds(low / 100.0), low / 100.0, "2 3"}};
}

void AddGaps(const std::vector<LineGap>& gaps, Plot& plot) {
  for (const LineGap& gap : gaps) {
    const double from = std::max(gap.from / 1000.0, plot.x.low);
    const double to = std::min(gap.to / 1000.0, plot.x.high);
    if (from <= to) plot.bands.push_back({"line gone", from, std::max(to, from + 0.001), true});
  }
}

}  // namespace

size_t PositionErrors(const Record& record) {
  return static_cast<size_t>(
      std::count_if(record.rows.begin(), record.rows.end(),
                    [&](const Row& row) { return IsPositionError(record, row); }));
}

Plot AccessTimePlot(const Record& record, const std::vector<LineGap>& gaps, size_t keptWhole) {
  const std::vector<Access> all = Accesses(record);
  Plot plot;
  plot.title = "Access time through the run";
  if (all.empty()) return plot;
  const auto [first, last] = std::minmax_element(
      all.begin(), all.end(), [](const Access& a, const Access& b) { return a.clock < b.clock; });
  const std::vector<Access> drawn =
      all.size() > keptWhole ? Thinned(all, first->clock, last->clock) : all;
  plot.note = drawn.size() == all.size()
                  ? "every access, one dot each"
                  : std::to_string(drawn.size()) + " of " + std::to_string(all.size()) +
                        " accesses drawn: the shortest and the longest of each of " +
                        std::to_string(kThinningSlices) + " slices of the time axis, and every " +
                        "position error";
  const int64_t span = last->clock - first->clock;
  plot.x = TimeAxis(first->clock - span / 50, last->clock + span / 50, "time of day");
  Series counted{"access, counted", Shape::kDot, kBlue, {}, false};
  Series uncounted{"access, not counted", Shape::kRing, kGrey, {}, false};
  Series errors{"carousel position error", Shape::kCross, kVermillion, {}, false};
  Series onAxis{"", Shape::kTriangle, kVermillion, {}, true};
  int64_t longest = 0;
  for (const Access& a : drawn) {
    const Point p{a.clock / 1000.0, a.hundredths / 100.0};
    (a.positionError ? errors : a.counted ? counted : uncounted).points.push_back(p);
    if (a.positionError) onAxis.points.push_back(p);
    longest = std::max(longest, a.hundredths);
  }
  plot.y = NumberAxis(0, longest / 100.0, "access time (s)");
  AddLevels(all, plot);
  AddGaps(gaps, plot);
  for (Series* s : {&counted, &uncounted, &errors, &onAxis})
    if (!s->points.empty()) plot.series.push_back(std::move(*s));
  return plot;
}

Plot TimeHistogram(const Record& record, std::string_view column, std::string what) {
  Plot plot;
  plot.title = "Histogram of " + what;
  const int at = record.Column(column);
  std::vector<int64_t> times;
  for (const Row& row : record.rows)
    if (std::optional<int64_t> h = Hundredths(row.cells[at])) times.push_back(*h);
  if (times.empty()) return plot;
  const auto [low, high] = std::minmax_element(times.begin(), times.end());
  // 1, 2, 5, 10, 20, 50 ... hundredths: the first that gives fewer than two dozen bins.
  int64_t width = 1;
  for (int64_t decade = 1; (*high - *low) / width >= 24; decade *= 10)
    for (int64_t factor : {1, 2, 5})
      if ((*high - *low) / (width = factor * decade) < 24) break;
  const auto Floor = [width](int64_t h) { return (h >= 0 ? h : h - width + 1) / width; };
  const int64_t first = Floor(*low);
  std::vector<int64_t> bins(static_cast<size_t>(Floor(*high) - first + 1));
  for (int64_t h : times) ++bins[static_cast<size_t>(Floor(h) - first)];
  int64_t most = 0;
  for (size_t i = 0; i < bins.size(); ++i) {
    const double x0 = static_cast<double>((first + static_cast<int64_t>(i)) * width) / 100;
    plot.bars.push_back({x0, x0 + width / 100.0, 0, static_cast<double>(bins[i]), kBlue,
                         bins[i] ? std::to_string(bins[i]) : ""});
    most = std::max(most, bins[i]);
  }
  plot.barKinds = {{"accesses per bin", kBlue}};
  plot.note = std::to_string(times.size()) + " accesses in bins of " + Seconds(width / 100.0);
  plot.x = NumberAxis(plot.bars.front().x0, plot.bars.back().x1, what + " (s)");
  plot.y = NumberAxis(0, static_cast<double>(most), "accesses", true);
  return plot;
}

bool HasPlateReady(const Record& record) {
  const int at = record.Column("plate ready s");
  if (at < 0) return false;
  return std::any_of(record.rows.begin(), record.rows.end(),
                     [at](const Row& row) { return Hundredths(row.cells[at]).value_or(0) > 0; });
}

}  // namespace report
