// Any bytes on the line: the simulated controller answers, or stays silent on an empty
// line, and never falls over; every answer ends with its line end.
#include <cstddef>
#include <cstdint>
#include <string>

#include "plcsim/line.h"
#include "plcsim/model.h"

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
  received += [&] {
    int64_t last = 0;
    return line.Take(1 << 20, now + 60 * 1000000, last);
  }();
  if (!received.empty() && received.substr(received.size() - 2) != "\r\n") __builtin_trap();
  return 0;
}
