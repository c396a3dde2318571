#include "plcsim/line.h"

#include <algorithm>

namespace plcsim {

int64_t SimLine::Receive(std::string_view bytes, int64_t now) {
  if (keepWire) wire_.push_back(WireRecord{now, std::string(bytes)});
  if (Gone(now)) return now;
  int64_t at = now;
  for (char c : bytes) {
    if (paced) at += kByteMicros;
    if (c == '\r') {
      Answer(pending_, at);
      pending_.clear();
    } else if (c != '\n' && pending_.size() < 4096) {
      pending_ += c;
    }
  }
  return at;
}

std::string SimLine::FaultyReply(const std::string& reply) {
  if (faults.errorAnswers > 0) {
    --faults.errorAnswers;
    return "E0";
  }
  if (faults.garbled) return std::string("\x7f#?\x01\xfe", 5);
  if (faults.overlong) return reply + std::string(60, '9');
  return reply;
}

void SimLine::Answer(const std::string& request, int64_t complete) {
  if (faults.silent) {
    model_.Handle(request, complete);
    return;
  }
  std::string reply = model_.Handle(request, complete);
  if (reply.empty() && request.find_first_not_of(' ') == std::string::npos) return;
  reply = FaultyReply(reply) + (faults.noLineEnd ? "" : "\r\n");
  int64_t at = std::max(complete + turnaroundMicros + faults.lateMicros, lineFreeAt_);
  for (char c : reply) {
    at += paced ? kByteMicros : 0;
    if (Gone(at)) break;
    out_.push_back(TimedByte{at, c});
  }
  lineFreeAt_ = at;
}

std::string SimLine::Take(size_t max, int64_t deadline, int64_t& lastAt) {
  std::string got;
  while (got.size() < max && !out_.empty() && out_.front().at <= deadline) {
    lastAt = out_.front().at;
    got += out_.front().byte;
    out_.pop_front();
  }
  return got;
}

void SimLine::DropArrived(int64_t now) {
  while (!out_.empty() && out_.front().at <= now) out_.pop_front();
}

}  // namespace plcsim
