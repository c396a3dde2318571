#include "support/virtual_world.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "KV_Lib3/exchange.h"
#include "PXN32_00/all_slots.h"
#include "PXN32_00/main_menu.h"
#include "PXN32_00/random_access.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/positioning_times.h"
#include "PXN_Lib3/record.h"
#include "base/farewell.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "comLib3/line_log.h"
#include "comLib3/screen_tools.h"
#include "comLib3/serial.h"
#include "console/backend.h"
#include "console/console.h"
#include "plcsim/sim_serial.h"

Lines operator+(Lines a, const Lines& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Lines Times(int n, const Lines& lines) {
  return n > 0 ? lines + Times(n - 1, lines) : Lines{};
}

namespace {
Lines Split(std::string_view text, char separator, std::string_view end) {
  Lines parts;
  for (size_t at = 0;;) {
    const size_t next = text.find(separator, at);
    parts.push_back(std::string(text.substr(at, next - at)) + std::string(end));
    if (next == std::string_view::npos) return parts;
    at = next + 1;
  }
}
}  // namespace

Lines Requests(std::string_view commaSeparated) {
  return Split(commaSeparated, ',', "\r");
}

Lines Rows(std::string_view barSeparated) {
  return Split(barSeparated, '|', "");
}

std::string Trim(std::string text) {
  return text.erase(text.find_last_not_of(' ') + 1);
}

std::string Bars(std::string text) {
  for (size_t at; (at = text.find("³")) != std::string::npos;) text.replace(at, 2, 1, '\xB3');
  return text;
}

TempDir::TempDir() {
  const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
  path_ = (std::filesystem::temp_directory_path() /
           ("pxn32-" + std::to_string(getpid()) + "-" + (test ? test->name() : "test")))
              .string();
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

bool RowLog::See(const console::Screen& s) {
  if (s.ScreenCursorRow() == 1) return false;
  const bool start = s.CursorX() == 1, ended = start && !atStart_;  // the window's first column
  if (ended) rows.push_back(Trim(s.RowText(s.ScreenCursorRow() - 1)));
  atStart_ = start;
  return ended;
}

void ResetProgramGlobals() {
  base::ResetNotes();
  ResetKeyboard();
  ResetClockTime();
  ResetScreenTools();
  ResetExchange();
  StopLineLog();
  ResetRecords();
  ResetGlobals();
  ResetAccessGlobals();
  ResetDeviceOps();
  ResetPositioningTimes();
  ResetMainMenu();
  ResetAccessModes();
  ResetAllSlots();
  ResetRandomAccess();
  for (int port = 1; port <= kMaxPorts; ++port) CloseComPort(port);
}

VirtualWorld::VirtualWorld() {
  base::SetClock(&clock);
  console::Install(&keys);
  ResetProgramGlobals();
  RememberScreenSize();
  TextBackground(7);
  TextColor(1);
  // A line that has gone can't be opened until it is back.
  SetSerialOpener([this](int, int& error) -> std::unique_ptr<SerialDevice> {
    if (line.Gone(clock.NowMicros())) return error = ENOENT, nullptr;
    return std::make_unique<plcsim::SimSerialDevice>(line, clock);
  });
}

VirtualWorld::~VirtualWorld() {
  keys.onPresent = nullptr;  // it may watch the test's locals
  StopLineLog();
  ResetRecords();
  for (auto& handle : ComHandles) handle.reset();
  SetSerialOpener(nullptr);
  console::Install(nullptr);
  base::SetClock(nullptr);
}

void VirtualWorld::OpenSimPort(int port) {
  OpenComPort(port, 9600, 'E', 1, 8);
  PortNo = port;
}

void VirtualWorld::RunScreen(void (*screen)(), std::string_view script,
                             const plcsim::SimConfig& store, const plcsim::ModelFaults& faults,
                             const plcsim::LineFaults& lineFaults) {
  ResetProgramGlobals();
  Configure(store);
  plc.faults = faults;
  line.faults = lineFaults;
  OpenSimPort();
  LevelCount = plc.Config().levels;
  PositionCount = plc.Config().positions;
  SerialNo = plc.Config().serialNo;
  Flag1703 = plc.Config().threePlateRoute;
  Mark();
  Script(script);
  struct EndWatch {  // the watcher may hold the test's locals
    console::VirtualBackend& keys;
    ~EndWatch() { keys.onPresent = nullptr; }
  } endWatch{keys};
  screen();
}

Lines VirtualWorld::SentFrom(size_t first) const {
  Lines sent;
  for (size_t i = first; i < line.Wire().size(); ++i) sent.push_back(line.Wire()[i].bytes);
  return sent;
}

void VirtualWorld::ExpectRows(int first, const Lines& rows, const char* callerFile,
                              int callerLine) const {
  Lines shown;
  for (int row = first; shown.size() < rows.size(); ++row) shown.push_back(RowTrim(row));
  const ::testing::AssertionResult same = SameLines(shown, rows);
  if (!same)
    ADD_FAILURE_AT(callerFile, callerLine)
        << "screen rows from " << first << ": " << same.message();
}

void VirtualWorld::ExpectWindowRows(int first, const Lines& rows, int column,
                                    const char* callerFile, int callerLine) const {
  Lines shifted;
  for (const std::string& row : rows)
    shifted.push_back(row.empty() ? row : std::string(column - 1, ' ') + row);
  ExpectRows(first, shifted, callerFile, callerLine);
}

void VirtualWorld::ExpectSent(const Lines& requests, const char* callerFile, int callerLine) {
  ::testing::AssertionResult same = SameLines(SentSinceMark(), requests);
  if (!same) ADD_FAILURE_AT(callerFile, callerLine) << "requests on the line: " << same.message();
}

void VirtualWorld::Script(std::string_view script, int64_t pause) {
  for (char k : script)
    k == '_' ? keys.Pause(pause) : keys.Key(k == '~' ? kKeyEsc : static_cast<unsigned char>(k));
}

::testing::AssertionResult SameLines(const Lines& actual, const Lines& expected) {
  const size_t common = std::min(actual.size(), expected.size());
  for (size_t i = 0; i < common; ++i)
    if (actual[i] != expected[i])
      return ::testing::AssertionFailure() << "entry " << i << " is \"" << Escaped(actual[i])
                                           << "\", expected \"" << Escaped(expected[i]) << "\"";
  if (actual.size() > common)
    return ::testing::AssertionFailure()
           << actual.size() - common << " more than expected, from entry " << common << ": \""
           << Escaped(actual[common]) << "\"";
  if (expected.size() > common)
    return ::testing::AssertionFailure() << expected.size() - common << " missing, from entry "
                                         << common << ": \"" << Escaped(expected[common]) << "\"";
  return ::testing::AssertionSuccess();
}
