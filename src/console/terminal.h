// The real terminal as the console's back end: raw tty for the whole run, ANSI output,
// code page 437 glyphs, PC key codes, and the terminal restored on every way out.
#pragma once
#include <memory>
#include <string>

#include "console/backend.h"

namespace console {

// Why the console can't run on the standard descriptors, or empty when it can: input
// or output closed (`closedFds` as base::HoldStandardDescriptors reports them), output
// that is not a terminal, or a terminal that can't place its cursor (TERM=dumb).
std::string WhyNoTerminal(unsigned closedFds);
// Takes over the terminal on standard input and output. Returns null with an error
// text when that is impossible.
std::unique_ptr<Backend> StartTerminal(std::string& error);
// Puts the terminal back as it was found; idempotent and safe inside a signal handler.
void RestoreTerminal();

}  // namespace console
