#include "report/record.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/record_format.h"
#include "report/clock_text.h"
#include "report/csv.h"

namespace report {

namespace {

using namespace record_format;

const std::vector<TestKind> kKinds = {
    {kRandomBoth,
     &kRandomBothColumns,
     "Random access, carousel and handler",
     2,
     {"access s", "plate ready s"},
     {"marks"}},
    {kRandomCarousel, &kRandomCarouselColumns, "Random access, carousel", 2, {"access s"}, {}},
    {kRandomHandler, &kRandomHandlerColumns, "Random access, handler", 2, {"access s"}, {}},
    {kAllSlots, &kAllSlotsColumns, "All slots", 1, {}, {"cycle", "level", "position"}},
    {kThreePlate, &kThreePlateColumns, "Three plates", 1, {}, {"position"}},
    {kCarouselMovement,
     &kCarouselMovementColumns,
     "Carousel movement",
     1,
     {"taught s", "measured s", "deviation s"},
     {"steps"}},
};

bool StartsWith(std::string_view text, std::string_view head) {
  return text.substr(0, head.size()) == head;
}

// The test a file name names: "2026-12-07_04-40-58_all-slots-2.csv" names "all-slots".
std::string TestInFileName(const std::string& path) {
  std::string name = std::filesystem::path(path).filename().string();
  if (name.size() > 4 && name.substr(name.size() - 4) == ".csv") name.resize(name.size() - 4);
  if (ParseFileNameStart(name)) name.erase(0, 20);
  const size_t dash = name.find_last_of('-');
  if (dash != std::string::npos && !FindTestKind(name) &&
      name.find_first_not_of("0123456789", dash + 1) == std::string::npos)
    name.resize(dash);
  return name;
}

const TestKind* KindOfHeader(const std::vector<std::string>& header) {
  for (const TestKind& kind : kKinds) {
    if (header.size() != kind.columns->size() + 1 || header.back() != kClockColumn) continue;
    if (std::equal(kind.columns->begin(), kind.columns->end(), header.begin())) return &kind;
  }
  return nullptr;
}

// Why a first line is no header of a record we know.
std::string UnknownHeader(const std::vector<std::string>& header, const std::string& path) {
  const std::string test = TestInFileName(path);
  if (FindTestKind(test)) return "not the columns of a " + test + " record";
  if (!header.empty() && header.back() == kClockColumn && !test.empty())
    return "a record of a test this report does not know: " + test;
  return "not a test record (no record header on its first line)";
}

// Sorts "operator NAME, serial number N, levels L, positions P" into the record.
void TakeOperatorNote(std::string_view note, Record& record) {
  note.remove_prefix(std::strlen(kOperatorNote));
  const size_t serial = note.rfind(kSerialNumberNote);
  record.operatorName = std::string(note.substr(0, serial));
  if (serial == std::string_view::npos) return;
  std::string_view rest = note.substr(serial + std::strlen(kSerialNumberNote));
  record.serialNumber = std::string(rest.substr(0, rest.find(',')));
  int levels = 0, positions = 0;
  const size_t geometry = rest.find(", levels ");
  if (geometry != std::string_view::npos &&
      std::sscanf(std::string(rest.substr(geometry)).c_str(), ", levels %d, positions %d", &levels,
                  &positions) == 2) {
    record.levels = levels;
    record.positions = positions;
  }
}

// The notes in the order the console writes them: summary, settings, operator, end.
void TakeNotes(const std::vector<std::string>& notes, Record& record) {
  size_t operatorAt = notes.size();
  for (size_t i = 0; i < notes.size(); ++i) {
    if (StartsWith(notes[i], kOperatorNote)) {
      operatorAt = i;
      TakeOperatorNote(notes[i], record);
    } else if (StartsWith(notes[i], kEndedNote)) {
      record.ended = ParseClock(std::string_view(notes[i]).substr(std::strlen(kEndedNote)));
    }
  }
  const size_t settingsAt =
      operatorAt == notes.size()
          ? operatorAt
          : operatorAt - std::min<size_t>(operatorAt, record.kind->settingsNotes);
  record.summary.assign(notes.begin(), notes.begin() + static_cast<long>(settingsAt));
  record.settings.assign(notes.begin() + static_cast<long>(settingsAt),
                         notes.begin() + static_cast<long>(operatorAt));
}

// Why a row's cells can't be taken; empty when they can.
std::string RowFault(const Record& record, const std::vector<std::string>& cells, Row& row) {
  const size_t wanted = record.kind->columns->size() + 1;
  if (cells.size() != wanted)
    return std::to_string(cells.size()) + " cells, " + std::to_string(wanted) + " wanted";
  const std::optional<int64_t> clock = ParseClock(cells.back());
  if (!clock) return "clock \"" + cells.back() + "\" is no time";
  row.clock = *clock;
  row.cells.assign(cells.begin(), cells.end() - 1);
  for (std::string_view column : record.kind->times) {
    const std::string& cell = row.cells[record.Column(column)];
    if (!cell.empty() && !Hundredths(cell))
      return std::string(column) + " \"" + cell + "\" is no number of seconds";
  }
  for (std::string_view column : record.kind->counts) {
    const std::string& cell = row.cells[record.Column(column)];
    if (!cell.empty() && !WholeNumber(cell))
      return std::string(column) + " \"" + cell + "\" is no whole number";
  }
  return "";
}

std::vector<std::string_view> Lines(std::string_view text, bool& lastCut) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    lastCut = end == std::string_view::npos;
    if (lastCut) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

}  // namespace

const TestKind* FindTestKind(std::string_view name) {
  for (const TestKind& kind : kKinds)
    if (name == kind.name) return &kind;
  return nullptr;
}

bool IsRandomAccess(const TestKind& kind) {
  const std::string_view name = kind.name;
  return name == kRandomBoth || name == kRandomCarousel || name == kRandomHandler;
}

int Record::Column(std::string_view name) const {
  const auto& columns = *kind->columns;
  const auto at = std::find(columns.begin(), columns.end(), name);
  return at == columns.end() ? -1 : static_cast<int>(at - columns.begin());
}

ReadResult ParseRecord(std::string_view text, const std::string& path) {
  ReadResult result;
  bool lastCut = false;
  const std::vector<std::string_view> lines = Lines(text, lastCut);
  std::vector<std::string> cells;
  if (lines.empty()) {
    result.problems.push_back("empty, not a test record");
    return result;
  }
  const TestKind* kind = SplitCsvLine(lines[0], cells) ? KindOfHeader(cells) : nullptr;
  if (!kind) {
    result.problems.push_back(UnknownHeader(cells, path));
    return result;
  }
  Record& record = result.record.emplace();
  record.path = path;
  record.kind = kind;
  std::vector<std::string> notes;
  std::string firstFault;
  int faults = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    const int number = static_cast<int>(i) + 1;
    if (StartsWith(lines[i], kNotePrefix)) {
      notes.emplace_back(lines[i].substr(std::strlen(kNotePrefix)));
      continue;
    }
    Row row;
    row.line = number;
    std::string fault = !notes.empty()                   ? "a row after the notes"
                        : !SplitCsvLine(lines[i], cells) ? "a quote left open"
                                                         : RowFault(record, cells, row);
    if (fault.empty()) {
      record.rows.push_back(std::move(row));
    } else if (i + 1 == lines.size() && (lastCut || cells.size() < kind->columns->size() + 1)) {
      result.problems.push_back("line " + std::to_string(number) +
                                ": last row cut short, left out");
    } else if (faults++ == 0) {
      firstFault = "line " + std::to_string(number) + ": " + fault;
    }
  }
  if (faults > 0)
    result.problems.insert(
        result.problems.begin(),
        firstFault +
            (faults == 1 ? ", row left out" : "; " + std::to_string(faults) + " rows left out"));
  TakeNotes(notes, record);
  const std::optional<int64_t> start =
      ParseFileNameStart(std::filesystem::path(path).filename().string());
  record.start = start ? *start : record.rows.empty() ? 0 : record.rows.front().clock;
  return result;
}

