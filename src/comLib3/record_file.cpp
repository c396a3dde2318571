#include "comLib3/record_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

// Only a regular file or a terminal is taken: anything else would swallow the lines or
// block on them. A FIFO is turned down before it is opened (opening it could wait for a
// reader), and the open itself never blocks.
bool RecordFile::Open(const std::string& path, bool fresh) {
  constexpr char kNotAFile[] = "not a regular file or a terminal";
  Close();
  path_ = path;
  failure_.clear();
  failureCode_ = 0;
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISCHR(st.st_mode) &&
      !S_ISDIR(st.st_mode))
    return Fail(EINVAL, kNotAFile);
  const int flags =
      O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK | (fresh ? O_EXCL : 0);
  fd_ = open(path.c_str(), flags, 0644);
  if (fd_ < 0) return Fail(errno);
  if (fstat(fd_, &st) != 0) return Fail(errno);
  if (!S_ISREG(st.st_mode) && !isatty(fd_)) return Fail(EINVAL, kNotAFile);
  (void)fcntl(fd_, F_SETFL, O_WRONLY | O_APPEND);  // a terminal's writes wait their turn
  return true;
}

bool RecordFile::Fail(int error, const char* why) {
  failure_ = why ? why : std::strerror(error);
  failureCode_ = error;
  Close();
  return false;
}

// The part of a line that went in before the disk filled is taken out again, so that the
// file ends with a whole line.
bool RecordFile::FailMidLine(int error, size_t written) {
  if (written > 0) {
    const off_t end = lseek(fd_, 0, SEEK_END);
    if (end >= static_cast<off_t>(written))
      (void)!ftruncate(fd_, end - static_cast<off_t>(written));
  }
  return Fail(error);
}

bool RecordFile::Append(std::string_view line) {
  if (fd_ < 0) return false;
  std::string whole(line);
  whole += '\n';
  std::string_view left = whole;
  while (!left.empty()) {
    ssize_t n = write(fd_, left.data(), left.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return FailMidLine(n < 0 ? errno : ENOSPC, whole.size() - left.size());
    left.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

void RecordFile::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

void RecordFile::Forget() {
  Close();
  path_.clear();
  failure_.clear();
  failureCode_ = 0;
}

std::string StampText(const base::WallTime& t) {
  char text[40];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month, t.day,
                t.hour, t.minute, t.second, t.millisecond);
  return text;
}

bool AppendControlEscape(unsigned char c, std::string& out) {
  if (c == '\r') {
    out += "\\r";
  } else if (c == '\n') {
    out += "\\n";
  } else if (c < 32 || c > 126) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02X", c);
    out += hex;
  } else {
    return false;
  }
  return true;
}

std::string EscapedBytes(std::string_view bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    if (c == '\t') {
      out += "\\t";
    } else if (c == '\\' || c == '"') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (!AppendControlEscape(c, out)) {
      out += static_cast<char>(c);
    }
  }
  return out;
}
