// Component tests 2 and 4 to 7: one mechanism of the handler at a time, cycle after
// cycle, with the cycle number and every controller reply on the screen.
#include <algorithm>
#include <cstdint>
#include <string>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/entry.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/layout.h"
#include "PXN_Lib3/status.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

namespace {

constexpr int kPlateCycles = 10;

std::string CycleNumber(int32_t c) {
  return NumText(c, 6);
}

// WaitTenths with `seconds` x 10: steps of 100 ms, at least one. The mechanism relies on
// the whole pause, so keys are not looked at meanwhile: an Esc typed now is answered by
// the Ready wait or the quit prompt after it. Only an Esc already up (a timer wait ended
// by it) cuts the pause after its first step. The count is 64-bit: no entry wraps round.
void PauseSeconds(int32_t seconds) {
  const int64_t steps = std::max<int64_t>(int64_t{seconds} * 10, 1);
  for (int64_t step = 0; step < steps; ++step) {
    Delay(100);
    if (EscAbort) return;
  }
}

// Shovel and turn: the controller drives them by hand only with the service code in
// its service word, which the menu sets back to 0 afterwards.
void ArmTest(int32_t relay, int32_t timerBeforeSet, int32_t timerBeforeReset) {
  NewLine();
  const int32_t delay = AskNumber("Enter Delay [s]    ");
  WriteDM(PortNo, kServiceWordDM, kServiceCode);
  int32_t c = 0;
  do {
    ++c;
    WaitTimer(PortNo, timerBeforeSet);
    std::string reply = SetRelay(PortNo, relay);
    Write(CycleNumber(c) + " " + reply);
    PauseSeconds(delay);
    WaitTimer(PortNo, timerBeforeReset);
    reply = ResetRelay(PortNo, relay);
    Write(" " + reply);
    NewLine();
    PauseSeconds(delay);
    AskQuit();
  } while (!QuitConfirmed);
  ClearKeys();
  ResetRelay(PortNo, relay);
}

}  // namespace

// Ten gate-close / end-access pairs, each after Ready, timed as a whole.
void PlateMovementTest() {
  WaitReady(PortNo);
  StartStopwatch(WatchStart, WatchLap);
  for (int i = 0; i < kPlateCycles; ++i) {
    SetRelay(PortNo, kGateCloseRelay);
    WaitReady(PortNo);
    SetRelay(PortNo, kEndAccessRelay);
    WaitReady(PortNo);
  }
  const int32_t took = Elapsed(WatchStart, WatchLap);
  Write("Total Time " + SecondsText(took, 8) + " s ");
  LastKey = static_cast<char>(ReadKeyPress());
}

// Up to the entered path and back to 0, until quit or until the lift stands on its
// initialisation switch.
void LiftMovementTest() {
  NewLine();
  const auto path = static_cast<uint16_t>(AskNumber("Enter Path [h<65535] "));
  int32_t c = 0;
  bool hit = false;
  WaitReady(PortNo);
  std::string reply = WriteDM(PortNo, kLiftTargetDM, 0);
  Write(CycleNumber(c) + " " + reply);
  while (!QuitConfirmed && !hit) {
    ++c;
    reply = WriteDM(PortNo, kLiftTargetDM, path);
    Write(CycleNumber(c) + " " + reply);
    WaitReady(PortNo);
    reply = WriteDM(PortNo, kLiftTargetDM, 0);
    Write(" " + reply);
    NewLine();
    AskQuit();
    WaitReady(PortNo);
    hit = ReadRelay(PortNo, kLiftInitSwitchRelay) == "1";
  }
  if (hit) {
    Write("Lift hit z-Init Switch !!! ");
    ReadKeyPress();
  }
}

// Open, hold open, close, pause: each half waits for Ready and half a second more.
void GateMovementTest() {
  NewLine();
  const int32_t pause = AskNumber("Enter Pause [s]     ");
  const int32_t openTime = AskNumber("Enter Open Time [s] ");
  int32_t c = 0;
  do {
    ++c;
    WaitReady(PortNo);
    std::string reply = SetRelay(PortNo, kGateOpenRelay);
    Write(CycleNumber(c) + " " + reply);
    WaitTenths(5);
    PauseSeconds(openTime);
    WaitReady(PortNo);
    reply = SetRelay(PortNo, kGateCloseRelay);
    Write(" " + reply);
    NewLine();
    WaitTenths(5);
    PauseSeconds(pause);
    AskQuit();
  } while (!QuitConfirmed);
}

void ShovelMovementTest() {
  ArmTest(kShovelRelay, kShovelBackTimer, kShovelFrontTimer);
}

void TurnMovementTest() {
  ArmTest(kTurnRelay, kTurnInTimer, kTurnOutTimer);
}
