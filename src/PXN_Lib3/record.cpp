#include "PXN_Lib3/record.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/layout.h"
#include "base/clock.h"
#include "base/farewell.h"
#include "base/record_format.h"
#include "comLib3/record_file.h"
#include "console/console.h"

std::string RecordFolder;

namespace {

RecordFile recordFile;
int rows = 0;
std::vector<std::string> settingsNotes;
std::string lastPath;
std::string currentFailure;  // why the record of the test now running was given up

// The status bar shows the current failure; every failure, with the file it befell, is
// said on the way out.
void Failed(const std::string& why) {
  currentFailure = why;
  base::AddNoteLine(base::Note::kRecords, "pxn32: --record " + lastPath + ": " + why);
}

std::string Clock() {
  return StampText(base::TheClock().Wall());
}

// "2026-12-06_10-00-00_random-access-both.csv", with "-2", "-3" ... before the ending
// when a test of the same name started in the same second.
std::string FileName(const std::string& test, int copy) {
  const base::WallTime t = base::TheClock().Wall();
  char stamp[40];
  std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d_%02d-%02d-%02d_", t.year, t.month, t.day,
                t.hour, t.minute, t.second);
  return stamp + test + (copy > 1 ? "-" + std::to_string(copy) : "") + ".csv";
}

void Put(const std::string& line) {
  if (recordFile.IsOpen() && !recordFile.Append(line)) Failed(recordFile.Failure());
}

std::string Joined(const std::vector<std::string>& cells) {
  std::string line;
  for (const std::string& cell : cells) line += (line.empty() ? "" : ",") + CsvCell(cell);
  return line;
}

}  // namespace

void StartRecord(const std::string& test, const std::vector<std::string>& columns,
                 const std::vector<std::string>& settings) {
  EndRecord();
  rows = 0;
  currentFailure.clear();
  settingsNotes = settings;
  settingsNotes.push_back(record_format::kOperatorNote + OperatorName +
                          record_format::kSerialNumberNote + std::to_string(SerialNo) +
                          ", levels " + std::to_string(LevelCount) + ", positions " +
                          std::to_string(PositionCount));
  if (RecordFolder.empty()) return;
  std::error_code folderError;
  std::filesystem::create_directories(RecordFolder, folderError);
  for (int copy = 1;; ++copy) {
    lastPath = RecordFolder + "/" + FileName(test, copy);
    if (recordFile.Open(lastPath, true) || recordFile.FailureCode() != EEXIST || copy >= 99) break;
  }
  if (!recordFile.IsOpen()) {
    // A folder that could not be made is why its file is missing.
    Failed(folderError && recordFile.FailureCode() == ENOENT ? folderError.message()
                                                               : recordFile.Failure());
    return;
  }
  std::vector<std::string> header = columns;
  header.push_back(record_format::kClockColumn);
  Put(Joined(header));
}

void RecordRow(const std::vector<std::string>& cells) {
  if (!recordFile.IsOpen()) return;
  std::vector<std::string> row = cells;
  row.push_back(Clock());
  Put(Joined(row));
  ++rows;
}

void RecordNote(const std::string& text) {
  Put(record_format::kNotePrefix + text);
}

void WriteSummaryLine(const std::string& text) {
  Write(AtColumn10(text));
  RecordNote(text);
}

void EndRecord() {
  if (!recordFile.IsOpen()) return;
  for (const std::string& setting : settingsNotes) RecordNote(setting);
  RecordNote(record_format::kEndedNote + Clock());
  recordFile.Close();
}

void ResetRecords() {
  recordFile.Forget();
  RecordFolder.clear();
  rows = 0;
  settingsNotes.clear();
  lastPath.clear();
  currentFailure.clear();
  base::SetNote(base::Note::kRecords, "");
}

int RecordedRows() {
  return rows;
}

const std::string& RecordFailure() {
  return currentFailure;
}

std::string SecondsCell(int64_t hundredths) {
  char text[32];
  std::snprintf(text, sizeof text, "%s%lld.%02lld", hundredths < 0 ? "-" : "",
                static_cast<long long>(std::llabs(hundredths) / 100),
                static_cast<long long>(std::llabs(hundredths) % 100));
  return text;
}

std::string YesNo(bool yes) {
  return yes ? "yes" : "no";
}

std::string CsvCell(const std::string& text) {
  std::string cell;
  bool quote = !text.empty() && (text.front() == ' ' || text.back() == ' ');
  for (unsigned char c : text) {
    if (!AppendControlEscape(c, cell)) {
      quote = quote || c == ',' || c == '"';
      cell += static_cast<char>(c);
      if (c == '"') cell += '"';
    }
  }
  return quote ? "\"" + cell + "\"" : cell;
}
