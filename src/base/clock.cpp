#include "base/clock.h"

#include <sys/time.h>

#include <cerrno>
#include <ctime>

namespace base {

namespace {
RealClock realClock;
Clock* current = &realClock;
}  // namespace

Clock& TheClock() { return *current; }
void SetClock(Clock* clock) { current = clock ? clock : &realClock; }

WallTime WallFromCivil(int64_t civilSeconds, int hundredths) {
  time_t t = static_cast<time_t>(civilSeconds);
  struct tm tm {};
  gmtime_r(&t, &tm);
  WallTime w;
  w.year = tm.tm_year + 1900;
  w.month = tm.tm_mon + 1;
  w.day = tm.tm_mday;
  w.dayOfWeek = tm.tm_wday;
  w.hour = tm.tm_hour;
  w.minute = tm.tm_min;
  w.second = tm.tm_sec;
  w.hundredths = hundredths;
  w.millisecond = hundredths * 10;
  return w;
}

int64_t RealClock::NowMicros() {
  struct timespec ts {};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t{ts.tv_sec} * 1000000 + ts.tv_nsec / 1000;
}

WallTime RealClock::Wall() {
  struct timeval tv {};
  gettimeofday(&tv, nullptr);
  struct tm tm {};
  time_t t = tv.tv_sec;
  localtime_r(&t, &tm);
  int64_t civil = static_cast<int64_t>(timegm(&tm));
  WallTime w = WallFromCivil(civil, static_cast<int>(tv.tv_usec / 10000));
  w.millisecond = static_cast<int>(tv.tv_usec / 1000);
  return w;
}

void RealClock::SleepUntil(int64_t micros) {
  struct timespec ts {};
  ts.tv_sec = micros / 1000000;
  ts.tv_nsec = (micros % 1000000) * 1000;
  // Interrupted by a signal: sleep on to the same deadline.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

}  // namespace base
