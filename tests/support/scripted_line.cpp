#include "support/scripted_line.h"

#include <algorithm>

#include "comLib3/serial.h"

ScriptedLine& ScriptedLine::Install(base::Clock& clock, int port) {
  auto* line = new ScriptedLine(clock);
  ComHandles[port].reset(line);
  return *line;
}

// A purge throws away what has come in so far; what is still on its way stays.
void ScriptedLine::Purge() {
  const int64_t now = clock_.NowMicros();
  events.push_back({Event::kPurge, now});
  while (!coming_.empty() && coming_.front().at <= now) coming_.pop_front();
}

void ScriptedLine::Write(std::string_view bytes) {
  const int64_t now = clock_.NowMicros();
  events.push_back({Event::kWrite, now, std::string(bytes)});
  if (writes_++ == goneAtWrite) gone = true;
  if (gone) return;
  for (char byte : bytes) {
    if (byte != '\r' || replies.empty()) continue;
    const Reply reply = replies.front();
    replies.pop_front();
    int64_t at = std::max(now + reply.afterMicros, coming_.empty() ? 0 : coming_.back().at);
    for (char c : reply.bytes) coming_.push_back({at += reply.paceMicros, c});
  }
}

// A read takes what has come in by the window's end, and stops early at its limit or
// at the line end.
std::string ScriptedLine::Take(size_t maxBytes, int64_t window, std::string_view end,
                               bool untilEnd) {
  const int64_t start = clock_.NowMicros();
  Event read{Event::kRead, start, "", 0, maxBytes, window, untilEnd};
  int64_t done = start + window;
  while (!gone && !coming_.empty() && coming_.front().at <= start + window) {
    const int64_t arrived = coming_.front().at;
    read.bytes += coming_.front().byte;
    coming_.pop_front();
    if (read.bytes.size() >= maxBytes || (untilEnd && read.bytes.ends_with(end))) {
      done = std::max(start, arrived);
      break;
    }
  }
  if (!gone) clock_.SleepUntil(done);
  read.took = clock_.NowMicros() - start;
  events.push_back(read);
  return read.bytes;
}
