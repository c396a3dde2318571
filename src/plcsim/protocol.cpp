#include "plcsim/protocol.h"

namespace plcsim {

namespace {

constexpr long kMaxTimer = 999;
constexpr long kMaxWord = 65535;

std::string_view Trim(std::string_view text) {
  size_t b = text.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  size_t e = text.find_last_not_of(' ');
  return text.substr(b, e - b + 1);
}

bool StartsWith(std::string_view text, std::string_view head) {
  return text.substr(0, head.size()) == head;
}

// An unsigned decimal number that fills `text` exactly, at most `max`.
bool ParseNumber(std::string_view text, long max, long& value) {
  text = Trim(text);
  if (text.empty() || text.size() > 6) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  return value <= max;
}

std::string ParseNumbered(std::string_view text, RequestKind kind, Request& request) {
  long n = 0;
  bool ok = kind == RequestKind::kReadTimer ? ParseNumber(text, kMaxTimer, n)
            : kind == RequestKind::kReadDm  ? ParseNumber(text, kMaxWord, n)
                                            : ParseNumber(text, 9999, n) && ValidRelay(n);
  if (!ok) return kBadNumber;
  request.kind = kind;
  request.number = static_cast<int>(n);
  return "";
}

std::string ParseWrite(std::string_view args, Request& request) {
  args = Trim(args);
  size_t blank = args.find(' ');
  long address = 0, value = 0;
  if (blank == std::string_view::npos || !ParseNumber(args.substr(0, blank), kMaxWord, address) ||
      !ParseNumber(args.substr(blank), kMaxWord, value))
    return kBadNumber;
  request.kind = RequestKind::kWriteDm;
  request.number = static_cast<int>(address);
  request.value = static_cast<uint16_t>(value);
  return "";
}

}  // namespace

bool ValidRelay(long n) {
  return n >= 0 && n <= 9915 && n % 100 <= 15;
}

std::string ParseRequest(std::string_view raw, Request& request) {
  request = Request{};
  if (raw.size() > kMaxRequestLength) return kLineTooLong;
  std::string_view line = Trim(raw);
  if (line.empty()) return "";
  if (line == "CR") return request.kind = RequestKind::kOpen, "";
  if (line == "CQ") return request.kind = RequestKind::kClose, "";
  if (StartsWith(line, "ST ")) return ParseNumbered(line.substr(3), RequestKind::kSet, request);
  if (StartsWith(line, "RS ")) return ParseNumbered(line.substr(3), RequestKind::kReset, request);
  if (StartsWith(line, "WR DM")) return ParseWrite(line.substr(5), request);
  if (StartsWith(line, "RD DM"))
    return ParseNumbered(line.substr(5), RequestKind::kReadDm, request);
  if (StartsWith(line, "RD T"))
    return ParseNumbered(line.substr(4), RequestKind::kReadTimer, request);
  if (StartsWith(line, "RD "))
    return ParseNumbered(line.substr(3), RequestKind::kReadRelay, request);
  return kUnknownCommand;
}

}  // namespace plcsim
