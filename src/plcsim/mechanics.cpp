#include "plcsim/mechanics.h"

#include <cstdlib>

namespace plcsim {

int64_t LiftMicros(int from, int to) {
  return 300000 + int64_t{500} * std::abs(to - from);
}

int64_t SendArm(Arm& arm, bool out, int64_t now) {
  if (arm.out == out && !arm.moving) return arm.settleAt;
  arm.out = out;
  arm.moving = true;
  arm.settleAt = now + kArmTravelMicros + kArmSettleMicros;
  return arm.settleAt;
}

bool ArmSettled(const Arm& arm, bool out, int64_t now) {
  return arm.out == out && now >= arm.settleAt;
}

}  // namespace plcsim
