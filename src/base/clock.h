// One source of time for the console, the serial line and the simulated device.
#pragma once
#include <cstdint>

namespace base {

// Local date and time of day as the PC clock gives it.
struct WallTime {
  int year = 0, month = 0, day = 0, dayOfWeek = 0;
  int hour = 0, minute = 0, second = 0, hundredths = 0;
  int millisecond = 0;  // the same instant to the millisecond, 0..999
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Monotonic time in microseconds; never goes back.
  virtual int64_t NowMicros() = 0;
  virtual WallTime Wall() = 0;
  // Sleeps until the monotonic time has reached `micros`.
  virtual void SleepUntil(int64_t micros) = 0;
};

class RealClock : public Clock {
 public:
  int64_t NowMicros() override;
  WallTime Wall() override;
  void SleepUntil(int64_t micros) override;
};

// The clock in use; a real clock unless a test or tool installed another.
Clock& TheClock();
void SetClock(Clock* clock);

// The wall time `civilSeconds` after 1970-01-01 00:00 on a clock that runs on local time.
WallTime WallFromCivil(int64_t civilSeconds, int hundredths);

}  // namespace base
