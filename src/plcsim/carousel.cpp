#include "plcsim/carousel.h"

namespace plcsim {

namespace {

int Normalised(int position, int positions) {
  return position >= 1 && position <= positions ? position : positions;
}

int64_t StepAt(const Rotation& r, int step) {
  int64_t at = r.start + kTurnStartMicros + step * r.stepMicros;
  return r.glitch && step >= 2 ? at + kGlitchMicros : at;
}

}  // namespace

int StepsBetween(int from, int to, int positions) {
  if (positions < 1) return 0;
  int steps = (to - Normalised(from, positions)) % positions;
  return steps < 0 ? steps + positions : steps;
}

int PositionAfter(int from, int steps, int positions) {
  if (positions < 1) return from;
  return (Normalised(from, positions) - 1 + steps) % positions + 1;
}

Rotation PlanRotation(int from, int target, int positions, int64_t stepMicros, int64_t now,
                      bool wrongPositionFault) {
  Rotation r;
  r.turning = true;
  r.start = now;
  r.from = Normalised(from, positions);
  r.target = target;
  r.steps = StepsBetween(from, target, positions);
  r.positions = positions;
  r.stepMicros = stepMicros;
  r.glitch = wrongPositionFault && r.steps >= 2 && r.from != positions;
  return r;
}

int64_t RotationEnd(const Rotation& r) {
  if (r.steps == 0) return r.start + kTurnStartMicros + kTurnSettleMicros;
  return StepAt(r, r.steps) + kTurnSettleMicros;
}

int StepsDone(const Rotation& r, int64_t now) {
  int done = 0;
  while (done < r.steps && StepAt(r, done + 1) <= now) ++done;
  return done;
}

int ReportedPosition(const Rotation& r, int64_t now) {
  int done = StepsDone(r, now);
  if (r.glitch && done == 1) return 1;
  return PositionAfter(r.from, done, r.positions);
}

uint16_t DriveSpeed(const Rotation& r, int64_t now, uint16_t setSpeed) {
  if (!r.turning || now >= RotationEnd(r)) return 0;
  int64_t elapsed = now - r.start;
  if (elapsed < kTurnStartMicros)
    return static_cast<uint16_t>(setSpeed * elapsed / kTurnStartMicros);
  if (r.steps == 0 || StepsDone(r, now) == r.steps) return static_cast<uint16_t>(setSpeed / 4);
  return setSpeed;
}

}  // namespace plcsim
