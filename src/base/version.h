// The program's version: the banner shows it and both programs print it for --version.
// It comes from the build's project version, the one place it is written.
#pragma once

namespace base {

extern const char kVersion[];

}  // namespace base
