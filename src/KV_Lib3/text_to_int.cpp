#include "KV_Lib3/text_to_int.h"

#include <cstdint>

namespace {
int DigitValue(char c, int base) {
  int v = -1;
  if (c >= '0' && c <= '9') v = c - '0';
  else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
  else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
  return v < base ? v : -1;
}
}  // namespace

int32_t TextToInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  // A digit that would overflow 32 bits does not belong to the number either.
  int64_t value = 0;
  const int64_t limit = negative ? int64_t{INT32_MAX} + 1 : INT32_MAX;
  for (; i < text.size(); ++i) {
    int d = DigitValue(text[i], base);
    if (d < 0 || value * base + d > limit) break;
    value = value * base + d;
  }
  return static_cast<int32_t>(negative ? -value : value);
}
