// One source of time for the console, the serial line and the simulated device.
// Under test the virtual clock stands still until something sleeps or waits.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

namespace console {

// Local date and time of day as the PC clock gives it.
struct WallTime {
  int year = 0, month = 0, day = 0, dayOfWeek = 0;
  int hour = 0, minute = 0, second = 0, hundredths = 0;
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
  int64_t startSeconds_ = 0;                        // civil seconds since 1970 at time 0
  int startHundredths_ = 0;
};

// The clock in use; a real clock unless a test or tool installed another.
Clock& TheClock();
void SetClock(Clock* clock);

inline int64_t Millis(int64_t ms) { return ms * 1000; }

}  // namespace console
