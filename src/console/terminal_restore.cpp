#include "console/terminal_restore.h"

#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <exception>

#include "base/farewell.h"
#include "base/held_lines.h"
#include "base/write_all.h"
#include "console/terminal.h"

namespace console::terminal {
namespace {

// Everything the way out touches is prepared beforehand: inside a signal handler it may
// only make system calls (write, tcsetattr, ioctl).
constexpr char kReset[] = "\x1b[0m\x1b[?25h\x1b[?7h\x1b[999;1H\r\n";
struct termios savedTermios {};
struct termios rawTermios {};
bool haveTermios = false;
std::atomic<bool> active{false};     // raw mode and our screen are in place
std::atomic<bool> resumeRaw{false};  // stopped by SIGTSTP: take the terminal back
std::atomic<bool> repaintRequested{false};
std::atomic<bool> resized{false};
std::terminate_handler previousTerminate = nullptr;
static_assert(std::atomic<bool>::is_always_lock_free);

void ApplyRawMode() {
  if (haveTermios) tcsetattr(STDIN_FILENO, TCSANOW, &rawTermios);
}

// Every way out that runs code: the serial lines let go of, the terminal as it was, and
// then what the run has to say (a log or record that failed, the simulated store's books).
void LeaveCleanly() {
  base::ReleaseHeldLines();
  RestoreTerminal();
  base::SayFarewell();
}

void OnEndingSignal(int sig) {
  LeaveCleanly();
  struct sigaction dfl {};
  dfl.sa_handler = SIG_DFL;
  sigaction(sig, &dfl, nullptr);  // as SA_RESETHAND did already, where the system honours it
  raise(sig);                     // the default action ends the process once we return
}

// Whether a signal's default action ends the process; the others stop it, continue it
// or do nothing.
bool EndsTheProcess(int sig) {
  switch (sig) {
    case SIGCHLD:
    case SIGCONT:
    case SIGSTOP:
    case SIGTSTP:
    case SIGTTIN:
    case SIGTTOU:
    case SIGURG:
    case SIGWINCH:
    case SIGKILL:
      return false;
    default:
      return true;
  }
}

// Signals raised by a fault of the program itself; ignoring them is no choice a parent
// can make for us.
bool IsFault(int sig) {
  return sig == SIGSEGV || sig == SIGBUS || sig == SIGFPE || sig == SIGILL || sig == SIGABRT ||
         sig == SIGTRAP || sig == SIGSYS;
}

// Raw mode again after a stop, and everything drawn anew: a shell may have changed the
// modes and written over the screen meanwhile.
void TakeTerminalBack() {
  if (resumeRaw.exchange(false) || active.load()) {
    ApplyRawMode();
    active.store(true);
    repaintRequested.store(true);
  }
}

void OnStopSignal(int sig) {
  int savedErrno = errno;
  if (active.load()) resumeRaw.store(true);
  RestoreTerminal();
  struct sigaction dfl {
  }, ours{};
  dfl.sa_handler = SIG_DFL;
  sigaction(sig, &dfl, &ours);
  sigset_t unblock;
  sigemptyset(&unblock);
  sigaddset(&unblock, sig);
  sigprocmask(SIG_UNBLOCK, &unblock, nullptr);
  raise(sig);  // stops here until SIGCONT, whose handler runs before raise returns
  sigaction(sig, &ours, nullptr);
  // Not stopped at all: the system keeps a process group that no shell could continue
  // (started without job control) running, and the terminal must come back all the same.
  if (resumeRaw.load()) TakeTerminalBack();
  errno = savedErrno;
}

void OnContinueSignal(int) {
  int savedErrno = errno;
  TakeTerminalBack();
  errno = savedErrno;
}

void OnResizeSignal(int) {
  resized.store(true);
  repaintRequested.store(true);
}

void OnTerminate() {
  LeaveCleanly();
  if (previousTerminate) previousTerminate();
  std::abort();
}

void RestoreAtExit() {
  LeaveCleanly();
}

void Catch(int sig, void (*handler)(int), int flags, bool keepIgnored) {
  struct sigaction old {};
  sigaction(sig, nullptr, &old);
  if (keepIgnored && old.sa_handler == SIG_IGN) return;  // e.g. started under nohup
  struct sigaction sa {};
  sa.sa_handler = handler;
  sa.sa_flags = flags;
  sigemptyset(&sa.sa_mask);
  sigaction(sig, &sa, nullptr);
}

}  // namespace

void InstallExitHooks() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  std::atexit(RestoreAtExit);
  previousTerminate = std::set_terminate(OnTerminate);
  // Every signal that would end us, so that none leaves the terminal raw or the line
  // held: Ctrl-C, kill, a closed terminal, a closed pipe, timers, the user signals, the
  // real-time ones and the faults. The system refuses the few it keeps for itself.
  for (int sig = 1; sig <= SIGRTMAX; ++sig)
    if (EndsTheProcess(sig)) Catch(sig, OnEndingSignal, SA_RESETHAND, !IsFault(sig));
  Catch(SIGTSTP, OnStopSignal, SA_RESTART, true);
  Catch(SIGCONT, OnContinueSignal, SA_RESTART, false);
  Catch(SIGWINCH, OnResizeSignal, SA_RESTART, false);
}

void TakeOverTerminal() {
  if (isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &savedTermios) == 0) {
    rawTermios = savedTermios;
    rawTermios.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON);
    rawTermios.c_oflag &= ~OPOST;
    rawTermios.c_lflag &= ~(ECHO | ECHONL | ICANON | IEXTEN);  // ISIG stays
    rawTermios.c_cflag &= ~(CSIZE | PARENB);
    rawTermios.c_cflag |= CS8;
    rawTermios.c_cc[VMIN] = 1;
    rawTermios.c_cc[VTIME] = 0;
    haveTermios = true;
  }
  ApplyRawMode();
  active.store(true);
}

bool TakeRepaintRequest() {
  return repaintRequested.exchange(false);
}
bool TakeResizeNotice() {
  return resized.exchange(false);
}

}  // namespace console::terminal

namespace console {

void RestoreTerminal() {
  if (!terminal::active.exchange(false)) return;
  int savedErrno = errno;
  base::WriteAll(STDOUT_FILENO, terminal::kReset, sizeof terminal::kReset - 1);
  if (terminal::haveTermios) tcsetattr(STDIN_FILENO, TCSANOW, &terminal::savedTermios);
  errno = savedErrno;
}

}  // namespace console
