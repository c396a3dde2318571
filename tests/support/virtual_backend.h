// The clock and the console as tests see them: the clock stands still until something
// sleeps or waits; the keys come from a script, and a read past its end fails at once.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/clock.h"
#include "console/backend.h"

namespace base {

// Thrown when more virtual time passes than the test allowed: a loop fails, not hangs.
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

namespace console {

struct OutOfKeys : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class VirtualBackend : public Backend {
 public:
  explicit VirtualBackend(base::VirtualClock& clock)
      : clock_(clock), lastTaken_(clock.NowMicros()) {}

  int Cols() const override { return 80; }
  int Rows() const override { return 25; }
  void Present(const Screen& screen) override {
    shown_ = &screen;
    if (onPresent) onPresent(screen);
  }
  bool WaitKey(int64_t deadlineMicros) override;
  int TakeKey() override;
  void Ring() override { ++bells_; }

  // Each key comes `gap` microseconds after the one before it was taken.
  void Type(std::string_view keys, int64_t gapMicros = 0);
  void Key(int code, int64_t gapMicros = 0);
  // The next key arrives this much later than it otherwise would.
  void Pause(int64_t micros) { pendingPause_ += micros; }
  size_t Pending() const { return script_.size(); }
  int Bells() const { return bells_; }
  // Runs on every frame the program presents (tests watch the screen or act on it).
  std::function<void(const Screen&)> onPresent;

 private:
  struct Item {
    int64_t gap;
    uint8_t code;
  };
  int64_t FrontDue() const { return lastTaken_ + script_.front().gap; }
  std::string ScreenDump() const;

  base::VirtualClock& clock_;
  std::deque<Item> script_;
  int64_t lastTaken_;
  int64_t pendingPause_ = 0;
  int bells_ = 0;
  const Screen* shown_ = nullptr;
};

}  // namespace console
