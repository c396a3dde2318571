#include "support/virtual_backend.h"

#include <algorithm>
#include <chrono>

namespace base {

VirtualClock::VirtualClock(int year, int month, int day, int hour, int minute, int second,
                           int hundredths)
    : startHundredths_(hundredths) {
  const std::chrono::sys_days date{std::chrono::year{year} / month / day};
  startSeconds_ = date.time_since_epoch().count() * 86400 + hour * 3600 + minute * 60 + second;
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

namespace console {

void VirtualBackend::Type(std::string_view keys, int64_t gapMicros) {
  for (char c : keys) Key(static_cast<uint8_t>(c), gapMicros);
}

void VirtualBackend::Key(int code, int64_t gapMicros) {
  if (script_.empty()) lastTaken_ = std::max(lastTaken_, clock_.NowMicros());
  script_.push_back(Item{gapMicros + pendingPause_, static_cast<uint8_t>(code)});
  pendingPause_ = 0;
}

// A key is ready when it is due by the deadline (or by now, when that is later).
bool VirtualBackend::WaitKey(int64_t deadline) {
  if (script_.empty() && deadline < 0)
    throw OutOfKeys("the test's key script ran out while the program waits for a key\n" +
                    ScreenDump());
  const int64_t latest = std::max(deadline, clock_.NowMicros());
  const bool ready = !script_.empty() && (deadline < 0 || FrontDue() <= latest);
  clock_.SleepUntil(ready ? FrontDue() : deadline);  // a time gone by costs no sleep
  return ready;
}

int VirtualBackend::TakeKey() {
  if (script_.empty() || FrontDue() > clock_.NowMicros())
    throw OutOfKeys("a key was taken before one was ready\n" + ScreenDump());
  const int code = script_.front().code;
  script_.pop_front();
  lastTaken_ = clock_.NowMicros();
  return code;
}

std::string VirtualBackend::ScreenDump() const {
  if (!shown_) return "(nothing drawn)";
  std::string dump;
  for (int row = 1; row <= shown_->Rows(); ++row) dump += shown_->RowText(row) + "|\n";
  return dump;
}

}  // namespace console
