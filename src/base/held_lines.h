// The serial lines this process holds for its exclusive use. Every way out that can
// still run code lets go of them, so that the next program can open them: a
// pseudo-terminal keeps its exclusive-use flag while anyone holds its other end,
// whatever became of the process that set it.
#pragma once

namespace base {

// Notes an open line; a process holding more than 16 lines releases the first 16.
void HoldLine(int fd);
// Forgets the line; call before closing it, so that its number is not released later.
void LetGoOfLine(int fd);
// Clears the exclusive-use flag and drops DTR and RTS on every line held. Safe inside a
// signal handler: system calls only.
void ReleaseHeldLines();

}  // namespace base
