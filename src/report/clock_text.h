// The clock as the records and the line log write it, "2026-12-07 04:41:14.438", as a
// count of milliseconds that the time axes can use; and back to text for their ticks.
// The stamps carry no time zone, so neither does the count: it is the wall clock read
// as if it were UTC, which keeps days 86,400 s long and the labels what was written.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace report {

// "2026-12-07 04:41:14.438"; the milliseconds may be left out. Nothing for anything else.
std::optional<int64_t> ParseClock(std::string_view text);
// The start time in a record's file name, "2026-12-07_04-40-58_...".
std::optional<int64_t> ParseFileNameStart(std::string_view name);

// "2026-12-07 04:41:14"
std::string ClockText(int64_t ms);
// "04:41", "04:41:14" with seconds; "12-07 04:41" with the date.
std::string TimeOfDayText(int64_t ms, bool seconds, bool date);
// The day of a count, for telling where the date changes.
int64_t DayOf(int64_t ms);

}  // namespace report
