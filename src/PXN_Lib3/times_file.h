// The positioning times kept across runs when asked (--times FILE): loaded at start-up,
// saved after every teach that ran to its end. Plain text a person can read and edit:
//
//   # pxn32 positioning times: carousel position, then hundredths of a second from home
//   # store SNr. 1234, taught 2026-12-07 14:05
//   1 30
//   2 75
//
// Blank lines and other "#" lines are passed over. A file that can't be used leaves the
// table untaught; a failed save leaves the old file as it was.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "PXN_Lib3/positioning_times.h"

using TimesTable = std::array<int32_t, kPositioningTimeCount + 1>;

constexpr int32_t kSerialUnknown = -1;

extern std::string TimesFile;  // empty: the times are not kept

// What a times file holds.
struct TimesText {
  TimesTable times{};
  int32_t serialNo = kSerialUnknown;  // the store it was taught on
  std::string taught;                 // the date taught, as written
};

// Reads a file's text into `file`; empty when it holds a table, else why not
// ("line 3: negative time -5").
std::string ParseTimesText(std::string_view text, TimesText& file);
// The file's text: positions 1 to `positions`, taught on store `serialNo` on `taught`.
std::string FormatTimesText(const TimesTable& times, int32_t positions, int32_t serialNo,
                            const std::string& taught);
// Writes `text` under a passing name beside `path`, then renames it over `path`. Empty
// when it worked, else why not.
std::string SaveTextFile(const std::string& path, const std::string& text);

// Start-up: PositioningTimes from TimesFile when it can be used, else untaught. Returns
// the line that says what became of it; empty without a file. `serialNo` is the store's,
// kSerialUnknown when it did not answer.
std::string LoadTaughtTimes(int32_t serialNo);
// After a teach: the table into TimesFile. A failure is kept for the status bar and
// noted for the way out (base/farewell.h); the next save that works clears it.
void SaveTaughtTimes();
// Why the last save failed; empty when it worked or none was made.
const std::string& TimesFileFailure();
// No file, no failure: as at start.
void ResetTimesFile();
