#include "PXN_Lib3/device_ops.h"

#include <string>

#include "KV_Lib3/commands.h"
#include "KV_Lib3/exchange.h"
#include "KV_Lib3/text_to_int.h"
#include "PXN_Lib3/status.h"
#include "base/clock.h"
#include "comLib3/keyboard.h"
#include "console/console.h"

uint16_t PrevCarPos = kNoCarPos;
uint16_t CurCarPos = 0;
int32_t CarPosErrors = 0;
int32_t WaitTime = 0;

char CarPosLetter(uint16_t position) {
  return static_cast<char>(static_cast<uint8_t>(position + 64));
}

int DecimalDigits(int32_t n) {
  int digits = 1;
  for (; n >= 10; n /= 10) ++digits;
  return digits;
}

HandlerMove BringInMove(bool transferStation) {
  return transferStation ? HandlerMove{kLoadRelay, "\xB3Load"} : HandlerMove{kPlaceRelay, "\xB3Plce"};
}

HandlerMove TakeOutMove(bool transferStation) {
  return transferStation ? HandlerMove{kUnloadRelay, "\xB3UnLd"} : HandlerMove{kPickRelay, "\xB3Pick"};
}

// A carousel that is just passing between positions may report 0 once; one more
// reading a little later settles it.
int32_t ReadCarPos(int port) {
  int32_t position = TextToInt(ReadDM(port, kCarouselPositionDM));
  if (position != 0) return position;
  WaitTenths(2);
  return TextToInt(ReadDM(port, kCarouselPositionDM));
}

// Each cycle costs three controller exchanges (two for the status bar), which paces
// the loop on the faithful link; with Esc up the exchanges are skipped and AskQuit blocks
// on its prompt.
void WaitReady(int port) {
  for (;;) {
    const int64_t round = base::TheClock().NowMicros();
    ShowStatus();
    if (RelayIsOn(port, kReadyRelay)) return;
    if (AskQuit()) return;
    if (FastLink) base::TheClock().SleepUntil(round + kFastLinkReadyRoundMicros);
  }
}

void RotateTo(int port, int32_t position) {
  if (AskQuit()) return;
  WriteDM(port, kTargetPositionDM, static_cast<uint16_t>(position));
}

MoveReplies MovePlate(int port, int32_t position, int32_t level, int32_t relay) {
  MoveReplies replies;
  if (EscAbort || AskQuit()) return replies;
  replies.made = true;
  Write("  ");
  WaitReady(port);
  replies.position = WriteDM(port, kTargetPositionDM, static_cast<uint16_t>(position));
  Write(replies.position + " ");
  replies.level = WriteDM(port, kTargetLevelDM, static_cast<uint16_t>(level));
  Write(replies.level + " ");
  replies.relay = SetRelay(port, relay);
  Write(replies.relay + " ");
  WaitReady(port);
  return replies;
}

void ResetDeviceOps() {
  PrevCarPos = kNoCarPos;
  CurCarPos = 0;
  CarPosErrors = 0;
  WaitTime = 0;
}
