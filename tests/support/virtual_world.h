// A whole virtual world for a test: virtual clock, virtual console with scripted keys,
// and the simulated controller wired to serial port 1. Program globals start fresh.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "plcsim/line.h"
#include "plcsim/model.h"
#include "support/virtual_backend.h"
#include "support/virtual_clock.h"

// Screen rows or requests on the line, one entry each.
using Lines = std::vector<std::string>;
// The entries of `a`, then those of `b`.
Lines operator+(Lines a, const Lines& b);

// Puts every global of the program back to its start value.
void ResetProgramGlobals();

class VirtualWorld : public ::testing::Test {
 protected:
  VirtualWorld();
  ~VirtualWorld() override;

  // Opens port 1 on the simulated controller as the start-up would, and sets PortNo.
  void OpenSimPort(int port = 1);
  // Replaces the controller with one of another configuration.
  void Configure(const plcsim::SimConfig& config);
  void Configure();  // a fresh controller of the default configuration

  // Screen rows in screen coordinates: raw bytes, trailing blanks kept.
  std::string Row(int row) const;
  // Row without trailing blanks.
  std::string RowTrim(int row) const;
  // The whole screen, one row a line, each ended by "|".
  std::string ScreenText() const;
  uint8_t AttrAt(int col, int row) const;
  // Every write to the line, in order, each as it went out (command and CR).
  std::vector<std::string> Sent() const;
  // Writes sent since the last call of this function.
  std::vector<std::string> SentSinceMark();
  void Mark() { mark_ = line.Wire().size(); }

  // The rows from `first` on read `rows` (trailing blanks ignored); a failure names the
  // row, and the test's line.
  void ExpectRows(int first, const std::vector<std::string>& rows,
                  const char* callerFile = __builtin_FILE(),
                  int callerLine = __builtin_LINE()) const;
  // The requests sent since the last mark are `requests` (each with its CR); a failure
  // names the first request that differs, and the test's line. Moves the mark.
  void ExpectSent(const std::vector<std::string>& requests,
                  const char* callerFile = __builtin_FILE(), int callerLine = __builtin_LINE());
  // Scripts keys: '~' is Esc, '_' lets `pause` pass before the next key, anything else
  // is typed as it is.
  void Script(std::string_view keys, int64_t pause = 1000000);
  int64_t NowMs() { return clock.NowMicros() / 1000; }

  base::VirtualClock clock;
  console::VirtualBackend keys{clock};
  plcsim::PlcModel plc;
  plcsim::SimLine line{plc};

 private:
  size_t mark_ = 0;
};

// Hundredths the simulated carousel takes for a turn of `steps` without a fault: the
// time the teach screen finds for position steps + 1.
constexpr int32_t SimTurnHundredths(int steps, int64_t stepMicros = plcsim::kTurnStepMicros) {
  return static_cast<int32_t>(
      (plcsim::kTurnStartMicros + plcsim::kTurnSettleMicros + steps * stepMicros) / 10000);
}

// Positions a timed access row's traces skipped, on a carousel of `positions`: the
// access trace (the sixth column) and the rotation after a random wait (the tenth), each
// a letter for every position seen, where one letter must follow another as the same
// position or the next one round the carousel.
int PositionsSkipped(std::string_view row, int positions);

// Scripted keys for the console: extended keys come as 0 and their scan code.
constexpr int kKeyEsc = 27;

// Compares two lists line by line; the message names the first index that differs, with
// both texts (control bytes shown escaped), or the extra and missing entries.
::testing::AssertionResult SameLines(const std::vector<std::string>& actual,
                                     const std::vector<std::string>& expected);
// A text with its control bytes written as \r, \n, \xNN.
std::string Escaped(std::string_view text);
