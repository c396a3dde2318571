#include "plcsim/counters.h"

namespace plcsim {

void AddToPair(uint16_t& low, uint16_t& high, uint32_t n) {
  uint32_t sum = uint32_t{low} + n;
  high = static_cast<uint16_t>(high + sum / 65535);
  low = static_cast<uint16_t>(sum % 65535);
}

void SetPair(uint16_t& low, uint16_t& high, uint32_t value) {
  high = static_cast<uint16_t>(value / 65535);
  low = static_cast<uint16_t>(value % 65535);
}

}  // namespace plcsim
