// The rule for reading a number out of a controller's reply or a command (numbers typed
// at a prompt follow the console's stricter one, ReadLineInteger; both scan with
// base/number_scan.h): leading blanks skipped, optional sign, "$" or "0x" for hexadecimal,
// conversion stops at the first character that does not belong and keeps the value
// so far; an empty or letter-first text gives 0.
#pragma once
#include <cstdint>
#include <string_view>

int32_t TextToInt(std::string_view text);
