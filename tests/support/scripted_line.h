// A serial line whose far end the test scripts: every request that goes out whole (up to
// its CR) takes the next scripted reply. Every call is kept in `events`.
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
    int64_t afterMicros = 3000;  // from the request's CR to the first byte
    int64_t paceMicros = 0;      // between its bytes
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

  explicit ScriptedLine(base::Clock& clock) : clock_(clock) {}
  // Installs a new line as port `port` and returns it.
  static ScriptedLine& Install(base::Clock& clock, int port = 1);

  bool Configure(const LineSettings&, int&) override { return true; }
  void Purge() override;
  void Write(std::string_view bytes) override;
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

  base::Clock& clock_;
  std::deque<Timed> coming_;  // the replies' bytes, each with the time it arrives
  int writes_ = 0;
};
