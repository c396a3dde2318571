// The random-access test's own settings, chosen at its questions.
#pragma once
#include <cstdint>

extern char TestMode;          // 'C' carousel, 'H' handler, anything else both
extern char XferMode;          // as typed; only 'N' leaves the transfer station out
extern bool XferIncluded;      // XferMode is not 'N': plate-ready times are measured
extern char InversMode;        // 'Y': the first access of a cycle takes the plate out
extern int32_t LastCarTarget;  // carousel target of the previous carousel-mode access
extern uint16_t RotDistance;   // positions the carousel advances to reach the target
