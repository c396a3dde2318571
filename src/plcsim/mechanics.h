// Gate, lift, shovel and turn: timings and the two-position drives of shovel and turn.
#pragma once
#include "plcsim/addresses.h"
#include <cstdint>

namespace plcsim {


inline constexpr int64_t kGateMicros = 1000000;      // gate opening or closing
inline constexpr int64_t kGateCheckMicros = 200000;  // gate already where it was sent
inline constexpr int64_t kEndAccessMicros = 300000;  // end of access with the gate shut
inline constexpr int64_t kResetMicros = 500000;      // system reset: homing and checks
inline constexpr int64_t kArmTravelMicros = 600000;  // shovel or turn from end to end
inline constexpr int64_t kArmSettleMicros = 200000;  // until its end-position timer runs out
inline constexpr int kLiftTop = 3000;                // highest lift target; above is clamped

// Time for the lift to travel between two targets.
int64_t LiftMicros(int from, int to);

// A shovel or turn drive: it reports an end position once it has settled there.
struct Arm {
  bool out = false;  // shovel front, turn out
  bool moving = false;
  int64_t settleAt = 0;  // when the end-position timer runs out
};

// Sends the arm towards `out` at `now`; returns the time its end-position timer runs out.
int64_t SendArm(Arm& arm, bool out, int64_t now);
// Whether the arm has settled at the given end by `now`.
bool ArmSettled(const Arm& arm, bool out, int64_t now);

}  // namespace plcsim
