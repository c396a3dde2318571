// The clock tests run on: it stands still until something sleeps or waits, so the
// console, the serial time-outs and the simulated device share one virtual timeline.
#pragma once
#include <cstdint>
#include <stdexcept>

#include "base/clock.h"

namespace base {

// Thrown by the virtual clock when a test lets more virtual time pass than it allowed:
// a loop that never ends fails the test instead of hanging it.
struct VirtualTimeExceeded : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class VirtualClock : public Clock {
 public:
  // The wall clock starts at the given local date and time when virtual time is 0.
  VirtualClock(int year = 2026, int month = 12, int day = 6, int hour = 10, int minute = 0,
               int second = 0, int hundredths = 0);
  int64_t NowMicros() override { return now_; }
  WallTime Wall() override;
  void SleepUntil(int64_t micros) override;
  void Advance(int64_t micros) { SleepUntil(now_ + micros); }
  void SetLimit(int64_t micros) { limit_ = micros; }

 private:
  int64_t now_ = 0;
  int64_t limit_ = int64_t{24} * 3600 * 1000000;  // one virtual day
  int64_t startSeconds_ = 0;                      // civil seconds since 1970 at time 0
  int startHundredths_ = 0;
};

}  // namespace base
