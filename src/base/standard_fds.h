// Descriptors 0, 1 and 2 are the program's keyboard, screen and messages. One that was
// closed when the program started would be taken by the next file opened (a serial
// line, the simulator's pseudo-terminal), and the screen would be drawn onto it.
#pragma once

namespace base {

// Opens /dev/null onto each of descriptors 0 to 2 that is closed. Returns the closed
// ones as bits: 1 standard input, 2 standard output, 4 standard error.
unsigned HoldStandardDescriptors();

}  // namespace base
