// A serial device wired straight to the simulated controller, on the shared clock:
// the in-process link that tests use.
#pragma once
#include "base/clock.h"
#include "base/serial_device.h"
#include "plcsim/line.h"

namespace plcsim {

class SimSerialDevice : public SerialDevice {
 public:
  SimSerialDevice(SimLine& line, base::Clock& clock) : line_(line), clock_(clock) {}
  bool Configure(const LineSettings& settings, int& errorCode) override;
  void Purge() override;
  void Write(std::string_view bytes) override;
  void Drain() override;  // on a paced line, until the last byte written is in
  std::string Read(size_t maxBytes, int64_t windowMicros) override {
    return ReadUntil(maxBytes, windowMicros, {});
  }
  std::string ReadUntil(size_t maxBytes, int64_t windowMicros, std::string_view end) override;
  // Once the line has gone this device stays gone, as a closed descriptor does, even
  // when the line comes back: that takes a new device.
  bool Lost() const override { return lost_; }
  const LineSettings& Settings() const { return settings_; }

 private:
  bool NoticeGone();

  SimLine& line_;
  base::Clock& clock_;
  LineSettings settings_;
  bool lost_ = false;
  int64_t sentUntil_ = 0;
};

}  // namespace plcsim
