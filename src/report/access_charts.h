// The pictures of a random-access record, in every mode: each access's time against
// the clock with the minimum, mean and maximum of the counted ones, position errors
// marked on the time axis and the line's gaps shaded; and histograms of the times.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "report/line_gaps.h"
#include "report/picture.h"
#include "report/record.h"

namespace report {

// Past this many accesses the plot is thinned (below).
inline constexpr size_t kDotsKeptWhole = 4000;
// The time axis is cut into this many slices when thinning; each keeps its shortest and
// its longest access, and every position error in it.
inline constexpr int kThinningSlices = 1000;

Plot AccessTimePlot(const Record& record, const std::vector<LineGap>& gaps,
                    size_t keptWhole = kDotsKeptWhole);
// The rows' `column` of seconds ("access s") in bins of a width that gives at most
// about two dozen; empty cells are left out.
Plot TimeHistogram(const Record& record, std::string_view column, std::string what);
// A both-mode run through the transfer station: a plate-ready time was measured.
bool HasPlateReady(const Record& record);
// The record's accesses that were carousel position errors.
size_t PositionErrors(const Record& record);

}  // namespace report
