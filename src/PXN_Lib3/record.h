// The record of an access test, kept when a folder is given (--record DIR): one CSV file
// per test run, named by the date and time it started and the test, with a header row,
// one row per access or move holding what its screen line shows and the clock time it
// ended, and the settings and the summary as "#" comment lines at the end. Rows go to the
// file as they happen. Without a folder every call does nothing; a file that can't be
// written is given up, the test goes on, and RecordFailure says why.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

extern std::string RecordFolder;  // empty: no records

// Starts the record of `test` ("random-access-both") with these column names; a clock
// column follows them (base/record_format.h). The settings the test runs with go into
// the notes at the end, followed by the operator, the serial number and the store's
// geometry. A record still open is ended first.
void StartRecord(const std::string& test, const std::vector<std::string>& columns,
                 const std::vector<std::string>& settings = {});
// One row: the cells in the order of the columns; the clock time is added.
void RecordRow(const std::vector<std::string>& cells);
// A comment line, written after the rows: a line of the summary.
void RecordNote(const std::string& text);
// A line of a test's summary: at column 10 of the screen (no line end), and in the record.
void WriteSummaryLine(const std::string& text);
// Notes the settings and the end, and closes the file.
void EndRecord();
// Rows written since StartRecord.
int RecordedRows();
// Why the record of the test now running (or run last) was given up ("No space left on
// device"); empty while it works. Every failure, with its file, is noted for the way out
// (base/farewell.h).
const std::string& RecordFailure();

// No folder, no record open, no failure: as at start.
void ResetRecords();

// Cells: hundredths as seconds with two decimals ("2.34"), a yes or a no.
std::string SecondsCell(int64_t hundredths);
std::string YesNo(bool yes);
// A text as one CSV cell: bytes outside printable ASCII written as \r, \n, \xNN; quoted
// when it holds a comma, a quote or blanks at either end.
std::string CsvCell(const std::string& text);
