#include "plcsim/sim_serial.h"

#include <algorithm>

namespace plcsim {

bool SimSerialDevice::Configure(const LineSettings& settings, int&) {
  settings_ = settings;
  return true;
}

bool SimSerialDevice::NoticeGone() {
  lost_ = lost_ || line_.Gone(clock_.NowMicros());
  return lost_;
}

void SimSerialDevice::Purge() {
  if (!NoticeGone()) line_.DropArrived(clock_.NowMicros());
}

void SimSerialDevice::Write(std::string_view bytes) {
  if (!NoticeGone()) sentUntil_ = line_.Receive(bytes, clock_.NowMicros());
}

void SimSerialDevice::Drain() {
  clock_.SleepUntil(sentUntil_);
}

std::string SimSerialDevice::ReadUntil(size_t maxBytes, int64_t windowMicros,
                                       std::string_view end) {
  if (NoticeGone()) return "";  // a vanished device answers at once
  const int64_t now = clock_.NowMicros();
  const int64_t deadline = now + windowMicros;
  int64_t lastAt = now;
  std::string got;
  // Byte by byte when the end matters, so the read stops on the byte that completes it.
  const size_t step = end.empty() ? maxBytes : 1;
  while (got.size() < maxBytes) {
    std::string more = line_.Take(std::min(step, maxBytes - got.size()), deadline, lastAt);
    if (more.empty()) break;
    got += more;
    if (!end.empty() && got.ends_with(end)) {
      clock_.SleepUntil(lastAt);
      return got;
    }
  }
  clock_.SleepUntil(got.size() >= maxBytes ? lastAt : deadline);
  return got;
}

}  // namespace plcsim
