// The device operations the teach, component-test and access-test screens are built
// from: where the carousel stands, the Ready wait, following the carousel while it
// turns, sending a carousel target, one handler move, and a countdown on the screen.
// All of them print at the cursor and never start a new line.
#pragma once
#include <cstdint>
#include <string>

#include "KV_Lib3/addresses.h"

constexpr uint16_t kNoCarPos = 999;  // PrevCarPos before any position was shown

extern uint16_t PrevCarPos;   // carousel position shown last by the tracking loops
extern uint16_t CurCarPos;    // carousel position just read by the tracking loops
extern int32_t CarPosErrors;  // arrivals at position 1 that did not come from the last one
extern int32_t WaitTime;      // the access tests' wait in seconds; TrackRotation scales it

// A carousel position as the screens show it: 1 is "A", 2 is "B", ...
char CarPosLetter(uint16_t position);
// Number of decimal digits of n (1 for n below 10, also for n below 1).
int DecimalDigits(int32_t n);

// One handler move: whether it was made (not after a quit or with Esc up) and the
// controller's replies to its three requests.
struct MoveReplies {
  bool made = false;
  std::string position, level, relay;
};

// The handler move that brings a plate into the addressed slot or takes it out again:
// through the transfer station (Load, Unload) or on the handler alone (Place, Pick).
// `mark` is the move's column in the handler rows of the random-access test.
struct HandlerMove {
  int32_t relay;
  const char* mark;
};
HandlerMove BringInMove(bool transferStation);
HandlerMove TakeOutMove(bool transferStation);

int32_t ReadCarPos(int port);
uint8_t Countdown(int32_t seconds);
void WaitReady(int port);
// The tracking loops return what they wrote: the letters and marks of the positions.
std::string TrackCarousel(int port, int32_t relay);
std::string TrackUntilReady(int port);
std::string TrackUntilPlateReady(int port);
std::string TrackRotation(int port);
void RotateTo(int port, int32_t position);
MoveReplies MovePlate(int port, int32_t position, int32_t level, int32_t relay);
// Nothing shown, nothing counted, no wait: as at start.
void ResetDeviceOps();
