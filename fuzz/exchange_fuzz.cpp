// The exchange against a line whose far end answers anything, at any time: replies of
// any bytes and length, early, late or never, some spilling into the next read, and a
// line that goes away. Whatever comes, the exchange keeps its rules: the line purged
// before each write, the command sent the same way each time, at most four attempts and
// another only after an empty or error reply, the 100 ms pause before the fourth read
// only, reads of 50 bytes in a 55 ms window, and a reply of at most 48 bytes that is the
// last read without its line end. With the abort flag up nothing is sent.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "KV_Lib3/exchange.h"
#include "comLib3/keyboard.h"
#include "comLib3/serial.h"
#include "support/scripted_line.h"
#include "support/virtual_backend.h"

using Event = ScriptedLine::Event;

static void Check(bool holds) {
  if (!holds) __builtin_trap();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  size_t at = 0;
  auto byte = [&] { return at < size ? data[at++] : uint8_t{0}; };
  auto bytes = [&](size_t n) {
    std::string b(input.substr(at, n));
    at += b.size();
    return b;
  };
  const uint8_t flags = byte();
  const bool aborted = (flags & 0x0F) == 0x0F;
  const std::string command = bytes(byte() % 40);
  base::VirtualClock clock;
  console::VirtualBackend keys(clock);
  base::SetClock(&clock);
  console::Install(&keys);
  ResetExchange();
  EscAbort = aborted;
  FastLink = flags & 0x10;
  ScriptedLine& line = ScriptedLine::Install(clock);
  if (flags & 0x20) line.goneAtWrite = byte() % 4;
  // A reply for each attempt: up to 63 bytes, the first after up to 255 ms, then one
  // every 0 to 4.5 ms.
  for (int i = 0; i < kAttempts; ++i) {
    const uint8_t how = byte();
    const int64_t after = byte() * 1000;
    line.replies.push_back({bytes(how >> 2), after, (how & 0x03) * 1500});
  }

  std::string reply = "left over";
  const std::string returned = PlcExchange(1, command, reply);
  const int64_t took = clock.NowMicros();
  const std::vector<Event> events = line.events;
  CloseComPort(1);
  console::Install(nullptr);
  base::SetClock(nullptr);
  Check(returned == reply);
  if (aborted) {
    Check(reply.empty() && events.empty() && took == 0);
    return 0;
  }

  // A purge first, then a purge, a write and a read for each attempt.
  Check(events.size() % 3 == 1 && events[0].kind == Event::kPurge);
  const int attempts = static_cast<int>(events.size() / 3);
  Check(attempts >= 1 && attempts <= kAttempts);
  int64_t reading = 0;
  for (int i = 0; i < attempts; ++i) {
    const Event& purge = events[1 + 3 * i];
    const Event& write = events[2 + 3 * i];
    const Event& read = events[3 + 3 * i];
    Check(purge.kind == Event::kPurge && write.kind == Event::kWrite && read.kind == Event::kRead);
    Check(write.bytes == ApplyNegativeRule(command) + '\r' && write.at == purge.at);
    Check(read.at == write.at + (i + 1 == kAttempts ? 100000 : 0));
    Check(read.maxBytes == kReplyReadBytes && read.window == kReadWindowMicros &&
          read.took <= kReadWindowMicros && read.untilEnd == static_cast<bool>(flags & 0x10));
    reading += read.took;
    const std::string got =
        read.bytes.size() >= 2 ? read.bytes.substr(0, read.bytes.size() - 2) : read.bytes;
    const bool retried = got.empty() || got[0] == 'E';
    Check(i + 1 == attempts ? got == reply && (attempts == kAttempts || !retried) : retried);
  }
  Check(reply.size() <= kReplyReadBytes - 2);
  Check(took == reading + (attempts == kAttempts ? 100000 : 0));
  return 0;
}
