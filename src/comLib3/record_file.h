// Files the console writes as it goes (the line log, the test records): each line goes
// to the system in one write the moment it is complete, so that however the program
// ends the file holds whole lines. The first failure (a full disk, a folder that isn't
// there or can't be written) closes the file for good and keeps the reason.
#pragma once
#include <string>
#include <string_view>

#include "base/clock.h"

class RecordFile {
 public:
  RecordFile() = default;
  RecordFile(const RecordFile&) = delete;
  RecordFile& operator=(const RecordFile&) = delete;
  ~RecordFile() { Close(); }

  // Opens `path` for appending; with `fresh` the file must not exist yet. Only a regular
  // file or a terminal is taken.
  bool Open(const std::string& path, bool fresh);
  // Writes `line` and a line end; false (and closed) when it could not be written whole.
  bool Append(std::string_view line);
  void Close();
  // Closes it and forgets the failure.
  void Forget();
  bool IsOpen() const { return fd_ >= 0; }
  const std::string& Path() const { return path_; }
  // Why the file was given up, e.g. "No space left on device"; empty while it works.
  const std::string& Failure() const { return failure_; }
  int FailureCode() const { return failureCode_; }  // errno of the failure, 0 while it works

 private:
  bool Fail(int error, const char* why = nullptr);
  bool FailMidLine(int error, size_t written);

  int fd_ = -1;
  std::string path_;
  std::string failure_;
  int failureCode_ = 0;
};

// "2026-12-06 10:00:00.123"
std::string StampText(const base::WallTime& t);
// Appends the escape of a carriage return, line feed (\r, \n) or other byte outside
// printable ASCII (\xNN) to `out`; false, appending nothing, for a printable byte.
bool AppendControlEscape(unsigned char c, std::string& out);
// The bytes with backslash, double quote and every byte outside printable ASCII
// written as escapes: \r, \n, \t, \\, \", \xNN.
std::string EscapedBytes(std::string_view bytes);
