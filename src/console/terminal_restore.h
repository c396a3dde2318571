// The terminal's state for the whole run: raw mode in, the original settings back out
// on every way the process can end, and the notices the signal handlers leave for the
// back end.
#pragma once

namespace console::terminal {

// Hooks the way out (the serial lines released, the terminal restored) to exit,
// std::terminate and every signal whose default action ends the program, and watches the
// signals that stop, continue or resize it. Once per process; call before
// TakeOverTerminal.
void InstallExitHooks();
// Saves the settings of the tty on standard input and puts it in raw mode (signals from
// Ctrl-C and Ctrl-\ stay on). Without a tty only the output side is managed.
void TakeOverTerminal();
// True once after a signal asked for a full repaint (SIGCONT, SIGWINCH).
bool TakeRepaintRequest();
// True once after the terminal changed its size.
bool TakeResizeNotice();

}  // namespace console::terminal
