#include "base/standard_fds.h"

#include <fcntl.h>
#include <unistd.h>

namespace base {

unsigned HoldStandardDescriptors() {
  unsigned closed = 0;
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) >= 0) continue;
    closed |= 1u << fd;
    // The lowest free number is this one, as every lower one is open by now.
    int held = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (held >= 0 && held != fd) {
      dup2(held, fd);
      close(held);
    }
  }
  return closed;
}

}  // namespace base
