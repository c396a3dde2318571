// The answers the access tests share: the all-slots and the random-access test both ask
// for the transfer station and the inverse order, and keep what was answered last.
#pragma once

extern char XferMode;    // the X-fer answer, upper-cased
extern char InversMode;  // 'Y': inverse order; set at each test's start and questions
// No answers yet.
void ResetAccessModes();
