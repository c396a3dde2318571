// What the loops of the random-access test share.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "PXN_Lib3/device_ops.h"

// The handler moves of the test's setting (XferIncluded).
HandlerMove BringIn();
HandlerMove TakeOut();

void CarouselLoop();  // until Esc, the quit, or Esc at a deviation pause
void HandlerLoop();   // until the quit
