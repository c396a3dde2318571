// A whole virtual world for a test: virtual clock, console with scripted keys and the
// simulated store on serial port 1, on one virtual timeline; program globals start fresh.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "comLib3/record_file.h"
#include "plcsim/line.h"
#include "plcsim/model.h"
#include "support/virtual_backend.h"

constexpr int64_t kSecond = 1000000;
constexpr int kKeyEsc = 27;

// Screen rows or requests on the line, one entry each.
using Lines = std::vector<std::string>;
Lines operator+(Lines a, const Lines& b);
Lines Times(int n, const Lines& lines);
// "RD 1915,ST 1801": the requests on the line, each with its CR.
Lines Requests(std::string_view commaSeparated);
// "first row|second row": rows, in order.
Lines Rows(std::string_view barSeparated);
// The text without its trailing blanks.
std::string Trim(std::string text);
// A literal as the screen holds it: "³" stands for the column bar, byte B3.
std::string Bars(std::string text);
// A text with its control bytes written as \r, \n, \xNN.
inline std::string Escaped(std::string_view text) {
  return EscapedBytes(text);
}
// Compares two lists; the message names the first entry that differs, escaped.
::testing::AssertionResult SameLines(const Lines& actual, const Lines& expected);

// A scratch folder of the test's own, removed with all it holds when the test ends.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Every row a screen ends, caught on the first frame with the cursor at the start of the
// next row (before it scrolls away); row 1's frames pass. Fed from onPresent.
struct RowLog {
  Lines rows;
  // True when this frame ended a row (rows.back() is it).
  bool See(const console::Screen& screen);

 private:
  bool atStart_ = false;
};

// Puts every global of the program back to its start value, each unit by its own Reset.
void ResetProgramGlobals();

class VirtualWorld : public ::testing::Test {
 protected:
  VirtualWorld();
  ~VirtualWorld() override;

  // Opens port 1 on the simulated store as the start-up does, and sets PortNo.
  void OpenSimPort(int port = 1);
  // A fresh store of this configuration (the line's faults stay).
  void Configure(const plcsim::SimConfig& config = {}) { plc = plcsim::PlcModel(config); }
  // Runs `screen` as the main menu calls it (port open, geometry read) on a fresh store and
  // fresh globals, with `keys` scripted (Script's syntax); `keys.onPresent` ends with it.
  void RunScreen(void (*screen)(), std::string_view keys, const plcsim::SimConfig& store = {},
                 const plcsim::ModelFaults& faults = {}, const plcsim::LineFaults& lineFaults = {});

  // Screen rows in screen coordinates: raw bytes, trailing blanks kept.
  std::string Row(int row) const { return console::TheScreen().RowText(row); }
  std::string RowTrim(int row) const { return Trim(Row(row)); }
  uint8_t AttrAt(int col, int row) const { return console::TheScreen().At(col, row).attr; }
  // Every write to the line, in order, each as it went out (command and CR).
  Lines Sent() const { return SentFrom(0); }
  // Writes sent since the last mark; moves the mark.
  Lines SentSinceMark() { return SentFrom(std::exchange(mark_, line.Wire().size())); }
  void Mark() { mark_ = line.Wire().size(); }

  // The rows from `first` on read `rows` (trailing blanks ignored).
  void ExpectRows(int first, const Lines& rows, const char* callerFile = __builtin_FILE(),
                  int callerLine = __builtin_LINE()) const;
  // The same in the window the banner leaves: `rows` read from screen column `column` on.
  void ExpectWindowRows(int first, const Lines& rows, int column = 10,
                        const char* callerFile = __builtin_FILE(),
                        int callerLine = __builtin_LINE()) const;
  // The requests sent since the last mark are `requests`; moves the mark.
  void ExpectSent(const Lines& requests, const char* callerFile = __builtin_FILE(),
                  int callerLine = __builtin_LINE());
  // Scripts keys: '~' is Esc, '_' lets `pause` pass, anything else is typed as it is.
  void Script(std::string_view keys, int64_t pause = kSecond);
  int64_t NowMs() { return clock.NowMicros() / 1000; }

  base::VirtualClock clock;
  console::VirtualBackend keys{clock};
  plcsim::PlcModel plc;
  plcsim::SimLine line{plc};

 private:
  Lines SentFrom(size_t first) const;
  size_t mark_ = 0;
};

// Hundredths the simulated carousel takes for a turn of `steps`: position steps + 1's time.
constexpr int32_t SimTurnHundredths(int steps, int64_t stepMicros = plcsim::kTurnStepMicros) {
  return static_cast<int32_t>(
      (plcsim::kTurnStartMicros + plcsim::kTurnSettleMicros + steps * stepMicros) / 10000);
}
