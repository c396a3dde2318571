// Following the carousel while it turns: the letters of the positions it reaches, and
// a mark where it arrives at position 1 from anywhere but the last position.
#include <cstdint>
#include <limits>
#include <string>

#include "KV_Lib3/commands.h"
#include "KV_Lib3/text_to_int.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "comLib3/keyboard.h"
#include "console/console.h"

namespace {

uint16_t ReadPositionOnce(int port) {
  return static_cast<uint16_t>(TextToInt(ReadDM(port, kCarouselPositionDM)));
}

// Writes a newly reached position; 0 (no number in the reply) shows nothing.
void ShowArrival(const char* mark) {
  if (CurCarPos == PrevCarPos || CurCarPos == 0) return;
  Write(CarPosLetter(CurCarPos));
  if (CurCarPos == 1 && PrevCarPos != PositionCount && PrevCarPos != kNoCarPos) {
    Write(mark);
    ++CarPosErrors;
  }
  PrevCarPos = CurCarPos;
}

// The scaled wait must stay a valid 32-bit number however often it is scaled.
int32_t TimesTen(int32_t value) {
  int64_t scaled = int64_t{value} * 10;
  if (scaled > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (scaled < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(scaled);
}

}  // namespace

void TrackCarousel(int port, int32_t relay) {
  PrevCarPos = ReadPositionOnce(port);
  Write(CarPosLetter(PrevCarPos));
  Write(' ');
  for (;;) {
    WaitTenths(1);
    ShowStatus();
    const bool done = ReadRelay(port, relay) == "1";
    CurCarPos = ReadPositionOnce(port);
    if (CurCarPos == PrevCarPos && !done && !AskQuit()) continue;
    ShowArrival("<<<");
    if (done || AskQuit()) return;
  }
}

void TrackUntilReady(int port) {
  TrackCarousel(port, kReadyRelay);
}
void TrackUntilPlateReady(int port) {
  TrackCarousel(port, kPlateReadyRelay);
}

void TrackRotation(int port) {
  WaitTime = TimesTen(WaitTime);
  PrevCarPos = static_cast<uint16_t>(ReadCarPos(port));
  Write(CarPosLetter(PrevCarPos));
  Write(' ');
  if (EscAbort) return;
  for (;;) {
    WaitTenths(1);
    CurCarPos = static_cast<uint16_t>(ReadCarPos(port));
    // Standing still: look at Ready and go round again, offering the quit prompt so a
    // Ready that never comes can't hold the screen; once Ready, the common end below
    // asks the prompt and reads Ready once more before stopping.
    if (CurCarPos == PrevCarPos && !EscAbort && ReadRelay(port, kReadyRelay) != "1") {
      if (AskQuit()) return;
      continue;
    }
    if (!EscAbort) ShowArrival("<");
    if (AskQuit()) return;
    if (ReadRelay(port, kReadyRelay) == "1") return;
  }
}
