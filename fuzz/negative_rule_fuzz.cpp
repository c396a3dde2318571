// The negative-number rule on any command: without a "-" the command goes as it is;
// with one, everything from the first "-" on becomes the number after it negated in 16
// bits, written as 0 to 65535 without leading zeros, so no "-" is left to send.
#include <cstddef>
#include <cstdint>
#include <string>

#include "KV_Lib3/exchange.h"
#include "KV_Lib3/text_to_int.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string command(reinterpret_cast<const char*>(data), size);
  const std::string sent = ApplyNegativeRule(command);
  const size_t minus = command.find('-');
  if (minus == std::string::npos) {
    if (sent != command) __builtin_trap();
    return 0;
  }
  if (sent.compare(0, minus, command, 0, minus) != 0) __builtin_trap();
  const std::string number = sent.substr(minus);
  if (number.empty() || number.size() > 5 ||
      number.find_first_not_of("0123456789") != std::string::npos ||
      (number.size() > 1 && number[0] == '0'))
    __builtin_trap();
  const long value = std::stol(number);
  if (value > 65535) __builtin_trap();
  const auto read = static_cast<uint32_t>(TextToInt(std::string_view(command).substr(minus + 1)));
  if (((static_cast<uint32_t>(value) + read) & 0xFFFF) != 0) __builtin_trap();
  if (ApplyNegativeRule(sent) != sent) __builtin_trap();
  return 0;
}
