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

// Writes a newly reached position, and adds it to `trace`; 0 (no number in the reply)
// shows nothing.
void ShowArrival(const char* mark, std::string& trace) {
  if (CurCarPos == PrevCarPos || CurCarPos == 0) return;
  std::string arrival(1, CarPosLetter(CurCarPos));
  if (CurCarPos == 1 && PrevCarPos != PositionCount && PrevCarPos != kNoCarPos) {
    arrival += mark;
    ++CarPosErrors;
  }
  Write(arrival);
  trace += arrival;
  PrevCarPos = CurCarPos;
}

// The position the tracking starts from, and a blank.
std::string ShowStart(std::string& trace) {
  trace = std::string(1, CarPosLetter(PrevCarPos)) + ' ';
  Write(trace);
  return trace;
}

// The scaled wait must stay a valid 32-bit number however often it is scaled.
int32_t TimesTen(int32_t value) {
  int64_t scaled = int64_t{value} * 10;
  if (scaled > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (scaled < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(scaled);
}

}  // namespace

std::string TrackCarousel(int port, int32_t relay) {
  std::string trace;
  PrevCarPos = ReadPositionOnce(port);
  ShowStart(trace);
  for (;;) {
    WaitTenths(1);
    ShowStatus();
    const bool done = ReadRelay(port, relay) == "1";
    CurCarPos = ReadPositionOnce(port);
    if (CurCarPos == PrevCarPos && !done && !AskQuit()) continue;
    ShowArrival("<<<", trace);
    if (done || AskQuit()) return trace;
  }
}

std::string TrackUntilReady(int port) {
  return TrackCarousel(port, kReadyRelay);
}
std::string TrackUntilPlateReady(int port) {
  return TrackCarousel(port, kPlateReadyRelay);
}

std::string TrackRotation(int port) {
  std::string trace;
  WaitTime = TimesTen(WaitTime);
  PrevCarPos = static_cast<uint16_t>(ReadCarPos(port));
  ShowStart(trace);
  if (EscAbort) return trace;
  for (;;) {
    WaitTenths(1);
    CurCarPos = static_cast<uint16_t>(ReadCarPos(port));
    // Standing still: look at Ready and go round again, offering the quit prompt so a
    // Ready that never comes can't hold the screen; once Ready, the common end below
    // asks the prompt and reads Ready once more before stopping.
    if (CurCarPos == PrevCarPos && !EscAbort && ReadRelay(port, kReadyRelay) != "1") {
      if (AskQuit()) return trace;
      continue;
    }
    if (!EscAbort) ShowArrival("<", trace);
    if (AskQuit()) return trace;
    if (ReadRelay(port, kReadyRelay) == "1") return trace;
  }
}
