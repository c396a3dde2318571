#include "report/clock_text.h"

#include <cstdio>

namespace report {

namespace {

constexpr int64_t kDayMs = 86'400'000;

// Days since 1970-01-01 of a date in the proleptic Gregorian calendar (H. Hinnant's
// days_from_civil).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

struct Civil {
  int64_t year, month, day;
};

Civil CivilFromDays(int64_t z) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int64_t d = doy - (153 * mp + 2) / 5 + 1;
  const int64_t m = mp + (mp < 10 ? 3 : -9);
  return {yoe + era * 400 + (m <= 2), m, d};
}

// Reads `width` digits at `at`; -1 when they aren't all digits.
int64_t Digits(std::string_view text, size_t at, size_t width) {
  if (at + width > text.size()) return -1;
  int64_t value = 0;
  for (size_t i = at; i < at + width; ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// "YYYY-MM-DD?hh?mm?ss" with the given separators between date and time and inside the time.
std::optional<int64_t> ParseStamp(std::string_view text, char between, char inTime) {
  if (text.size() < 19 || text[4] != '-' || text[7] != '-' || text[10] != between ||
      text[13] != inTime || text[16] != inTime)
    return std::nullopt;
  const int64_t year = Digits(text, 0, 4), month = Digits(text, 5, 2), day = Digits(text, 8, 2);
  const int64_t hour = Digits(text, 11, 2), minute = Digits(text, 14, 2);
  const int64_t second = Digits(text, 17, 2);
  if (year < 0 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 60)
    return std::nullopt;
  return ((DaysFromCivil(year, month, day) * 24 + hour) * 60 + minute) * 60000 + second * 1000;
}

}  // namespace

std::optional<int64_t> ParseClock(std::string_view text) {
  std::optional<int64_t> ms = ParseStamp(text, ' ', ':');
  if (!ms || text.size() == 19) return ms;
  const int64_t milli = Digits(text, 20, 3);
  if (text.size() != 23 || text[19] != '.' || milli < 0) return std::nullopt;
  return *ms + milli;
}

std::optional<int64_t> ParseFileNameStart(std::string_view name) {
  if (name.size() < 20 || name[19] != '_') return std::nullopt;
  return ParseStamp(name.substr(0, 19), '_', '-');
}

int64_t DayOf(int64_t ms) {
  return ms >= 0 ? ms / kDayMs : (ms - kDayMs + 1) / kDayMs;
}

std::string ClockText(int64_t ms) {
  const Civil c = CivilFromDays(DayOf(ms));
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02lld-%02lld %s", static_cast<long long>(c.year),
                static_cast<long long>(c.month), static_cast<long long>(c.day),
                TimeOfDayText(ms, true, false).c_str());
  return text;
}

std::string TimeOfDayText(int64_t ms, bool seconds, bool date) {
  const int64_t inDay = (ms - DayOf(ms) * kDayMs) / 1000;
  char text[48];
  int n = 0;
  if (date) {
    const Civil c = CivilFromDays(DayOf(ms));
    n = std::snprintf(text, sizeof text, "%02lld-%02lld ", static_cast<long long>(c.month),
                      static_cast<long long>(c.day));
  }
  n += std::snprintf(text + n, sizeof text - n, "%02lld:%02lld",
                     static_cast<long long>(inDay / 3600), static_cast<long long>(inDay / 60 % 60));
  if (seconds)
    std::snprintf(text + n, sizeof text - n, ":%02lld", static_cast<long long>(inDay % 60));
  return text;
}

}  // namespace report
