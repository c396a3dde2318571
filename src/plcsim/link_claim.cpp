#include "plcsim/link_claim.h"

#include <limits.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace plcsim {
namespace {

// The path as every plcsim names it, whichever folder it was started in: the link
// itself may not exist yet, so its folder is resolved.
std::string AbsolutePath(const std::string& path) {
  const size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  char resolved[PATH_MAX];
  if (!realpath(folder.c_str(), resolved)) return path;
  return std::string(resolved) + "/" + name;
}

// FNV-1a: a path of any length fits the socket's name.
uint64_t Fingerprint(const std::string& text) {
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace

int ClaimLinkPath(const std::string& path, bool& busy) {
  busy = false;
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  char name[64];
  const int length =
      std::snprintf(name, sizeof name, "plcsim-link-%016llx",
                    static_cast<unsigned long long>(Fingerprint(AbsolutePath(path))));
  std::memcpy(address.sun_path + 1, name, static_cast<size_t>(length));  // abstract: a 0 first
  const auto size = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0) {
    busy = errno == EADDRINUSE;
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace plcsim
