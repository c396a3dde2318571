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
      plan.from = Place::Station(), plan.to = slot, plan.gateCycle = true;
      fetch = kStationMicros + kGatePassMicros + kShovelCycleMicros;
      carry = LiftTo(level) + kShovelCycleMicros;
      break;
    case kUnloadRelay:
      plan.from = slot, plan.to = Place::Station(), plan.gateCycle = true;
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

}  // namespace plcsim
