#include "support/virtual_clock.h"

#include <ctime>
#include <string>

namespace base {

VirtualClock::VirtualClock(int year, int month, int day, int hour, int minute, int second,
                           int hundredths) {
  struct tm tm {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  startSeconds_ = static_cast<int64_t>(timegm(&tm));
  startHundredths_ = hundredths;
}

WallTime VirtualClock::Wall() {
  int64_t millis = startHundredths_ * 10 + now_ / 1000;
  WallTime w = WallFromCivil(startSeconds_ + millis / 1000, static_cast<int>(millis % 1000 / 10));
  w.millisecond = static_cast<int>(millis % 1000);
  return w;
}

void VirtualClock::SleepUntil(int64_t micros) {
  if (micros <= now_) return;
  if (micros > limit_) {
    now_ = limit_;
    throw VirtualTimeExceeded("virtual time ran past the test's limit of " +
                              std::to_string(limit_ / 1000000) + " s");
  }
  now_ = micros;
}

}  // namespace base
