// Any bytes on the line, in any chunks and at any pace: the simulated controller answers
// every request line with exactly one reply of the form the protocol gives that request,
// ended by its CR LF, in order, and stays silent on a blank line only.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "plcsim/line.h"
#include "plcsim/model.h"
#include "plcsim/protocol.h"

namespace {

bool StartsWith(std::string_view text, std::string_view head) {
  return text.substr(0, head.size()) == head;
}

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// A data word as the controller writes it: decimal, no leading zero, 0 to 65535.
bool IsWord(std::string_view reply) {
  return AllDigits(reply) && reply.size() <= 5 && (reply.size() == 1 || reply[0] != '0') &&
         std::stol(std::string(reply)) <= 65535;
}

// Whether `reply` is an answer the controller may give to `request` (without its CR).
bool Fits(std::string_view request, std::string_view reply) {
  if (request.size() > plcsim::kMaxRequestLength) return reply == plcsim::kLineTooLong;
  const size_t first = request.find_first_not_of(' ');
  const size_t last = request.find_last_not_of(' ');
  const std::string_view line = request.substr(first, last - first + 1);
  if (line == "CR") return reply == "CC";
  if (line == "CQ") return reply == "CF";
  const bool numbered = StartsWith(line, "ST ") || StartsWith(line, "RS ") ||
                        StartsWith(line, "WR DM") || StartsWith(line, "RD ");
  if (!numbered) return reply == plcsim::kUnknownCommand;
  if (reply == plcsim::kBadNumber) return true;
  if (StartsWith(line, "RD DM")) return IsWord(reply);
  if (StartsWith(line, "RD T")) return reply == "0,00000,00000" || reply == "1,00000,00000";
  if (StartsWith(line, "RD ")) return reply == "0" || reply == "1";
  return reply == "OK";
}

bool Blank(std::string_view request) {
  return request.find_first_not_of(' ') == std::string_view::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  plcsim::PlcModel model;
  plcsim::SimLine line(model);
  line.keepWire = false;
  int64_t now = 0;
  std::string received;
  for (size_t at = 0; at < size;) {
    size_t n = 1 + data[at] % 16;
    std::string bytes(reinterpret_cast<const char*>(data + at), n <= size - at ? n : size - at);
    at += bytes.size();
    line.Receive(bytes, now);
    now += 1000 + (bytes[0] & 0x3F) * 20000;  // up to 1.3 s between writes
    int64_t last = 0;
    received += line.Take(4096, now, last);
  }
  int64_t last = 0;
  received += line.Take(1 << 20, now + 60 * 1000000, last);

  // The requests as the controller framed them, each answered in turn.
  size_t at = 0;
  for (const std::string& request : model.Requests()) {
    if (Blank(request) && request.size() <= plcsim::kMaxRequestLength) continue;
    const size_t end = received.find("\r\n", at);
    if (end == std::string::npos) __builtin_trap();  // a reply missing or without its line end
    const std::string_view reply = std::string_view(received).substr(at, end - at);
    if (!Fits(request, reply)) __builtin_trap();
    at = end + 2;
  }
  if (at != received.size()) __builtin_trap();  // bytes that answer nothing
  return 0;
}
