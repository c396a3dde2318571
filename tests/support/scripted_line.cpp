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
  arriving_ += c.byte;
  if (c.byte != '\r') return;
  requests.push_back(arriving_);
  arriving_.clear();
  if (replies.empty()) return;
  const Reply reply = replies.front();
  replies.pop_front();
  int64_t at = c.at + reply.afterMicros;
  for (char byte : reply.bytes) coming_.push_back({at += transmitTime_ ? kCharMicros : 0, byte});
}

void ScriptedLine::DepartUntil(int64_t micros) {
  while (!leaving_.empty() && leaving_.front().at <= micros) Depart();
}

void ScriptedLine::Purge() {
  const int64_t now = clock_.NowMicros();
  ++purges;
  DepartUntil(now);
  cutCharacters += static_cast<int>(leaving_.size());
  leaving_.clear();
  sendFreeAt_ = now;
  while (!coming_.empty() && coming_.front().at <= now) coming_.pop_front();
}

void ScriptedLine::Write(std::string_view bytes) {
  if (gone) return;
  const int64_t now = clock_.NowMicros();
  writes.emplace_back(bytes);
  writeTimes.push_back(now / 1000);
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
std::string ScriptedLine::ReadUntil(size_t maxBytes, int64_t windowMicros, std::string_view end) {
  if (gone) return "";
  const int64_t now = clock_.NowMicros();
  DepartUntil(now);
  unsentAtReadStart.push_back(static_cast<int>(leaving_.size()));
  const int64_t deadline = now + windowMicros;
  constexpr int64_t kNever = std::numeric_limits<int64_t>::max();
  std::string got;
  for (;;) {
    const int64_t nextOut = leaving_.empty() ? kNever : leaving_.front().at;
    const int64_t nextIn = coming_.empty() ? kNever : coming_.front().at;
    if (std::min(nextOut, nextIn) > deadline) break;
    if (nextOut <= nextIn) {
      Depart();
      continue;
    }
    got += coming_.front().byte;
    coming_.pop_front();
    if (got.size() >= maxBytes || (!end.empty() && got.ends_with(end))) {
      clock_.SleepUntil(nextIn);
      return got;
    }
  }
  clock_.SleepUntil(deadline);
  return got;
}
