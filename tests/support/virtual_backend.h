// The console as tests see it: an in-memory screen, a scripted key queue and the
// virtual clock. A blocking read with no scripted key left fails the test at once.
#pragma once
#include <cstdint>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include "console/backend.h"
#include "support/virtual_clock.h"

namespace console {

struct OutOfKeys : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class VirtualBackend : public Backend {
 public:
  VirtualBackend(base::VirtualClock& clock, int cols = 80, int rows = 25)
      : clock_(clock), cols_(cols), rows_(rows), lastTaken_(clock.NowMicros()) {}

  int Cols() const override { return cols_; }
  int Rows() const override { return rows_; }
  void Present(const Screen& screen) override {
    shown_ = &screen;
    if (onPresent) onPresent(screen);
  }
  bool WaitKey(int64_t deadlineMicros) override;
  int TakeKey() override;
  void Ring() override { ++bells_; }

  // Script: each key becomes available `gap` microseconds after the key before it was
  // taken (or after the script started).
  void Type(std::string_view keys, int64_t gapMicros = 0);
  void Key(int code, int64_t gapMicros = 0);
  // The next key arrives this much later than it otherwise would.
  void Pause(int64_t micros);
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
  int cols_, rows_;
  std::deque<Item> script_;
  int64_t lastTaken_;
  int64_t pendingPause_ = 0;
  int bells_ = 0;
  const Screen* shown_ = nullptr;
};

}  // namespace console
