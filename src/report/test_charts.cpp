#include "report/test_charts.h"

#include <algorithm>
#include <map>
#include <optional>
#include <utility>

#include "base/record_format.h"
#include "report/axis.h"

namespace report {

namespace {

// The console's counting window and tolerance, in hundredths.
constexpr int64_t kShortestCounted = record_format::kShortestCountedMove;
constexpr int64_t kLongestCounted = record_format::kLongestCountedMove;
constexpr int64_t kTolerance = record_format::kMoveTolerance;
// More positions or levels than any store has: such a row is damaged, and drawing up to
// it would take without end.
constexpr int kMostSlots = 200;

bool InStore(int position, int level) {
  return position >= 1 && level >= 1 && position <= kMostSlots && level <= kMostSlots;
}

int Whole(const Record& record, const Row& row, std::string_view column) {
  return static_cast<int>(WholeNumber(row.cells[record.Column(column)]).value_or(0));
}

double Seconds(const Record& record, const Row& row, std::string_view column) {
  return static_cast<double>(Hundredths(row.cells[record.Column(column)]).value_or(0)) / 100;
}

}  // namespace

bool RepliesOk(const Record& record, const Row& row) {
  const auto& columns = *record.kind->columns;
  for (size_t i = 0; i < columns.size(); ++i)
    if (columns[i].ends_with(" reply") && row.cells[i] != "OK") return false;
  return true;
}

SlotGrid AllSlotsGrid(const Record& record) {
  SlotGrid grid{
      std::min(record.positions, kMostSlots), std::min(record.levels, kMostSlots), 0, {}, 0};
  std::map<std::pair<int, int>, SlotCell> slots;
  for (const Row& row : record.rows) {
    const int position = Whole(record, row, "position"), level = Whole(record, row, "level");
    if (!InStore(position, level)) {
      ++grid.outside;
      continue;
    }
    SlotCell& cell = slots[{position, level}];
    cell.position = position;
    cell.level = level;
    ++cell.served;
    cell.notOk += RepliesOk(record, row) ? 0 : 1;
    grid.positions = std::max(grid.positions, position);
    grid.levels = std::max(grid.levels, level);
    grid.cycles = std::max(grid.cycles, Whole(record, row, "cycle"));
  }
  for (const auto& [slot, cell] : slots) grid.served.push_back(cell);
  return grid;
}

Plot CarouselMovementPlot(const Record& record) {
  Plot plot;
  plot.title = "Carousel movement: measured against taught time";
  plot.note = "one mark per move; a dash is the taught time of its step count";
  Series good{"measured, within 0.06 s", Shape::kDot, kBlue, {}, false};
  Series off{"measured, deviation above 0.06 s", Shape::kCross, kVermillion, {}, false};
  Series uncounted{"measured, not counted", Shape::kRing, kGrey, {}, false};
  Series taught{"taught", Shape::kDash, kBlack, {}, false};
  std::map<std::pair<int, double>, bool> taughtShown;
  double longest = kLongestCounted / 100.0;
  int mostSteps = 8;
  for (const Row& row : record.rows) {
    const int steps = Whole(record, row, "steps");
    const double measured = Seconds(record, row, "measured s");
    const double expected = Seconds(record, row, "taught s");
    const Point p{static_cast<double>(steps), measured};
    mostSteps = std::clamp(steps, mostSteps, kMostSlots);
    if (row.cells[record.Column("counted")] != "yes")
      uncounted.points.push_back(p);
    else if (Hundredths(row.cells[record.Column("deviation s")]).value_or(0) > kTolerance)
      off.points.push_back(p);
    else
      good.points.push_back(p);
    if (!taughtShown[{steps, expected}]) taught.points.push_back({p.x, expected});
    taughtShown[{steps, expected}] = true;
    longest = std::max({longest, measured, expected});
  }
  plot.x = NumberAxis(-0.5, mostSteps + 0.5, "steps turned");
  plot.x.ticks.clear();
  for (int s = 0; s <= mostSteps; s += mostSteps / 9 + 1)
    plot.x.ticks.push_back({static_cast<double>(s), std::to_string(s)});
  plot.y = NumberAxis(0, longest, "time (s)");
  plot.bands.push_back({"counting window 0.06 to 1.99 s", kShortestCounted / 100.0,
                        kLongestCounted / 100.0, false, kGreen});
  for (Series* s : {&taught, &good, &off, &uncounted})
    if (!s->points.empty()) plot.series.push_back(std::move(*s));
  return plot;
}

Plot ThreePlateMoves(const Record& record) {
  Plot plot;
  plot.title = "Moves per carousel position";
  std::map<int, std::pair<int, int>> moves;  // position: OK, not OK
  int most = 0, positions = std::min(record.positions, kMostSlots), outside = 0;
  for (const Row& row : record.rows) {
    const int position = Whole(record, row, "position");
    if (!InStore(position, 1)) {
      ++outside;
      continue;
    }
    auto& [ok, notOk] = moves[position];
    ++(RepliesOk(record, row) ? ok : notOk);
    most = std::max(most, ok + notOk);
    positions = std::max(positions, position);
  }
  for (const auto& [position, count] : moves) {
    const auto [ok, notOk] = count;
    const double x = position;
    plot.bars.push_back(
        {x - 0.35, x + 0.35, 0, static_cast<double>(ok), kGreen, notOk ? "" : std::to_string(ok)});
    if (notOk)
      plot.bars.push_back({x - 0.35, x + 0.35, static_cast<double>(ok),
                           static_cast<double>(ok + notOk), kVermillion,
                           std::to_string(ok) + " + " + std::to_string(notOk) + " not OK"});
  }
  plot.barKinds = {{"moves, every reply OK", kGreen}, {"moves with a reply not OK", kVermillion}};
  plot.note =
      std::to_string(record.rows.size()) + " moves" +
      (outside ? ", " + std::to_string(outside) + " of them to no position of a store" : "");
  plot.x = NumberAxis(0.5, std::max(positions, 1) + 0.5, "carousel position");
  plot.x.ticks.clear();
  for (int p = 1; p <= positions; ++p)
    plot.x.ticks.push_back({static_cast<double>(p), std::to_string(p)});
  plot.y = NumberAxis(0, std::max(most, 1), "moves", true);
  return plot;
}

std::vector<const Row*> MovesNotOk(const Record& record) {
  std::vector<const Row*> rows;
  for (const Row& row : record.rows)
    if (!RepliesOk(record, row)) rows.push_back(&row);
  return rows;
}

}  // namespace report
