#include "console/clock.h"

#include <cerrno>
#include <ctime>
#include <sys/time.h>

namespace console {

namespace {
RealClock realClock;
Clock* current = &realClock;

WallTime FromCivil(int64_t seconds, int hundredths) {
  time_t t = static_cast<time_t>(seconds);
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
  return w;
}
}  // namespace

Clock& TheClock() { return *current; }
void SetClock(Clock* clock) { current = clock ? clock : &realClock; }

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
  return FromCivil(civil, static_cast<int>(tv.tv_usec / 10000));
}

void RealClock::SleepUntil(int64_t micros) {
  struct timespec ts {};
  ts.tv_sec = micros / 1000000;
  ts.tv_nsec = (micros % 1000000) * 1000;
  // Interrupted by a signal: sleep on to the same deadline.
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

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
  int64_t hundredths = startHundredths_ + now_ / 10000;
  return FromCivil(startSeconds_ + hundredths / 100, static_cast<int>(hundredths % 100));
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

}  // namespace console
