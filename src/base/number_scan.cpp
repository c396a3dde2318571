#include "base/number_scan.h"

namespace base {
namespace {

int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}

}  // namespace

NumberScan ScanNumber(std::string_view text, size_t at, bool zeroX, uint64_t limit,
                      uint64_t negativeLimit) {
  NumberScan scan;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) scan.negative = text[at++] == '-';
  if (at < text.size() && text[at] == '$') {
    scan.base = 16;
    ++at;
  } else if (zeroX && at + 1 < text.size() && text[at] == '0' &&
             (text[at + 1] == 'x' || text[at + 1] == 'X')) {
    scan.base = 16;
    at += 2;
  }
  const uint64_t most = scan.negative ? negativeLimit : limit;
  scan.digitsAt = at;
  for (; at < text.size(); ++at) {
    const int d = DigitValue(text[at], scan.base);
    if (d < 0) break;
    const uint64_t next = scan.magnitude * static_cast<uint64_t>(scan.base) + static_cast<uint64_t>(d);
    if (next > most) {
      scan.tooLarge = true;
      break;
    }
    scan.magnitude = next;
  }
  scan.end = at;
  return scan;
}

}  // namespace base
