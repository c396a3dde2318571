#include "comLib3/serial_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <string>

#include "base/clock.h"
#include "base/held_lines.h"

namespace {

// Longest a write may wait for room in the output buffer before the rest is dropped;
// 256 bytes take about 0.3 s at 9600 baud.
constexpr int64_t kWriteDeadlineMicros = 1000000;

bool SpeedFor(unsigned baud, speed_t& speed) {
  struct Entry {
    unsigned baud;
    speed_t speed;
  };
  static const Entry kSpeeds[] = {
      {300, B300},     {600, B600},       {1200, B1200},     {2400, B2400},
      {4800, B4800},   {9600, B9600},     {19200, B19200},   {38400, B38400},
      {57600, B57600}, {115200, B115200}, {230400, B230400},
  };
  for (const Entry& e : kSpeeds) {
    if (e.baud == baud) {
      speed = e.speed;
      return true;
    }
  }
  return false;
}

bool SizeFor(int dataBits, tcflag_t& size) {
  switch (dataBits) {
    case 5:
      size = CS5;
      return true;
    case 6:
      size = CS6;
      return true;
    case 7:
      size = CS7;
      return true;
    case 8:
      size = CS8;
      return true;
    default:
      return false;
  }
}

// Holds DTR and RTS off. Pseudo-terminals have no modem lines and refuse the ioctl;
// that is fine, there is nothing to drop on them.
void DropModemLines(int fd) {
  int lines = TIOCM_DTR | TIOCM_RTS;
  (void)ioctl(fd, TIOCMBIC, &lines);
}

// Pseudo-terminals have none.
bool HasModemLines(int fd) {
  int lines = 0;
  return ioctl(fd, TIOCMGET, &lines) == 0;
}

// Sleeps in poll until `events` or the deadline; a deadline in the past polls once.
int PollUntil(int fd, short events, int64_t deadline, short& revents) {
  int64_t left = deadline - base::TheClock().NowMicros();
  if (left < 0) left = 0;
  timespec wait{static_cast<time_t>(left / 1000000), static_cast<long>(left % 1000000) * 1000};
  pollfd p{fd, events, 0};
  int n = ppoll(&p, 1, &wait, nullptr);
  revents = p.revents;
  return n;
}

// The system hands a pseudo-terminal's number to the next terminal that opens; its slaves
// have these majors (UNIX98_PTY_SLAVE_MAJOR and the ones after it).
bool IsPseudoTerminal(dev_t device) {
  return major(device) >= 136 && major(device) <= 143;
}

// A link as it was when the line was opened: the same link still there has not been made
// anew for a new device.
struct LinkStamp {
  bool isLink = false;
  dev_t dev = 0;
  ino_t ino = 0;
  timespec changed{};
  bool operator==(const LinkStamp& o) const {
    return isLink == o.isLink && dev == o.dev && ino == o.ino &&
           changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
  }
};

LinkStamp StampOf(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return {};
  return {S_ISLNK(st.st_mode), st.st_dev, st.st_ino, st.st_ctim};
}

class PosixSerial : public SerialDevice {
 public:
  PosixSerial(int fd, std::string path, bool pseudoTerminal)
      : fd_(fd), path_(std::move(path)), pseudoTerminal_(pseudoTerminal), link_(StampOf(path_)) {
    base::HoldLine(fd);
  }
  ~PosixSerial() override { Close(); }

  bool Configure(const LineSettings& settings, int& errorCode) override;
  void Purge() override {
    if (fd_ >= 0) tcflush(fd_, TCIOFLUSH);
  }
  void Write(std::string_view bytes) override;
  void Drain() override;
  std::string Read(size_t maxBytes, int64_t windowMicros) override {
    return ReadUntil(maxBytes, windowMicros, {});
  }
  std::string ReadUntil(size_t maxBytes, int64_t windowMicros, std::string_view end) override;
  bool Lost() const override { return fd_ < 0; }
  bool MayReopen() const override;

 private:
  void Close();
  bool IsHangUp(int error) const { return error == EIO || error == ENXIO; }

