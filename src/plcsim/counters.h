// The controller's operating counters. A figure above 16 bits is kept in a pair of words
// as high * 65535 + low, the form the statistics screen reads back.
#pragma once
#include "plcsim/addresses.h"
#include <cstdint>

namespace plcsim {

inline constexpr int64_t kBookingMicros = 60000000;  // time counters are booked each minute

// Error counters DM211 .. DM219.
enum class ErrorCounter {
  kSourceEmpty = 211,     // a move found no plate where it was to take one
  kTargetFull = 212,      // a move found a plate where it was to put one
  kBadAddress = 213,      // a move addressed a slot outside the store
  kPositionError = 214,   // the carousel reported a position out of sequence
  kLiftHit = 215,         // the lift ran onto its initialisation switch
  kMoveStopped = 216,     // a move that could be made stopped by a fault (at random)
  kServiceRefused = 217,  // shovel or turn commanded without the service code
  kRefusedInError = 218,  // a move commanded while an error stood
  kBadRequest = 219,      // a request answered with an error
};

void AddToPair(uint16_t& low, uint16_t& high, uint32_t n);
void SetPair(uint16_t& low, uint16_t& high, uint32_t value);

}  // namespace plcsim
