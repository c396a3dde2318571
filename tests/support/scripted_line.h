// A serial line whose far end the test scripts: every request that has arrived whole (up
// to its CR) takes the next scripted reply. With transmit time on, each character takes
// 11/9600 s to leave the port, as at 9600 baud 8E1, and a purge throws away what has not
// left yet, as the driver's output buffer does. Every call is kept in `events`.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "base/clock.h"
#include "base/serial_device.h"

class ScriptedLine : public SerialDevice {
 public:
  static constexpr int64_t kCharMicros = 11 * 1000000 / 9600;
  struct Reply {
    std::string bytes;
    int64_t afterMicros = 3000;  // from the request's CR arriving to the first byte
    int64_t paceMicros = -1;     // between its bytes; -1: the line's own pace
  };
  struct Event {
    enum Kind { kPurge, kWrite, kRead } kind;
    int64_t at;              // when the call began
    std::string bytes = {};  // written, or read
    int64_t took = 0;        // a read's length
    size_t maxBytes = 0;     // a read's limit
    int64_t window = 0;
    bool untilEnd = false;  // a read that ends at the line end
  };

  ScriptedLine(base::Clock& clock, bool transmitTime) : clock_(clock), transmitTime_(transmitTime) {}
  // Installs a new line as port `port` and returns it.
  static ScriptedLine& Install(base::Clock& clock, int port = 1, bool transmitTime = false);

  bool Configure(const LineSettings&, int&) override { return true; }
  void Purge() override;
  void Write(std::string_view bytes) override;
  void Drain() override;
  std::string Read(size_t maxBytes, int64_t windowMicros) override {
    return Take(maxBytes, windowMicros, {}, false);
  }
  std::string ReadUntil(size_t maxBytes, int64_t windowMicros, std::string_view end) override {
    return Take(maxBytes, windowMicros, end, true);
  }
  bool Lost() const override { return gone; }

  std::deque<Reply> replies;  // answers in order; none left: silence
  bool gone = false;          // unplugged: nothing goes out, every read is empty at once
  int goneAtWrite = -1;       // the line goes away at this write (counted from 0)
  std::vector<Event> events;

 private:
  struct Timed {
    int64_t at;
    char byte;
  };
  std::string Take(size_t maxBytes, int64_t window, std::string_view end, bool untilEnd);
  void Depart();  // the next character reaches the far end
  void DepartUntil(int64_t micros);

  base::Clock& clock_;
  bool transmitTime_;
  std::deque<Timed> leaving_, coming_;
  int64_t sendFreeAt_ = 0;
  int writes_ = 0;
};
