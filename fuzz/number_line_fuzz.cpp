// A number typed at a prompt with any keys: ReadLineInteger reads the first line that is
// not blank, as the line editor made it, and takes it exactly when it holds one whole
// number that fits 32 bits (blanks before it, a sign, "$" for hexadecimal up to
// $FFFFFFFF, which is -1; whatever follows a blank dropped). The keys after that line
// stay for the next read.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "console/console.h"
#include "virtual_console.h"

namespace {

// The line the editor makes of the keys from `at` on, which it leaves after the Enter:
// Backspace takes back a character, Esc the whole line, 0 and the key after it are an
// extended key, other control keys are dropped, and 255 characters are kept at most.
std::string EditedLine(std::string_view keys, size_t& at) {
  std::string line;
  while (at < keys.size()) {
    const auto key = static_cast<uint8_t>(keys[at++]);
    if (key == 13) break;
    if (key == 8) {
      if (!line.empty()) line.pop_back();
    } else if (key == 27) {
      line.clear();
    } else if (key == 0) {
      ++at;
    } else if (key >= 32 && line.size() < 255) {
      line += static_cast<char>(key);
    }
  }
  return line;
}

bool IsDigit(char c, int base) {
  if (c >= '0' && c <= '9') return true;
  return base == 16 && ((c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'));
}

// Whether `line` (not blank) holds a number that fits, and its value.
bool Expected(const std::string& line, int32_t& value) {
  size_t i = line.find_first_not_of(' ');
  bool negative = false;
  if (line[i] == '+' || line[i] == '-') negative = line[i++] == '-';
  int base = 10;
  if (i < line.size() && line[i] == '$') {
    base = 16;
    ++i;
  }
  size_t end = i;
  while (end < line.size() && IsDigit(line[end], base)) ++end;
  if (end == i || (end < line.size() && line[end] != ' ')) return false;
  while (end - i > 1 && line[i] == '0') ++i;
  if (end - i > 10) return false;  // more than 32 bits in either base
  uint64_t magnitude = 0;
  std::from_chars(line.data() + i, line.data() + end, magnitude, base);
  if (magnitude > UINT32_MAX) return false;
  int64_t number = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
  if (base == 16 && number > INT32_MAX) number -= int64_t{1} << 32;
  if (number < INT32_MIN || number > INT32_MAX) return false;
  value = static_cast<int32_t>(number);
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Whatever the input leaves open, a line of its own and then "7" end it.
  const std::string keys = std::string(reinterpret_cast<const char*>(data), size) + "\r7\r";
  size_t at = 0;
  std::string line;
  do line = EditedLine(keys, at);
  while (line.find_first_not_of(' ') == std::string::npos);
  int32_t expected = 0;
  const bool fits = Expected(line, expected);

  VirtualConsole console(keys);
  int32_t value = 12345;
  const bool read = ReadLineInteger(value);
  if (read != fits) __builtin_trap();
  if (read ? value != expected : value != 12345) __builtin_trap();
  if (console.backend.Pending() != keys.size() - at) __builtin_trap();
  return 0;
}
