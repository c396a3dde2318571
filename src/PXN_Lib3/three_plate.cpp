#include "PXN_Lib3/three_plate.h"

#include "KV_Lib3/addresses.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"

namespace {

// The block at levels i, i+1, i+2 moves up by one: the middle plate goes on top, the
// lowest one into the middle.
void WalkUpOneLevel(int port, int32_t p, int32_t i) {
  MovePlate(port, p, i + 1, kPickRelay);
  MovePlate(port, p, i + 3, kPlaceRelay);
  MovePlate(port, p, i, kPickRelay);
  MovePlate(port, p, i + 1, kPlaceRelay);
}

// The block at the top of p, levels n-2 .. n, goes to levels 1 .. 3 of q.
void MoveBlockOver(int port, int32_t p, int32_t q, int32_t n) {
  if (Flag1703) {
    MovePlate(port, p, n - 1, kPickRelay);
    MovePlate(port, q, 3, kPlaceRelay);
  } else {
    MovePlate(port, p, n - 1, kUnloadRelay);
  }
  MovePlate(port, p, n - 2, kPickRelay);
  MovePlate(port, q, 1, kPlaceRelay);
  MovePlate(port, p, n, kPickRelay);
  MovePlate(port, q, 2, kPlaceRelay);
  if (!Flag1703) MovePlate(port, q, 3, kLoadRelay);
}

}  // namespace

void ThreePlateCycle(int port, int32_t p, int32_t n, int32_t m) {
  // A shorter stack has no level to walk into: the first pass would address level 4.
  if (n < kThreePlateMinLevels) return;
  const int32_t q = p < m ? p + 1 : 1;
  int32_t i = 1;
  do {
    WalkUpOneLevel(port, p, i);
    ++i;
  } while (i <= n - 3 && !AskQuit());
  if (AskQuit()) return;
  MoveBlockOver(port, p, q, n);
}
