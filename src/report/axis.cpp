#include "report/axis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "report/clock_text.h"

namespace report {

namespace {

constexpr int kMostTicks = 8;

double NiceStep(double span) {
  const double power = std::pow(10.0, std::floor(std::log10(span / kMostTicks)));
  for (double factor : {1.0, 2.0, 5.0, 10.0})
    if (span / (factor * power) <= kMostTicks) return factor * power;
  return 10 * power;
}

}  // namespace

std::string NumberText(double value, double step) {
  const int decimals = step >= 1 ? 0 : static_cast<int>(std::ceil(-std::log10(step) - 1e-9));
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, std::abs(value) < step / 2 ? 0.0 : value);
  return text;
}

Axis NumberAxis(double low, double high, std::string title, bool whole) {
  if (high <= low) high = low + 1;
  const double step = whole ? std::max(NiceStep(high - low), 1.0) : NiceStep(high - low);
  Axis axis{std::move(title),
            std::floor(low / step + 1e-9) * step,
            std::ceil(high / step - 1e-9) * step,
            {}};
  for (double at = axis.low; at <= axis.high + step / 2; at += step)
    axis.ticks.push_back({at, NumberText(at, step)});
  return axis;
}

Axis TimeAxis(int64_t from, int64_t to, std::string title) {
  constexpr int64_t kSteps[] = {1,     2,     5,     10,    15,     30,     60,
                                120,   300,   600,   900,   1800,   3600,   7200,
                                10800, 21600, 43200, 86400, 172800, 604800, 2419200};
  if (to - from < 10'000) to = from + 10'000;  // a lone access still gets a readable axis
  const int64_t longest = kSteps[std::size(kSteps) - 1];
  int64_t step = ((to - from) / 1000 / kMostTicks / longest + 1) * longest;  // beyond the table
  for (int64_t s : kSteps) {
    if ((to - from) / 1000 / s <= kMostTicks) {
      step = s;
      break;
    }
  }
  Axis axis{std::move(title), from / 1000.0, to / 1000.0, {}};
  const int64_t stepMs = step * 1000;
  int64_t day = INT64_MIN;
  for (int64_t at = (from + stepMs - 1) / stepMs * stepMs; at <= to; at += stepMs) {
    axis.ticks.push_back({at / 1000.0, TimeOfDayText(at, step < 60, DayOf(at) != day)});
    day = DayOf(at);
  }
  return axis;
}

}  // namespace report
