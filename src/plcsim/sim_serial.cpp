#include "plcsim/sim_serial.h"

namespace plcsim {

bool SimSerialDevice::Configure(const LineSettings& settings, int&) {
  settings_ = settings;
  return true;
}

void SimSerialDevice::Write(std::string_view bytes) {
  if (line_.Gone(clock_.NowMicros())) return;
  line_.Receive(bytes, clock_.NowMicros());
}

std::string SimSerialDevice::Read(size_t maxBytes, int64_t windowMicros) {
  int64_t now = clock_.NowMicros();
  if (line_.Gone(now)) return "";  // a vanished device answers at once
  int64_t deadline = now + windowMicros;
  int64_t lastAt = now;
  std::string got = line_.Take(maxBytes, deadline, lastAt);
  clock_.SleepUntil(got.size() >= maxBytes ? lastAt : deadline);
  return got;
}

}  // namespace plcsim
