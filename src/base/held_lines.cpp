#include "base/held_lines.h"

#include <sys/ioctl.h>

#include <atomic>
#include <cerrno>

namespace base {
namespace {

constexpr int kMaxHeld = 16;
// Each entry is a descriptor plus one, so that the zero a static starts with is free.
std::atomic<int> held[kMaxHeld];
static_assert(std::atomic<int>::is_always_lock_free);

}  // namespace

void HoldLine(int fd) {
  for (std::atomic<int>& entry : held) {
    int free = 0;
    if (entry.compare_exchange_strong(free, fd + 1)) return;
  }
}

void LetGoOfLine(int fd) {
  for (std::atomic<int>& entry : held) {
    int ours = fd + 1;
    entry.compare_exchange_strong(ours, 0);
  }
}

void ReleaseHeldLines() {
  int savedErrno = errno;
  for (std::atomic<int>& entry : held) {
    int fd = entry.load() - 1;
    if (fd < 0) continue;
    (void)ioctl(fd, TIOCNXCL);
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIC, &lines);  // pseudo-terminals have none and refuse it
  }
  errno = savedErrno;
}

}  // namespace base
