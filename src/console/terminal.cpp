#include "console/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <deque>

#include "base/clock.h"
#include "base/write_all.h"
#include "console/terminal_cp437.h"
#include "console/terminal_keys.h"
#include "console/terminal_render.h"
#include "console/terminal_restore.h"

namespace console {
namespace {

struct Size {
  int cols = 0, rows = 0;
};

// The terminal's size now; 0 x 0 when nothing can tell.
Size QueryTerminalSize() {
  for (int fd : {STDOUT_FILENO, STDIN_FILENO}) {
    struct winsize ws {};
    if (ioctl(fd, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0 && ws.ws_row > 0)
      return Size{ws.ws_col, ws.ws_row};
  }
  return Size{};
}

// Output gone: nothing sensible is left to draw on, so the rest is dropped.
void WriteOut(const std::string& bytes) {
  base::WriteAll(STDOUT_FILENO, bytes.data(), bytes.size());
}

[[noreturn]] void StopAtEndOfInput() {
  RestoreTerminal();
  static constexpr char kMessage[] = "pxn32: end of input, stopping.\n";
  ssize_t ignored = write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
  (void)ignored;
  std::exit(1);
}

class TerminalBackend : public Backend {
 public:
  TerminalBackend(Size model, Size terminal, bool utf8)
      : model_(model), terminal_(terminal), decoder_(utf8) {
    options_.utf8 = utf8;
  }

  int Cols() const override { return model_.cols; }
  int Rows() const override { return model_.rows; }

  void Present(const Screen& screen) override {
    last_ = &screen;
    TakeSignalNotices();
    RenderOptions options = options_;
    options.termCols = terminal_.cols;
    options.termRows = terminal_.rows;
    std::string bytes = RenderFrame(shown_, screen, options);
    if (!bytes.empty()) WriteOut(bytes);
  }

  // A lone Esc is only a key once no follower came within kEscFollowerMicros; a poll
  // that finds one undecided waits for the decision, so every poll sees an Esc that
  // arrived before it.
  bool WaitKey(int64_t deadline) override {
    for (;;) {
      if (!keys_.empty()) return true;
      // A stop and continue or a resize while we wait: draw again at once.
      if (terminal::TakeRepaintRequest()) repaintPending_ = true;
      if (repaintPending_ && last_) Present(*last_);
      int64_t now = base::TheClock().NowMicros();
      int64_t wake = deadline;
      if (decoder_.Pending()) {
        int64_t due = lastByteAt_ + kEscFollowerMicros;
        if (now >= due) {
          // Whatever came meanwhile belongs to the sequence; only silence ends it.
          if (!ReadInput(0)) Queue(decoder_.Expire());
          continue;
        }
        if (deadline >= 0 && deadline < due) deadline = wake = due;
        wake = wake < 0 ? due : std::min(wake, due);
      }
      // Rounded up so a wait never ends a little early and loops; a long wait wakes hourly.
      int64_t waitMs = std::clamp<int64_t>((wake - now + 999) / 1000, 0, 3600 * 1000);
      int timeoutMs = wake < 0 ? -1 : static_cast<int>(waitMs);
      if (ReadInput(timeoutMs)) continue;
      if (deadline >= 0 && base::TheClock().NowMicros() >= deadline && !decoder_.Pending())
        return !keys_.empty();
    }
  }

  int TakeKey() override {
    if (keys_.empty()) WaitKey(-1);
    int key = keys_.front();
    keys_.pop_front();
    return key;
  }

  void Ring() override { WriteOut("\a"); }

 private:
  void TakeSignalNotices() {
    if (terminal::TakeResizeNotice()) {
      Size now = QueryTerminalSize();
      if (now.cols > 0) terminal_ = now;
    }
    if (terminal::TakeRepaintRequest()) repaintPending_ = true;
    if (repaintPending_) {
      shown_ = Frame{};  // the terminal's contents are unknown now
      repaintPending_ = false;
    }
  }

  // Waits up to `timeoutMs` (-1: no limit) for input and decodes what came. True when
  // bytes were read; false on time-out or an interrupting signal.
  bool ReadInput(int timeoutMs) {
    struct pollfd pfd {
      STDIN_FILENO, POLLIN, 0
    };
    int ready = poll(&pfd, 1, timeoutMs);
    if (ready < 0) {
      if (errno == EINTR) return false;
      StopAtEndOfInput();
    }
    if (ready == 0) return false;
    if (!(pfd.revents & POLLIN)) StopAtEndOfInput();  // hang-up, error, closed descriptor
    char buf[256];
    ssize_t n = read(STDIN_FILENO, buf, sizeof buf);
    if (n < 0 && (errno == EINTR || errno == EAGAIN)) return false;
    if (n <= 0) StopAtEndOfInput();
    lastByteAt_ = base::TheClock().NowMicros();
    Queue(decoder_.Feed(std::string_view(buf, static_cast<size_t>(n))));
    return true;
  }

  void Queue(const std::string& keys) {
    for (char c : keys) keys_.push_back(static_cast<uint8_t>(c));
  }

  Size model_, terminal_;
  RenderOptions options_;
  KeyDecoder decoder_;
  Frame shown_;
  const Screen* last_ = nullptr;
  bool repaintPending_ = false;
  std::deque<uint8_t> keys_;
  int64_t lastByteAt_ = 0;
};

bool started = false;

}  // namespace

std::string WhyNoTerminal(unsigned closedFds) {
  if (closedFds & 1) return "standard input is closed: there are no keys to read";
  if (closedFds & 2) return "standard output is closed: there is nothing to draw on";
  if (!isatty(STDOUT_FILENO)) return "standard output is not a terminal: the console draws on one";
  const char* term = std::getenv("TERM");
  if (term && std::string(term) == "dumb")
    return "the terminal (TERM=dumb) can't place its cursor: the console needs one that can";
  return "";
}

std::unique_ptr<Backend> StartTerminal(std::string& error) {
  if (started) {
    error = "the terminal is already in use";
    return nullptr;
  }
  if (fcntl(STDOUT_FILENO, F_GETFL) < 0) {
    error = "no standard output to draw on";
    return nullptr;
  }
  started = true;
  Size terminal = QueryTerminalSize();
  // The screens are laid out for at least 80 x 25, as on the PC console: a smaller
  // terminal shows the part around the cursor. The window corner is kept in one byte
  // per axis, so a screen is at most 255 wide or high.
  Size model = terminal.cols > 0
                   ? Size{std::clamp(terminal.cols, 80, 255), std::clamp(terminal.rows, 25, 255)}
                   : Size{80, 25};
  bool utf8 = LocaleIsUtf8(std::getenv("LC_ALL"), std::getenv("LC_CTYPE"), std::getenv("LANG"));
  terminal::InstallExitHooks();
  terminal::TakeOverTerminal();
  return std::make_unique<TerminalBackend>(model, terminal, utf8);
}

}  // namespace console
