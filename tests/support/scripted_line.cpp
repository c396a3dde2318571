#include "support/scripted_line.h"

#include <algorithm>
#include <limits>

#include "comLib3/serial.h"

ScriptedLine& ScriptedLine::Install(base::Clock& clock, int port, bool transmitTime) {
  auto* line = new ScriptedLine(clock, transmitTime);
  ComHandles[port].reset(line);
  return *line;
}

void ScriptedLine::Depart() {
  const Timed c = leaving_.front();
  leaving_.pop_front();
  if (c.byte != '\r' || replies.empty()) return;
  const Reply reply = replies.front();
  replies.pop_front();
  const int64_t pace = reply.paceMicros >= 0 ? reply.paceMicros : transmitTime_ ? kCharMicros : 0;
  int64_t at = std::max(c.at + reply.afterMicros, coming_.empty() ? 0 : coming_.back().at);
  for (char byte : reply.bytes) coming_.push_back({at += pace, byte});
}

void ScriptedLine::DepartUntil(int64_t micros) {
  while (!leaving_.empty() && leaving_.front().at <= micros) Depart();
}

void ScriptedLine::Purge() {
  const int64_t now = clock_.NowMicros();
  events.push_back({Event::kPurge, now});
  DepartUntil(now);
  leaving_.clear();
  sendFreeAt_ = now;
  while (!coming_.empty() && coming_.front().at <= now) coming_.pop_front();
}

void ScriptedLine::Write(std::string_view bytes) {
  const int64_t now = clock_.NowMicros();
  events.push_back({Event::kWrite, now, std::string(bytes)});
  if (writes_++ == goneAtWrite) gone = true;
  if (gone) return;
  int64_t at = std::max(now, sendFreeAt_);
  for (char byte : bytes) leaving_.push_back({at += transmitTime_ ? kCharMicros : 0, byte});
  sendFreeAt_ = at;
}

void ScriptedLine::Drain() {
  clock_.SleepUntil(sendFreeAt_);
  DepartUntil(clock_.NowMicros());
}

// Characters leave and replies come in the order of their times, so a read that ends
// early leaves the rest of a request still on its way.
std::string ScriptedLine::Take(size_t maxBytes, int64_t window, std::string_view end,
                               bool untilEnd) {
  const int64_t start = clock_.NowMicros();
  DepartUntil(start);
  Event read{Event::kRead, start, "", 0, maxBytes, window, untilEnd};
  constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
  int64_t done = start + window;
  while (!gone) {
    const int64_t nextOut = leaving_.empty() ? kNever : leaving_.front().at;
    const int64_t nextIn = coming_.empty() ? kNever : coming_.front().at;
    if (std::min(nextOut, nextIn) > start + window) break;
    if (nextOut <= nextIn) {
      Depart();
      continue;
    }
    read.bytes += coming_.front().byte;
    coming_.pop_front();
    if (read.bytes.size() >= maxBytes || (untilEnd && read.bytes.ends_with(end))) {
      done = std::max(start, nextIn);
      break;
    }
  }
  if (!gone) clock_.SleepUntil(done);
  read.took = clock_.NowMicros() - start;
  events.push_back(read);
  return read.bytes;
}
