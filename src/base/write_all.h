// Writing a whole buffer to a descriptor, retrying after signals; gives up when the far
// end is gone or full. Safe inside a signal handler (write() only).
#pragma once
#include <cstddef>

namespace base {

// False when the far end is gone or full.
bool WriteAll(int fd, const char* data, size_t size);

}  // namespace base
