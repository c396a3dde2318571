// A file replaced whole or not at all: the new text goes under a passing name beside it,
// is flushed, then renamed over it, so a reader never sees half of it and a failed write
// leaves the old file as it was.
#pragma once
#include <string>
#include <string_view>

namespace base {

// Empty when it worked, else why not (strerror's text). `hidden` names the passing file:
// ".hidden-XXXXXX". The file is as readable as the umask lets any new file be.
std::string ReplaceFile(const std::string& path, std::string_view text, const std::string& hidden);

}  // namespace base
