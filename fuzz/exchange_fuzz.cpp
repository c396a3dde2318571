// The exchange against a line whose far end answers anything, at any time: replies of
// any bytes and length, early, late or never, some spilling into the next read, and a
// line that goes away. Whatever comes, the exchange keeps its rules: the line purged
// before each write, the command sent the same way each time, at most four attempts and
// another only after an empty or error reply, the 100 ms pause before the fourth read
// only, reads of 50 bytes in a 55 ms window, and a reply of at most 48 bytes that is the
// last read without its line end. With the abort flag up nothing is sent.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "KV_Lib3/exchange.h"
#include "base/clock.h"
#include "comLib3/keyboard.h"
#include "comLib3/serial.h"
#include "virtual_console.h"

namespace {

// The fuzz input, taken a byte at a time; zeros once it is used up.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
  std::string Bytes(size_t n) {
    std::string bytes;
    while (n-- > 0 && at_ < size_) bytes += static_cast<char>(data_[at_++]);
    return bytes;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t at_ = 0;
};

struct Event {
  enum Kind { kPurge, kWrite, kRead } kind = kPurge;
  int64_t at = 0;       // when it began
  int64_t took = 0;     // a read: how long it lasted
  std::string bytes{};  // a write: what was sent; a read: what it returned
  size_t maxBytes = 0;  // a read: what it asked for
  int64_t window = 0;
  bool untilEnd = false;  // a read that ends at the line end (fast link)
};

// The far end of the line: each write is answered by bytes from the input, the first
// after a delay of up to 255 ms and the others at a pace of their own, on the virtual
// clock. A byte that arrives after a read has ended waits for the next one, unless a
// purge throws it away first. From a write the input chooses on, the line is gone.
class ScriptedDevice : public SerialDevice {
 public:
  ScriptedDevice(Input& input, base::Clock& clock) : input_(input), clock_(clock) {}

  bool Configure(const LineSettings&, int&) override { return true; }
  void Purge() override {
    const int64_t now = clock_.NowMicros();
    while (!coming_.empty() && coming_.front().at <= now) coming_.pop_front();
    events.push_back({.kind = Event::kPurge, .at = now});
  }
  void Write(std::string_view bytes) override {
    const int64_t now = clock_.NowMicros();
    events.push_back({.kind = Event::kWrite, .at = now, .bytes = std::string(bytes)});
    const uint8_t how = input_.Byte();
    if (how == 0xFF) lost_ = true;
    if (lost_) return;
    // Up to 63 bytes, the first after up to 255 ms, then one every 0 to 4.5 ms.
    int64_t at = now + input_.Byte() * 1000;
    const int64_t gap = (how & 0x03) * 1500;
    for (char byte : input_.Bytes(how >> 2)) {
      at = std::max(at, coming_.empty() ? 0 : coming_.back().at) + gap;
      coming_.push_back({at, byte});
    }
  }
  std::string Read(size_t maxBytes, int64_t windowMicros) override {
    return Take(maxBytes, windowMicros, {}, false);
  }
  std::string ReadUntil(size_t maxBytes, int64_t windowMicros, std::string_view end) override {
    return Take(maxBytes, windowMicros, end, true);
  }
  bool Lost() const override { return lost_; }

  std::vector<Event> events;

 private:
  struct Arrival {
    int64_t at;
    char byte;
  };
  std::string Take(size_t maxBytes, int64_t window, std::string_view end, bool untilEnd) {
    const int64_t start = clock_.NowMicros();
    std::string got;
    int64_t last = start + window;
    if (!lost_) {
      while (got.size() < maxBytes && !coming_.empty() && coming_.front().at <= start + window) {
        got += coming_.front().byte;
        last = std::max(start, coming_.front().at);
        coming_.pop_front();
        if (untilEnd && got.ends_with(end)) break;
      }
      const bool early = got.size() == maxBytes || (untilEnd && got.ends_with(end));
      clock_.SleepUntil(early ? last : start + window);
    }
    events.push_back({.kind = Event::kRead,
                      .at = start,
                      .took = clock_.NowMicros() - start,
                      .bytes = got,
                      .maxBytes = maxBytes,
                      .window = window,
                      .untilEnd = untilEnd});
    return got;
  }

  Input& input_;
  base::Clock& clock_;
  std::deque<Arrival> coming_;
  bool lost_ = false;
};

std::string WithoutLineEnd(const std::string& read) {
  return read.size() >= 2 ? read.substr(0, read.size() - 2) : read;
}

bool Retried(const std::string& reply) {
  return reply.empty() || reply[0] == 'E';
}

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input input(data, size);
  const uint8_t flags = input.Byte();
  const std::string command = input.Bytes(input.Byte() % 40);
  VirtualConsole console("");
  EscAbort = (flags & 0x0F) == 0x0F;
  FastLink = flags & 0x10;
  auto owned = std::make_unique<ScriptedDevice>(input, console.clock);
  ScriptedDevice& device = *owned;
  ComHandles[1] = std::move(owned);

  std::string reply = "left over";
  const std::string returned = PlcExchange(1, command, reply);
  const int64_t took = console.clock.NowMicros();
  const std::vector<Event> events = device.events;
  CloseComPort(1);
  EscAbort = false;
  FastLink = false;

  Check(returned == reply);
  if ((flags & 0x0F) == 0x0F) {
    Check(reply.empty() && events.empty() && took == 0);
    return 0;
  }
  // A purge first, then a purge, a write and a read for each attempt.
  Check(events.size() % 3 == 1 && events[0].kind == Event::kPurge);
  const int attempts = static_cast<int>(events.size() / 3);
  Check(attempts >= 1 && attempts <= kAttempts);
  const std::string line = ApplyNegativeRule(command) + '\r';
  int64_t reading = 0;
  for (int i = 0; i < attempts; ++i) {
    const Event& purge = events[1 + 3 * i];
    const Event& write = events[2 + 3 * i];
    const Event& read = events[3 + 3 * i];
    Check(purge.kind == Event::kPurge && write.kind == Event::kWrite && read.kind == Event::kRead);
    Check(write.bytes == line && write.at == purge.at);
    const bool fourth = i + 1 == kAttempts;
    Check(read.at == write.at + (fourth ? 100000 : 0));
    Check(read.maxBytes == kReplyReadBytes && read.window == kReadWindowMicros);
    Check(read.untilEnd == static_cast<bool>(flags & 0x10));
    Check(read.took <= kReadWindowMicros);
    reading += read.took;
    const std::string got = WithoutLineEnd(read.bytes);
    const bool lastAttempt = i + 1 == attempts;
    Check(lastAttempt ? got == reply && (attempts == kAttempts || !Retried(got)) : Retried(got));
  }
  Check(reply.size() <= kReplyReadBytes - 2);
  Check(took == reading + (attempts == kAttempts ? 100000 : 0));
  return 0;
}
