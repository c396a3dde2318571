// A serial line whose far end the test scripts: every request that has arrived whole (up
// to its CR) takes the next scripted reply. With transmit time on, each character takes
// 11/9600 s to leave the port, as at 9600 baud 8E1, and a purge throws away what has not
// left yet, as the driver's output buffer does.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/serial_device.h"

class ScriptedLine : public SerialDevice {
 public:
  struct Reply {
    std::string bytes;
    int64_t afterMicros = 3000;  // from the request's CR arriving to the reply arriving
  };
  static constexpr int64_t kCharMicros = 11 * 1000000 / 9600;

  ScriptedLine(base::Clock& clock, bool transmitTime) : clock_(clock), transmitTime_(transmitTime) {}
  // Installs a new line as port `port` and returns it.
  static ScriptedLine& Install(base::Clock& clock, int port = 1, bool transmitTime = false);

  bool Configure(const LineSettings&, int&) override { return true; }
  void Purge() override;
  void Write(std::string_view bytes) override;
  void Drain() override;
  std::string Read(size_t maxBytes, int64_t windowMicros) override {
    return ReadUntil(maxBytes, windowMicros, {});
  }
  std::string ReadUntil(size_t maxBytes, int64_t windowMicros, std::string_view end) override;
  bool Lost() const override { return gone; }

  std::deque<Reply> replies;  // answers in order; none left: silence
  bool gone = false;          // unplugged: everything answers empty at once

  std::vector<std::string> writes;     // each write as it was handed to the port
  std::vector<int64_t> writeTimes;     // when, in ms
  std::vector<std::string> requests;   // what arrived at the far end, each up to its CR
  std::vector<int> unsentAtReadStart;  // characters still leaving when each read began
  int purges = 0;
  int cutCharacters = 0;  // thrown away by a purge before they left

 private:
  struct Timed {
    int64_t at;
    char byte;
  };
  void Depart();  // the next character reaches the far end
  void DepartUntil(int64_t micros);

  base::Clock& clock_;
  bool transmitTime_;
  std::deque<Timed> leaving_, coming_;
  std::string arriving_;  // the request so far
  int64_t sendFreeAt_ = 0;
};
