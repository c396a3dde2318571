#include "KV_Lib3/text_to_int.h"

#include <cstdint>

#include "base/number_scan.h"

// A digit that would overflow 32 bits does not belong to the number either.
int32_t TextToInt(std::string_view text) {
  size_t at = 0;
  while (at < text.size() && text[at] == ' ') ++at;
  const base::NumberScan scan =
      base::ScanNumber(text, at, true, INT32_MAX, uint64_t{INT32_MAX} + 1);
  const int64_t magnitude = static_cast<int64_t>(scan.magnitude);
  return static_cast<int32_t>(scan.negative ? -magnitude : magnitude);
}
