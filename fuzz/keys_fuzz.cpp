// Whatever bytes a terminal sends, in whatever chunks, the key decoder must hand on
// only whole keys: every 0 is followed by a scan code the PC knows, and no LF or DEL
// reaches the program.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "console/terminal_keys.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  console::KeyDecoder decoder(data[0] & 1);
  std::string keys;
  // The first byte also sets the chunk length, so splits fall everywhere.
  const size_t chunk = (data[0] >> 1) % 8 + 1;
  for (size_t at = 1; at < size; at += chunk) {
    keys += decoder.Feed(bytes.substr(at, chunk));
    if (data[at] == 0x7E) keys += decoder.Expire();  // a pause now and then
  }
  keys += decoder.Expire();
  if (decoder.Pending() || keys.find_first_of("\n\x7f") != std::string::npos) __builtin_trap();
  const std::string_view scans = "\x0F;<=>?@ABCDGHIKMOPQRS\x85\x86";  // 0Fh, 3Bh-44h, 47h...
  for (size_t zero = keys.find('\0'); zero != keys.npos; zero = keys.find('\0', zero + 2))
    if (zero + 1 == keys.size() || scans.find(keys[zero + 1]) == scans.npos) __builtin_trap();
  return 0;
}
