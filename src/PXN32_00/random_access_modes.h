// What the loops of the random-access test share.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The handler relay of one direction, with its column mark in handler mode.
struct HandlerMove {
  int32_t relay;
  const char* mark;
};
// With the transfer station Load and Unload, without it Place and Pick.
HandlerMove BringIn();
HandlerMove TakeOut();

// Hundredths as seconds with one decimal in four columns.
std::string SecondsText(int32_t hundredths);

void CarouselLoop();  // until Esc, the quit, or Esc at a deviation pause
void HandlerLoop();   // until the quit
