// The handler's moves: which place a move takes its plate from and puts it to, and how
// long its phases take. Levels count from the bottom; the lift travels from its home.
#pragma once
#include "plcsim/addresses.h"
#include <cstdint>

#include "plcsim/plates.h"

namespace plcsim {


bool IsMoveRelay(int relay);

struct MovePlan {
  Place from, to;
  int64_t deliverAfter = 0;  // the plate is at its destination (PlateReady)
  int64_t endAfter = 0;      // the handler is home again (Ready)
};

MovePlan PlanMove(int relay, int position, int level);

// A small figure the controller keeps after each access: how far the carousel stood off
// its index, in tenths of a millimetre. Varies from access to access.
int PositionTestFigure(uint32_t access, int position, int level);

// Whether the `move`th possible move is stopped at random, about one in `oneIn` (never
// for 0 or less), the same for the same seed.
bool StoppedAtRandom(uint32_t seed, uint32_t move, int oneIn);

}  // namespace plcsim
