#include "plcsim/handler.h"

namespace plcsim {

namespace {
constexpr int64_t kLiftBaseMicros = 300000;
constexpr int64_t kLiftPerLevelMicros = 120000;
constexpr int64_t kShovelCycleMicros = 1000000;  // shovel in and out again
constexpr int64_t kStationMicros = 600000;       // travel to the transfer station
constexpr int64_t kGatePassMicros = 1000000;     // gate opening on the way out
constexpr int64_t kHomeMicros = 500000;

int64_t LiftTo(int level) {
  return kLiftBaseMicros + kLiftPerLevelMicros * level;
}
}  // namespace

bool IsMoveRelay(int relay) {
  return relay == kLoadRelay || relay == kUnloadRelay || relay == kPickRelay ||
         relay == kPlaceRelay;
}

MovePlan PlanMove(int relay, int position, int level) {
  MovePlan plan;
  Place slot = Place::At(position, level);
  int64_t fetch = 0, carry = 0;
  switch (relay) {
    case kLoadRelay:
      plan.from = Place::Station(), plan.to = slot;
      fetch = kStationMicros + kGatePassMicros + kShovelCycleMicros;
      carry = LiftTo(level) + kShovelCycleMicros;
      break;
    case kUnloadRelay:
      plan.from = slot, plan.to = Place::Station();
      fetch = LiftTo(level) + kShovelCycleMicros;
      carry = kStationMicros + kGatePassMicros + kShovelCycleMicros;
      break;
    case kPickRelay:
      plan.from = slot, plan.to = Place::Handler();
      fetch = LiftTo(level) + kShovelCycleMicros;
      break;
    default:
      plan.from = Place::Handler(), plan.to = slot;
      carry = LiftTo(level) + kShovelCycleMicros;
      break;
  }
  plan.deliverAfter = fetch + carry;
  plan.endAfter =
      plan.deliverAfter + kHomeMicros + (plan.to == Place::Station() ? 0 : LiftTo(level));
  return plan;
}

int PositionTestFigure(uint32_t access, int position, int level) {
  return static_cast<int>(6 +
                          (access * 37u + static_cast<uint32_t>(position * 11 + level * 5)) % 29u);
}

bool StoppedAtRandom(uint32_t seed, uint32_t move, int oneIn) {
  if (oneIn <= 0) return false;
  // A mix of seed and move number (splitmix64's finaliser): every move draws afresh,
  // without a generator's state to carry along.
  uint64_t z = (uint64_t{seed} << 32 | move) + 0x9E3779B97F4A7C15u;
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
  z ^= z >> 31;
  return z % static_cast<uint64_t>(oneIn) == 0;
}

}  // namespace plcsim
