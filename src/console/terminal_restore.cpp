#include "console/terminal_restore.h"

#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <exception>

#include "base/write_all.h"
#include "console/terminal.h"

namespace console::terminal {
namespace {

// Everything the restore routine touches is prepared beforehand: inside a signal
// handler it may only write() and tcsetattr().
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

void OnEndingSignal(int sig) {
  RestoreTerminal();
  raise(sig);  // SA_RESETHAND put the default action back: it ends the process on return
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
  raise(sig);  // stops here until SIGCONT
  sigaction(sig, &ours, nullptr);
  errno = savedErrno;
}

void OnContinueSignal(int) {
  int savedErrno = errno;
  if (resumeRaw.exchange(false) || active.load()) {
    ApplyRawMode();  // a shell may have changed the modes while we were stopped
    active.store(true);
    repaintRequested.store(true);
  }
  errno = savedErrno;
}

void OnResizeSignal(int) {
  resized.store(true);
  repaintRequested.store(true);
}

void OnTerminate() {
  RestoreTerminal();
  if (previousTerminate) previousTerminate();
  std::abort();
}

void RestoreAtExit() {
  RestoreTerminal();
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
  for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) Catch(sig, OnEndingSignal, SA_RESETHAND, true);
  for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT})
    Catch(sig, OnEndingSignal, SA_RESETHAND, false);
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

bool HaveTty() {
  return haveTermios;
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
