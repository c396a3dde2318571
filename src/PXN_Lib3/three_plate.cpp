#include "PXN_Lib3/three_plate.h"

#include "KV_Lib3/addresses.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/record.h"
#include "PXN_Lib3/status.h"

namespace {

const char* RelayName(int32_t relay) {
  switch (relay) {
    case kPickRelay:
      return "Pick";
    case kPlaceRelay:
      return "Place";
    case kUnloadRelay:
      return "Unload";
    case kLoadRelay:
      return "Load";
    default:
      return "";
  }
}

// One move of the cycle on p, and its row in the record once it was made.
void Move(int port, int32_t p, int32_t position, int32_t level, int32_t relay) {
  const MoveReplies r = MovePlate(port, position, level, relay);
  if (!r.made) return;
  RecordRow({std::to_string(RecordedRows() + 1), std::to_string(p), std::to_string(position),
             std::to_string(level), RelayName(relay), r.position, r.level, r.relay});
}

// The block at levels i, i+1, i+2 moves up by one: the middle plate goes on top, the
// lowest one into the middle.
void WalkUpOneLevel(int port, int32_t p, int32_t i) {
  Move(port, p, p, i + 1, kPickRelay);
  Move(port, p, p, i + 3, kPlaceRelay);
  Move(port, p, p, i, kPickRelay);
  Move(port, p, p, i + 1, kPlaceRelay);
}

// The block at the top of p, levels n-2 .. n, goes to levels 1 .. 3 of q.
void MoveBlockOver(int port, int32_t p, int32_t q, int32_t n) {
  if (Flag1703) {
    Move(port, p, p, n - 1, kPickRelay);
    Move(port, p, q, 3, kPlaceRelay);
  } else {
    Move(port, p, p, n - 1, kUnloadRelay);
  }
  Move(port, p, p, n - 2, kPickRelay);
  Move(port, p, q, 1, kPlaceRelay);
  Move(port, p, p, n, kPickRelay);
  Move(port, p, q, 2, kPlaceRelay);
  if (!Flag1703) Move(port, p, q, 3, kLoadRelay);
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
