// The random-access test's own settings, chosen at its questions.
#pragma once
#include <cstdint>

#include "PXN32_00/access_modes.h"

extern char TestMode;          // 'C' carousel, 'H' handler, anything else both
extern bool XferIncluded;      // XferMode is not 'N': plate-ready times are measured
extern int32_t LastCarTarget;  // carousel target of the previous carousel-mode access
extern uint16_t RotDistance;   // positions the carousel advances to reach the target
// No mode chosen yet, no turn made.
void ResetRandomAccess();
