#include "base/replace_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/write_all.h"

namespace base {

std::string ReplaceFile(const std::string& path, std::string_view text, const std::string& hidden) {
  const std::filesystem::path folder = std::filesystem::path(path).parent_path();
  std::string temporary = (folder / ("." + hidden + "-XXXXXX")).string();
  const int fd = mkstemp(temporary.data());
  if (fd < 0) return std::strerror(errno);
  const mode_t mask = umask(0);  // mkstemp makes it private
  umask(mask);
  // Flushed before the rename, so a power cut never leaves an empty file in its place.
  const bool written = WriteAll(fd, text.data(), text.size()) && fchmod(fd, 0666 & ~mask) == 0 &&
                       fsync(fd) == 0;
  const int error = errno;
  if (close(fd) != 0 || !written || std::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string why = std::strerror(written ? errno : error);
    unlink(temporary.c_str());
    return why;
  }
  return "";
}

}  // namespace base
