// Axes with ticks a person reads at a glance: steps of 1, 2 or 5 times a power of ten,
// and on time axes whole seconds, minutes, hours or days of the clock.
#pragma once
#include <cstdint>
#include <string>

#include "report/picture.h"

namespace report {

// From `low` to `high` widened to whole steps, at most about eight of them; steps of
// at least 1 for `whole` numbers (counts).
Axis NumberAxis(double low, double high, std::string title, bool whole = false);
// The wall clock from `from` to `to` (ms), in seconds on the axis; ticks at whole
// steps of the clock, the date on the first one and wherever the day changes.
Axis TimeAxis(int64_t from, int64_t to, std::string title);
// A number as the ticks write it: as many decimals as `step` needs.
std::string NumberText(double value, double step);

}  // namespace report