std::string ReadWholeFile(const std::string& path, std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return std::strerror(errno);
  char buffer[65536];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  const bool failed = std::ferror(file);
  const int error = errno;
  std::fclose(file);
  return failed ? std::strerror(error) : "";
}

ReadResult ReadRecordFile(const std::string& path) {
  std::string text;
  if (std::string error = ReadWholeFile(path, text); !error.empty()) return {std::nullopt, {error}};
  return ParseRecord(text, path);
}

std::optional<int64_t> WholeNumber(std::string_view cell) {
  const bool negative = !cell.empty() && cell[0] == '-';
  if (negative) cell.remove_prefix(1);
  if (cell.empty() || cell.size() > 15) return std::nullopt;
  int64_t value = 0;
  for (char c : cell) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return negative ? -value : value;
}

std::optional<int64_t> Hundredths(std::string_view cell) {
  const size_t point = cell.find('.');
  if (point == std::string_view::npos) {
    const std::optional<int64_t> whole = WholeNumber(cell);
    return whole ? std::optional<int64_t>(*whole * 100) : std::nullopt;
  }
  const std::string_view fraction = cell.substr(point + 1);
  const std::optional<int64_t> whole = WholeNumber(cell.substr(0, point));
  const std::optional<int64_t> part = WholeNumber(fraction);
  if (!whole || !part || fraction.size() > 2 || fraction[0] == '-') return std::nullopt;
  const int64_t hundredths = *part * (fraction.size() == 1 ? 10 : 1);
  return cell[0] == '-' ? *whole * 100 - hundredths : *whole * 100 + hundredths;
}

}  // namespace report
