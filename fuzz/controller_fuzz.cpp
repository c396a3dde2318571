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

// A data word as the controller writes it: decimal, no leading zero, 0 to 65535.
static bool IsWord(std::string_view reply) {
  return !reply.empty() && reply.size() <= 5 &&
         reply.find_first_not_of("0123456789") == std::string_view::npos &&
         (reply.size() == 1 || reply[0] != '0') && std::stol(std::string(reply)) <= 65535;
}

// Whether `reply` is an answer the controller may give to `request` (without its CR).
static bool Fits(std::string_view request, std::string_view reply) {
  if (request.size() > plcsim::kMaxRequestLength) return reply == plcsim::kLineTooLong;
  const size_t first = request.find_first_not_of(' ');
  const std::string_view line = request.substr(first, request.find_last_not_of(' ') - first + 1);
  if (line == "CR") return reply == "CC";
  if (line == "CQ") return reply == "CF";
  if (!line.starts_with("ST ") && !line.starts_with("RS ") && !line.starts_with("WR DM") &&
      !line.starts_with("RD "))
    return reply == plcsim::kUnknownCommand;
  if (reply == plcsim::kBadNumber) return true;
  if (line.starts_with("RD DM")) return IsWord(reply);
  if (line.starts_with("RD T")) return reply == "0,00000,00000" || reply == "1,00000,00000";
  if (line.starts_with("RD ")) return reply == "0" || reply == "1";
  return reply == "OK";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  plcsim::PlcModel model;
  plcsim::SimLine line(model);
  line.keepWire = false;
  int64_t now = 0, last = 0;
  std::string received;
  // Each chunk's first byte sets its length and the pause after it, up to 1.3 s.
  for (size_t at = 0; at < size; at += 1 + data[at] % 16) {
    line.Receive(bytes.substr(at, 1 + data[at] % 16), now);
    now += 1000 + (data[at] & 0x3F) * 20000;
    received += line.Take(4096, now, last);
  }
  received += line.Take(1 << 20, now + 60 * 1000000, last);

  // The requests as the controller framed them, each answered in turn; a blank one is not.
  size_t at = 0;
  for (const std::string& request : model.Requests()) {
    if (request.find_first_not_of(' ') == std::string::npos &&
        request.size() <= plcsim::kMaxRequestLength)
      continue;
    const size_t end = received.find("\r\n", at);
    if (end == std::string::npos || !Fits(request, std::string_view(received).substr(at, end - at)))
      __builtin_trap();  // a reply missing, without its line end or not of its form
    at = end + 2;
  }
  if (at != received.size()) __builtin_trap();  // bytes that answer nothing
  return 0;
}