  int fd_;
  std::string path_;
  bool pseudoTerminal_;  // what the path led to when it was opened
  LinkStamp link_;
};

// A serial adapter's node (or a link to it) leads to a serial adapter again. A
// pseudo-terminal's number may belong to another program's terminal by now: it is taken
// back only through a link made anew since, as plcsim makes its link each time it starts.
bool PosixSerial::MayReopen() const {
  if (!pseudoTerminal_) return true;
  const LinkStamp now = StampOf(path_);
  return link_.isLink && now.isLink && !(now == link_);
}

void PosixSerial::Close() {
  if (fd_ < 0) return;
  base::LetGoOfLine(fd_);
  (void)ioctl(fd_, TIOCNXCL);
  close(fd_);  // also lets go of the flock
  fd_ = -1;
}

bool PosixSerial::Configure(const LineSettings& settings, int& errorCode) {
  if (fd_ < 0) {
    errorCode = EIO;
    return false;
  }
  termios tio{};
  if (tcgetattr(fd_, &tio) != 0) {
    errorCode = errno;
    return false;
  }
  if (!LineTermios(settings, tio)) {
    errorCode = EINVAL;
    return false;
  }
  // Not read back: pseudo-terminals take the call but keep their own size and parity,
  // and the C library may then report EINVAL although everything else was applied.
  if (tcsetattr(fd_, TCSANOW, &tio) != 0 && !(errno == EINVAL && !HasModemLines(fd_))) {
    errorCode = errno;
    return false;
  }
  DropModemLines(fd_);
  return true;
}

void PosixSerial::Write(std::string_view bytes) {
  const int64_t deadline = base::TheClock().NowMicros() + kWriteDeadlineMicros;
  while (fd_ >= 0 && !bytes.empty()) {
    ssize_t n = write(fd_, bytes.data(), bytes.size());
    if (n > 0) {
      bytes.remove_prefix(static_cast<size_t>(n));
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      short revents = 0;
      if (PollUntil(fd_, POLLOUT, deadline, revents) == 0) return;  // line stuck: give up
      if (revents & (POLLHUP | POLLERR | POLLNVAL)) Close();
      continue;
    }
    if (n < 0 && IsHangUp(errno)) Close();
    return;
  }
}

// The UART sends at its own pace whatever the driver holds; with no flow control of any
// kind it always gets through, so the wait is the transmit time of what was written.
void PosixSerial::Drain() {
  while (fd_ >= 0 && tcdrain(fd_) != 0) {
    if (errno == EINTR) continue;
    if (IsHangUp(errno)) Close();
    return;
  }
}

std::string PosixSerial::ReadUntil(size_t maxBytes, int64_t windowMicros, std::string_view end) {
  std::string got;
  if (fd_ < 0) return got;  // a vanished device answers at once
  const int64_t deadline = base::TheClock().NowMicros() + windowMicros;
  char buffer[256];
  while (fd_ >= 0 && got.size() < maxBytes) {
    short revents = 0;
    int ready = PollUntil(fd_, POLLIN, deadline, revents);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) break;  // the window is over (or poll itself failed)
    if (revents & POLLIN) {
      size_t want = std::min(sizeof buffer, maxBytes - got.size());
      ssize_t n = read(fd_, buffer, want);
      if (n > 0) {
        got.append(buffer, static_cast<size_t>(n));
        if (!end.empty() && got.ends_with(end)) break;
        if (base::TheClock().NowMicros() >= deadline) break;
        continue;
      }
      if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      // Readable yet nothing to read, or EIO/ENXIO: the device has gone.
      if (n == 0 || IsHangUp(errno)) Close();
      break;
    }
    if (revents & (POLLHUP | POLLERR | POLLNVAL)) Close();
    break;
  }
  return got;
}

}  // namespace

bool LineTermios(const LineSettings& settings, termios& tio) {
  speed_t speed;
  tcflag_t size;
  if (!SpeedFor(settings.baud, speed) || !SizeFor(settings.dataBits, size)) return false;
  cfmakeraw(&tio);
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  // Received bytes are taken as they come: no parity check, no marking, no stripping.
  tio.c_iflag &= ~(INPCK | IGNPAR | PARMRK | ISTRIP | IXON | IXOFF | IXANY);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio.c_cflag |= size | CLOCAL | CREAD;
  if (settings.parity == 'E' || settings.parity == 'O') tio.c_cflag |= PARENB;
  if (settings.parity == 'O') tio.c_cflag |= PARODD;
  if (settings.stopBits == 2) tio.c_cflag |= CSTOPB;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  return true;
}

std::string PortDevicePath(int port) {
  return "/dev/ttyS" + std::to_string(port - 1);
}

std::unique_ptr<SerialDevice> OpenPosixSerial(const std::string& path, int& errorCode) {
  int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    errorCode = errno;
    return nullptr;
  }
  auto fail = [&](int error) -> std::unique_ptr<SerialDevice> {
    close(fd);
    errorCode = error;
    return nullptr;
  };
  if (!isatty(fd)) return fail(ENOTTY);
  // Another program holding the line means the line is busy, whatever flock says.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return fail(errno == EWOULDBLOCK ? EBUSY : errno);
  if (ioctl(fd, TIOCEXCL) != 0 && errno != ENOTTY && errno != EINVAL) return fail(errno);
  DropModemLines(fd);
  struct stat st {};
  const bool pseudoTerminal = fstat(fd, &st) == 0 && IsPseudoTerminal(st.st_rdev);
  return std::make_unique<PosixSerial>(fd, path, pseudoTerminal);
}
