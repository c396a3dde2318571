// The controller's end of the serial line: frames requests on CR, hands them to the
// model and times the reply bytes as a real line would deliver them. Line faults
// (silence, error answers, garbage, late answers, a line that goes away) live here.
#pragma once
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "plcsim/model.h"

namespace plcsim {

// One character at 9600 baud with 8 data bits, parity and one stop bit: 11 bits.
constexpr int64_t kByteMicros = 11 * 1000000 / 9600;

struct LineFaults {
  bool silent = false;        // never answers
  int errorAnswers = 0;       // the next k requests are answered "E0"
  bool garbled = false;       // answers bytes that mean nothing
  bool overlong = false;      // answers more than 50 bytes
  bool noLineEnd = false;     // answers without the two line-end bytes
  int64_t lateMicros = 0;     // extra delay before every answer
  int64_t goneAtMicros = -1;  // from this time on the line is dead
};

struct WireRecord {
  int64_t at;         // when the bytes were written
  std::string bytes;  // exactly what went on the line
};

class SimLine {
 public:
  explicit SimLine(PlcModel& model) : model_(model) {}

  // Bytes from the PC, written at `now`; returns when the last of them is in.
  int64_t Receive(std::string_view bytes, int64_t now);
  // Reply bytes that have arrived at the PC by `deadline`, at most `max` of them;
  // `lastAt` is the arrival time of the last one taken.
  std::string Take(size_t max, int64_t deadline, int64_t& lastAt);
  // Discards the reply bytes that have arrived by `now`; later ones are still on the way.
  void DropArrived(int64_t now);
  bool Gone(int64_t now) const { return faults.goneAtMicros >= 0 && now >= faults.goneAtMicros; }

  const std::vector<WireRecord>& Wire() const { return wire_; }
  void ClearWire() { wire_.clear(); }

  LineFaults faults;
  bool paced = false;               // every byte takes kByteMicros on the line
  bool keepWire = true;             // record the traffic for Wire(); off for long runs
  int64_t turnaroundMicros = 3000;  // controller's time to answer a complete request

 private:
  struct TimedByte {
    int64_t at;
    char byte;
  };
  void Answer(const std::string& request, int64_t complete);
  std::string FaultyReply(const std::string& reply);

  PlcModel& model_;
  std::string pending_;  // request bytes before their CR
  std::deque<TimedByte> out_;
  std::vector<WireRecord> wire_;
  int64_t lineFreeAt_ = 0;  // when the controller's transmitter is free again
};

}  // namespace plcsim
