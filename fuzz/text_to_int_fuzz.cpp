// The text-to-integer rule on any text: it agrees with a reading of its own kind (the
// longest run of digits that fits, read whole), and every 32-bit number written in
// decimal, or in hexadecimal after "$" or "0x", reads back as itself whatever follows it.
#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "KV_Lib3/text_to_int.h"

namespace {

bool IsDigit(char c, int base) {
  if (c >= '0' && c <= '9') return true;
  return base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

// Blanks, a sign, "$" or "0x", then the longest beginning of the digits whose value
// stays within 32 bits (2^31 for a negative number).
int64_t Reference(std::string_view text) {
  size_t i = text.find_first_not_of(' ');
  if (i == std::string_view::npos) return 0;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  int base = 10;
  if (text.substr(i, 1) == "$") {
    base = 16;
    i += 1;
  } else if (text.substr(i, 2) == "0x" || text.substr(i, 2) == "0X") {
    base = 16;
    i += 2;
  }
  size_t end = i;
  while (end < text.size() && IsDigit(text[end], base)) ++end;
  while (i < end && text[i] == '0') ++i;  // leading zeros change nothing
  const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
  // Longer beginnings are larger: take the longest that fits.
  for (size_t length = std::min<size_t>(end - i, 12); length > 0; --length) {
    uint64_t value = 0;
    std::from_chars(text.data() + i, text.data() + i + length, value, base);
    if (value <= limit)
      return negative ? -static_cast<int64_t>(value) : static_cast<int64_t>(value);
  }
  return 0;
}

std::string Hex(uint32_t value) {
  char digits[16];
  auto result = std::to_chars(digits, digits + sizeof digits, value, 16);
  return std::string(digits, result.ptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (TextToInt(text) != Reference(text)) __builtin_trap();

  // A number from the first four bytes, followed by the rest of the input where that
  // cannot be taken for another digit (nor turn a 0 into "0x").
  if (size < 4) return 0;
  const int32_t number = static_cast<int32_t>(uint32_t{data[0]} | uint32_t{data[1]} << 8 |
                                              uint32_t{data[2]} << 16 | uint32_t{data[3]} << 24);
  std::string_view rest = text.substr(4);
  if (!rest.empty() && (IsDigit(rest[0], 16) || rest[0] == 'x' || rest[0] == 'X')) rest = {};
  const std::string tail(rest);
  if (TextToInt(std::to_string(number) + tail) != number) __builtin_trap();
  if (TextToInt("  " + std::to_string(number) + tail) != number) __builtin_trap();
  const uint32_t magnitude =
      number < 0 ? 0u - static_cast<uint32_t>(number) : static_cast<uint32_t>(number);
  const std::string sign = number < 0 ? "-" : "";
  if (TextToInt(sign + "$" + Hex(magnitude) + tail) != number) __builtin_trap();
  if (TextToInt(sign + "0x" + Hex(magnitude) + tail) != number) __builtin_trap();
  return 0;
}
