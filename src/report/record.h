// A test record as pxn32 --record writes it (base/record_format.h), read back: its test,
// its rows with their clock, and its notes sorted into summary, settings, operator and
// end. Reading never stops at a bad row; it leaves the row out and says why.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace report {

// What the report knows of a test: the name and columns its records carry, the title
// the page gives it, how many of the notes before the operator's are settings (the rest
// is the summary), and the columns it reads as numbers (empty cells are allowed).
struct TestKind {
  const char* name;
  const std::vector<std::string>* columns;
  const char* title;
  int settingsNotes;
  std::vector<std::string_view> times;   // seconds with up to two decimals, "8.81"
  std::vector<std::string_view> counts;  // whole numbers
};

const TestKind* FindTestKind(std::string_view name);
bool IsRandomAccess(const TestKind& kind);

struct Row {
  int line = 0;                    // in the file, from 1
  int64_t clock = 0;               // when the access ended, ms (report/clock_text.h)
  std::vector<std::string> cells;  // in the order of the columns, the clock left out
};

struct Record {
  std::string path;
  const TestKind* kind = nullptr;
  int64_t start = 0;  // from the file name, else the first row's clock
  std::vector<Row> rows;
  std::vector<std::string> summary;   // as the screen showed it
  std::vector<std::string> settings;  // what the test was started with
  std::string operatorName, serialNumber;
  int levels = 0, positions = 0;  // 0: not noted
  std::optional<int64_t> ended;   // nothing: the test was killed

  // The index of a column among the cells; -1 when this test has no such column.
  int Column(std::string_view name) const;
};

struct ReadResult {
  std::optional<Record> record;       // nothing when it is no record at all
  std::vector<std::string> problems;  // one line each, without the path
};

ReadResult ParseRecord(std::string_view text, const std::string& path);
ReadResult ReadRecordFile(const std::string& path);
// The whole of a file into `text`; why it could not be read, or empty.
std::string ReadWholeFile(const std::string& path, std::string& text);

// Cells as numbers: "8.81" is 881 hundredths, "12" is 1200; nothing when it isn't one.
std::optional<int64_t> Hundredths(std::string_view cell);
std::optional<int64_t> WholeNumber(std::string_view cell);

}  // namespace report
