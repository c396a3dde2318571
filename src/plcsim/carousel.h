// The carousel's turn: a start-up, one step for every position passed and a settling
// time. What DM1 reads is computed from the time, so nothing has to tick while it turns.
#pragma once
#include <cstdint>

namespace plcsim {

inline constexpr int64_t kTurnStartMicros = 200000;  // drive start-up
// One position passed: slower than the console reads DM1 while it follows a turn, as a
// real carousel is. The slowest of its loops reads DM1 every 320 ms (a 100 ms pause, then
// the status bar's two reads, the relay and DM1, each waiting out its 55 ms read window),
// so it sees every position passed, with room for a late read.
inline constexpr int64_t kTurnStepMicros = 450000;
inline constexpr int64_t kTurnSettleMicros = 100000;  // braking and locking
inline constexpr int64_t kGlitchMicros = 600000;      // encoder resynchronising after a glitch

struct Rotation {
  bool turning = false;
  int64_t start = 0;
  int from = 1;  // position when the turn began
  int target = 1;
  int steps = 0;
  int positions = 9;
  int64_t stepMicros = kTurnStepMicros;
  bool glitch = false;  // encoder fault: the first position passed reads as 1
};

// Forward steps from `from` to `to` on a carousel of `positions`: 0 .. positions - 1.
// A `from` outside 1 .. positions counts as the last position.
int StepsBetween(int from, int to, int positions);
// The position `steps` steps forward of `from`, wrapping from the last to 1.
int PositionAfter(int from, int steps, int positions);

// A turn to `target` that starts at `now`, passing a position every `stepMicros`. With
// the wrong-position fault a turn of two or more steps that doesn't start at the last
// position reports 1 for its first step.
Rotation PlanRotation(int from, int target, int positions, int64_t stepMicros, int64_t now,
                      bool wrongPositionFault);
int64_t RotationEnd(const Rotation& rotation);
// Steps completed by `now`, 0 .. steps.
int StepsDone(const Rotation& rotation, int64_t now);
// What DM1 reads at `now` while the carousel turns.
int ReportedPosition(const Rotation& rotation, int64_t now);
// What DM2 reads at `now`: the drive speed, ramping up to `setSpeed` and down again.
uint16_t DriveSpeed(const Rotation& rotation, int64_t now, uint16_t setSpeed);

}  // namespace plcsim
