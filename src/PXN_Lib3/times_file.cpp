#include "PXN_Lib3/times_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "PXN_Lib3/globals.h"
#include "base/clock.h"
#include "base/farewell.h"
#include "base/replace_file.h"

std::string TimesFile;

namespace {

constexpr char kHeading[] =
    "# pxn32 positioning times: carousel position, then hundredths of a second from home";
constexpr std::string_view kStoreNote = "# store SNr. ";
constexpr std::string_view kTaughtNote = ", taught ";
// Far more than 56 lines of comments and times: anything larger is not a times file.
constexpr off_t kLargestFile = 64 * 1024;

std::string saveFailure;

std::string_view Trimmed(std::string_view s) {
  const size_t first = s.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// A whole decimal number at the start of `s`; the rest of `s` is what follows it.
bool TakeNumber(std::string_view& s, int32_t& value) {
  s = Trimmed(s);
  const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (error != std::errc() || (end != s.data() + s.size() && *end != ' ' && *end != '\t'))
    return false;
  s.remove_prefix(static_cast<size_t>(end - s.data()));
  return true;
}

// "# store SNr. 1234, taught 2026-12-07 14:05": the store and the date, when it is that.
void ReadStoreNote(std::string_view line, TimesText& file) {
  if (!line.starts_with(kStoreNote)) return;
  line.remove_prefix(kStoreNote.size());
  const size_t comma = line.find(kTaughtNote);
  std::string_view serial = line.substr(0, comma);
  int32_t value = 0;
  if (TakeNumber(serial, value) && Trimmed(serial).empty()) file.serialNo = value;
  if (comma != std::string_view::npos)
    file.taught = Trimmed(line.substr(comma + kTaughtNote.size()));
}

std::string Line(int number) {
  return "line " + std::to_string(number) + ": ";
}

// The whole file in `text`; empty when it could be read, else why not. `missing` when
// there is no such file.
std::string ReadTimesFile(const std::string& path, std::string& text, bool& missing) {
  // Not blocking, so a FIFO nobody writes can't hold the start.
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  missing = fd < 0 && errno == ENOENT;
  if (fd < 0) return std::strerror(errno);
  struct stat st {};
  std::string why;
  if (fstat(fd, &st) != 0) {
    why = std::strerror(errno);
  } else if (!S_ISREG(st.st_mode)) {
    why = "not a regular file";
  } else if (st.st_size > kLargestFile) {
    why = "too large for a times file";
  } else {
    text.resize(static_cast<size_t>(st.st_size));
    const ssize_t n = read(fd, text.data(), text.size());
    if (n < 0) why = std::strerror(errno);
    text.resize(n < 0 ? 0 : static_cast<size_t>(n));
  }
  close(fd);
  return why;
}

// Where a save goes: the file a symbolic link points to, so the link stays.
std::string SaveTarget(const std::string& path) {
  std::error_code error;
  const std::filesystem::path target = std::filesystem::canonical(path, error);
  return error ? path : target.string();
}

}  // namespace

std::string ParseTimesText(std::string_view text, TimesText& file) {
  file = TimesText{};
  bool given[kPositioningTimeCount + 1] = {};
  int entries = 0, number = 0;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    const std::string_view line = Trimmed(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++number;
    if (line.empty()) continue;
    if (line.front() == '#') {
      ReadStoreNote(line, file);
      continue;
    }
    std::string_view rest = line;
    int32_t position = 0, time = 0;
    if (!TakeNumber(rest, position) || !TakeNumber(rest, time) || !Trimmed(rest).empty())
      return Line(number) + "not a position and its hundredths";
    if (!IsTaughtPosition(position))
      return Line(number) + "position " + std::to_string(position) + ", the table holds 1 to " +
             std::to_string(kPositioningTimeCount);
    if (time < 0) return Line(number) + "negative time " + std::to_string(time);
    if (given[position]) return Line(number) + "position " + std::to_string(position) + " again";
    given[position] = true;
    file.times[static_cast<size_t>(position)] = time;
    ++entries;
  }
  return entries ? "" : "no times in it";
}

std::string FormatTimesText(const TimesTable& times, int32_t positions, int32_t serialNo,
                            const std::string& taught) {
  std::string text = std::string(kHeading) + "\n" + std::string(kStoreNote) +
                     std::to_string(serialNo) + std::string(kTaughtNote) + taught + "\n";
  for (int32_t p = 1; p <= positions && IsTaughtPosition(p); ++p)
    text += std::to_string(p) + " " + std::to_string(times[static_cast<size_t>(p)]) + "\n";
  return text;
}

std::string SaveTextFile(const std::string& path, const std::string& text) {
  const std::string target = SaveTarget(path);
  struct stat st {};
  if (stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return "not a regular file";
  return base::ReplaceFile(target, text, "times");
}

std::string LoadTaughtTimes(int32_t serialNo) {
  if (TimesFile.empty()) return "";
  const std::string head = "Positioning times " + TimesFile + ": ";
  std::string text;
  bool missing = false;
  std::string why = ReadTimesFile(TimesFile, text, missing);
  if (missing) return head + "none yet, untaught until 4 teaches them";
  TimesText file;
  if (why.empty()) why = ParseTimesText(text, file);
  if (!why.empty()) return head + why + "; untaught";
  PositioningTimes = file.times;
  if (serialNo != kSerialUnknown && file.serialNo != kSerialUnknown && file.serialNo != serialNo)
    return head + "taught on SNr. " + std::to_string(file.serialNo) + ", not this store's " +
           std::to_string(serialNo) + "; used all the same";
  return head + "loaded" + (file.taught.empty() ? "" : ", taught " + file.taught);
}

void SaveTaughtTimes() {
  if (TimesFile.empty()) return;
  // Every position of the store, and any taught beyond it (the left carousel's last).
  int32_t positions = PositionCount;
  for (int32_t p = 1; p <= kPositioningTimeCount; ++p)
    if (PositioningTimes[static_cast<size_t>(p)] != 0) positions = std::max(positions, p);
  const base::WallTime t = base::TheClock().Wall();
  char taught[32];
  std::snprintf(taught, sizeof taught, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour,
                t.minute);
  saveFailure =
      SaveTextFile(TimesFile, FormatTimesText(PositioningTimes, positions, SerialNo, taught));
  if (saveFailure.empty()) return base::SetNote(base::Note::kTimes, "");
  std::error_code error;
  const bool kept = std::filesystem::exists(TimesFile, error);
  base::SetNote(base::Note::kTimes, "pxn32: --times " + TimesFile + ": the times taught at " +
                                        (taught + 11) + " were not saved: " + saveFailure +
                                        (kept ? "; the file is as it was" : ""));
}

const std::string& TimesFileFailure() {
  return saveFailure;
}

void ResetTimesFile() {
  TimesFile.clear();
  saveFailure.clear();
  base::SetNote(base::Note::kTimes, "");
}
