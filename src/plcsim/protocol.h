// The controller's request lines: parsing one line into a request, or into the error
// answer the controller gives for it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace plcsim {

// Error answers: an unknown command, a number that is malformed or out of range, and a
// line longer than the controller's input buffer.
inline constexpr char kUnknownCommand[] = "E0";
inline constexpr char kBadNumber[] = "E1";
inline constexpr char kLineTooLong[] = "E2";
inline constexpr size_t kMaxRequestLength = 64;

enum class RequestKind {
  kBlank,
  kOpen,
  kClose,
  kSet,
  kReset,
  kReadRelay,
  kReadTimer,
  kReadDm,
  kWriteDm
};

struct Request {
  RequestKind kind = RequestKind::kBlank;
  int number = 0;      // relay, timer or data-word address
  uint16_t value = 0;  // value of a data-word write
};

// Relays are numbered channel * 100 + bit, with bits 0 to 15 and channels 0 to 99.
bool ValidRelay(long n);

// Parses `line` (without its CR). Returns an empty string and fills `request`, or returns
// the error answer for a line the controller refuses.
std::string ParseRequest(std::string_view line, Request& request);

}  // namespace plcsim
