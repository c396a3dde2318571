// Small helpers for driving the simulated controller with explicit times.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "plcsim/model.h"

namespace simtest {

inline int64_t Ms(int64_t ms) {
  return ms * 1000;
}

// Sends one request at `ms` milliseconds and returns the reply.
inline std::string Ask(plcsim::PlcModel& plc, const std::string& request, int64_t ms) {
  return plc.Handle(request, Ms(ms));
}

// Advances in 10 ms steps from `fromMs` until Ready reads on; returns that time, or -1
// when it doesn't come within `limitMs`.
inline int64_t ReadyAt(plcsim::PlcModel& plc, int64_t fromMs, int64_t limitMs = 30000) {
  for (int64_t t = fromMs; t <= fromMs + limitMs; t += 10) {
    plc.Advance(Ms(t));
    if (plc.Relay(plcsim::kReady)) return t;
  }
  return -1;
}

// The DM1 readings, each new value once, from `fromMs` until Ready reads on.
inline std::vector<int> PositionsUntilReady(plcsim::PlcModel& plc, int64_t fromMs) {
  std::vector<int> seen;
  for (int64_t t = fromMs; t <= fromMs + 10000; t += 10) {
    plc.Advance(Ms(t));
    if (seen.empty() || seen.back() != plc.Dm(1)) seen.push_back(plc.Dm(1));
    if (plc.Relay(plcsim::kReady)) break;
  }
  return seen;
}

}  // namespace simtest

namespace simtest {

// Writes the slot and sets the move relay at `ms`, as the screens do, and waits for
// Ready; returns the time Ready came back, or -1.
inline int64_t RunMove(plcsim::PlcModel& plc, int relay, int position, int level, int64_t ms) {
  Ask(plc, "WR DM0 " + std::to_string(position), ms);
  Ask(plc, "WR DM5 " + std::to_string(level), ms + 55);
  Ask(plc, "ST " + std::to_string(relay), ms + 110);
  return ReadyAt(plc, ms + 165);
}

}  // namespace simtest
