// The simulated controller and plate store: relays, timers and 65536 data words,
// answering the request/reply protocol as the real controller does. Time is passed in
// by the caller (monotonic microseconds), so the same model runs under the virtual
// clock in tests and under the real clock behind a pseudo-terminal.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace plcsim {

struct SimConfig {
  int positions = 9;       // DM29
  int levels = 10;         // DM25
  int serialNo = 1234;     // DM109
  bool threePlateRoute = false;  // relay 1703
  bool twoCarousels = false;     // relay 3003
};

class PlcModel {
 public:
  explicit PlcModel(SimConfig config = {});

  // One request line without its line end, received at `now`. Returns the reply
  // without line end; an empty result means the controller stays silent.
  std::string Handle(std::string_view request, int64_t nowMicros);

  // Brings timed processes (carousel, handler, gate ...) up to `now`.
  void Advance(int64_t nowMicros);

  bool Relay(int n) const;
  void SetRelay(int n, bool on);
  uint16_t Dm(int address) const { return dm_[static_cast<size_t>(address) & 0xFFFF]; }
  void SetDm(int address, uint16_t value) { dm_[static_cast<size_t>(address) & 0xFFFF] = value; }
  bool TimerDone(int n) const;
  void SetTimerDone(int n, bool done) { timers_[n] = done; }

  const SimConfig& Config() const { return config_; }
  // Every request handled, in order, as received (for tests that check the traffic).
  const std::vector<std::string>& Requests() const { return requests_; }

 private:
  std::string Execute(std::string_view request, int64_t now);
  void OnRelaySet(int n, int64_t now);
  void OnDmWritten(int address, int64_t now);

  SimConfig config_;
  std::vector<uint16_t> dm_;
  std::map<int, bool> relays_;
  std::map<int, bool> timers_;
  std::vector<std::string> requests_;
};

}  // namespace plcsim
