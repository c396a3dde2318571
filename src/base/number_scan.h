// Reading the number a text starts with, digit by digit: the one scanner behind both
// number rules of the program, the lenient one for controller replies (TextToInt) and
// the strict one for numbers typed at a prompt (ReadLineInteger).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace base {

struct NumberScan {
  bool negative = false;
  int base = 10;
  uint64_t magnitude = 0;
  size_t digitsAt = 0;    // where the digits began
  size_t end = 0;         // the first character after the number
  bool tooLarge = false;  // stopped at a digit that would pass the limit
};

// From `at`: an optional sign, then "$" (and, with `zeroX`, "0x" or "0X") for hexadecimal,
// then the digits of that base. Stops at the first character that is no such digit, or
// at one that would take the magnitude past `limit`, or `negativeLimit` after a "-".
NumberScan ScanNumber(std::string_view text, size_t at, bool zeroX, uint64_t limit,
                      uint64_t negativeLimit);

}  // namespace base
