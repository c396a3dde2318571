// One position's turn of the three-plate test: the block of three plates walks up the
// stack of position p one level at a time, then moves to the three lowest levels of the
// next position (position 1 after the last).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The fewest levels a stack needs for the walk: the block plus one free level above it.
constexpr int32_t kThreePlateMinLevels = 4;

// n levels, m positions. Moves nothing when n is below kThreePlateMinLevels. With
// Flag1703 the third plate changes stacks on the handler, otherwise through the transfer
// station.
void ThreePlateCycle(int port, int32_t p, int32_t n, int32_t m);
