// One complete, timed access of the handler on one slot, printed as one row of the
// boxed access table: number, tag, slot, the controller's replies, the carousel
// positions passed, DM350, the access and plate-ready times, and the wait after it.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

constexpr int kPosTestColumn = 39;   // DM350 is written here, over a long tracking trace

// Access times above this and below kLongestAccess hundredths are counted.
constexpr int32_t kShortestAccess = 10;
constexpr int32_t kLongestAccess = 10000;

// Runs one access on the slot AccessTarget / AccessLevel with the handler relay `relay`,
// `tag` in the second column ("L" brings a plate in, "U" takes it out). With
// `plateReady` the time until PlateReady is measured too. Expects the cursor at the
// start of an empty row and ends the row.
void TimedAccess(int port, int32_t relay, char tag, bool plateReady);
