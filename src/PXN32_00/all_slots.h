// The all-slots test's own settings, as the operator answered its questions, and the
// slot it serves.
#pragma once
#include <cstdint>

#include "PXN32_00/access_modes.h"

extern char BySlotMode;     // the key typed at "By Slot", upper-cased; 'N' before
extern int32_t StartLevel;  // level the first cycle starts at, 1 .. LevelCount
extern char AnswerKey;      // the last X-fer / quick-test answer; 'Y' picks the quick test
extern int32_t SlotLevel;   // level of the slot being served
// No answers yet, the first slot next.
void ResetAllSlots();
