#include "plcsim/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <limits>
#include <string>
#include <thread>

#include "base/clock.h"
#include "base/write_all.h"

namespace plcsim {
namespace {

struct DueByte {
  int64_t at;
  char byte;
};

constexpr int64_t kLookAfterCloseMicros = 200000;
constexpr int64_t kLookIntervalMicros = 10000;

class PosixPtyServer : public PtyServer {
 public:
  PosixPtyServer(SimLine& line, int master, int slave, int wake, int watch, std::string path,
                 std::function<void()> afterReceiving)
      : line_(line),
        master_(master),
        slave_(slave),
        wake_(wake),
        watch_(watch),
        path_(std::move(path)),
        afterReceiving_(std::move(afterReceiving)) {
    thread_ = std::thread([this] { Serve(); });
  }
  ~PosixPtyServer() override {
    uint64_t one = 1;
    (void)!write(wake_, &one, sizeof one);
    thread_.join();
    if (watch_ >= 0) close(watch_);
    close(wake_);
    close(slave_);
    close(master_);
  }
  const std::string& SlavePath() const override { return path_; }

 private:
  void Serve();
  bool ReceiveFromMaster();
  void CollectReplies();
  void SendDueBytes();
  int64_t NextWakeMicros();
  void NoteClosings();
  void FreeLineIfAbandoned();

  SimLine& line_;  // touched by the server thread only
  int master_, slave_, wake_;
  int watch_;               // reports every close of the slave; -1 when it can't be watched
  int64_t lookUntil_ = -1;  // after a close: when to stop looking at the line's flag
  int64_t nextLook_ = -1;
  std::string path_;
  std::function<void()> afterReceiving_;
  std::deque<DueByte> due_;  // reply bytes with the time they reach the PC
  base::RealClock clock_;
  std::thread thread_;
};

void PosixPtyServer::Serve() {
  // Signals are the console's to handle, on its own thread: a restore of the terminal
  // must never run here while the console draws.
  sigset_t all;
  sigfillset(&all);
  pthread_sigmask(SIG_BLOCK, &all, nullptr);
  for (;;) {
    pollfd fds[3] = {{master_, POLLIN, 0}, {wake_, POLLIN, 0}, {watch_, POLLIN, 0}};
    int64_t wait = NextWakeMicros();
    timespec ts{static_cast<time_t>(wait / 1000000), static_cast<long>(wait % 1000000) * 1000};
    int n = ppoll(fds, 3, wait < 0 ? nullptr : &ts, nullptr);
    if (n < 0 && errno != EINTR) return;
    if (fds[1].revents) return;  // asked to stop
    if (fds[2].revents & POLLIN) NoteClosings();
    if ((fds[0].revents & POLLIN) && !ReceiveFromMaster()) return;
    // We hold the slave open, so a hang-up here means the pty itself is broken.
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL) && !(fds[0].revents & POLLIN)) return;
    SendDueBytes();
    FreeLineIfAbandoned();
  }
}

bool PosixPtyServer::ReceiveFromMaster() {
  char buffer[512];
  ssize_t n = read(master_, buffer, sizeof buffer);
  if (n > 0) {
    line_.Receive(std::string_view(buffer, static_cast<size_t>(n)), clock_.NowMicros());
    CollectReplies();
    if (afterReceiving_) afterReceiving_();
    return true;
  }
  return n < 0 && (errno == EINTR || errno == EAGAIN);
}

// Moves every reply byte the line has scheduled into our own queue, one at a time so
// each keeps its arrival time; the poll below then sleeps exactly until the next is due.
void PosixPtyServer::CollectReplies() {
  constexpr int64_t kForever = std::numeric_limits<int64_t>::max();
  for (;;) {
    int64_t at = 0;
    std::string byte = line_.Take(1, kForever, at);
    if (byte.empty()) return;
    due_.push_back(DueByte{at, byte[0]});
  }
}

// Writes the bytes whose time has come. Bytes the far end's input buffer has no room
// for are lost, as they would be on a real line nobody reads.
void PosixPtyServer::SendDueBytes() {
  int64_t now = clock_.NowMicros();
  std::string out;
  while (!due_.empty() && due_.front().at <= now) {
    out += due_.front().byte;
    due_.pop_front();
  }
  base::WriteAll(master_, out.data(), out.size());
}

// Microseconds until the next reply byte is due or the line is to be looked at; -1 when
// nothing waits.
int64_t PosixPtyServer::NextWakeMicros() {
  int64_t at = due_.empty() ? -1 : due_.front().at;
  if (lookUntil_ >= 0 && (at < 0 || nextLook_ < at)) at = nextLook_;
  if (at < 0) return -1;
  int64_t wait = at - clock_.NowMicros();
  return wait < 0 ? 0 : wait;
}

// Whether a program holds a lock on the line, as pxn32 holds one (flock) while it uses
// it. /proc/locks lists every lock with the device and inode of its file; without it the
// line counts as free.
bool LineLocked(int fd) {
  struct stat st {};
  if (fstat(fd, &st) != 0) return false;
  char id[64];
  std::snprintf(id, sizeof id, " %02x:%02x:%lu ", major(st.st_dev), minor(st.st_dev),
                static_cast<unsigned long>(st.st_ino));
  std::ifstream locks("/proc/locks");
  for (std::string entry; std::getline(locks, entry);)
    if (entry.find(id) != std::string::npos) return true;
  return false;
}

// A client that ends without clearing its exclusive-use flag (killed outright, say)
// would lock every later client out while we hold the slave: the flag belongs to the
// pseudo-terminal, not to the client's descriptor. So after every close of the slave
// the flag is cleared once no lock backs it. The close is reported a moment before the
// closing client's lock goes, hence a few looks.
void PosixPtyServer::NoteClosings() {
  alignas(inotify_event) char events[4096];
  while (read(watch_, events, sizeof events) > 0) {
  }
  nextLook_ = clock_.NowMicros();
  lookUntil_ = nextLook_ + kLookAfterCloseMicros;
}

void PosixPtyServer::FreeLineIfAbandoned() {
  const int64_t now = clock_.NowMicros();
  if (lookUntil_ < 0 || now < nextLook_) return;
  int exclusive = 0;
  (void)ioctl(slave_, TIOCGEXCL, &exclusive);
  const bool held = exclusive && LineLocked(slave_);
  if (exclusive && !held) (void)ioctl(slave_, TIOCNXCL);
  if (held && now < lookUntil_) {
    nextLook_ = now + kLookIntervalMicros;
  } else {
    lookUntil_ = -1;
  }
}

bool MakeRaw(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;
  cfmakeraw(&tio);
  tio.c_cc[VMIN] = 1;
  tio.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &tio) == 0;
}

std::string Failure(const char* what) {
  return std::string(what) + ": " + std::strerror(errno);
}

}  // namespace

std::unique_ptr<PtyServer> PtyServer::Start(SimLine& line, std::string& error,
                                            std::function<void()> afterReceiving) {
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master < 0) {
    error = Failure("posix_openpt");
    return nullptr;
  }
  auto fail = [&](const char* what, int slave) -> std::unique_ptr<PtyServer> {
    error = Failure(what);
    if (slave >= 0) close(slave);
    close(master);
    return nullptr;
  };
  if (grantpt(master) != 0) return fail("grantpt", -1);
  if (unlockpt(master) != 0) return fail("unlockpt", -1);
  char name[128];
  if (ptsname_r(master, name, sizeof name) != 0) return fail("ptsname", -1);
  // Held open for the server's life: the pty stays usable across reconnects and the
  // master never reads EIO while no client is there.
  int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) return fail("open slave", -1);
  // Raw before any client comes, so nothing the PC sends is echoed back as a reply.
  if (!MakeRaw(slave)) return fail("raw mode", slave);
  if (fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK) != 0) return fail("fcntl", slave);
  int wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wake < 0) return fail("eventfd", slave);
  int watch = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (watch >= 0 && inotify_add_watch(watch, name, IN_CLOSE) < 0) {
    close(watch);
    watch = -1;
  }
  return std::make_unique<PosixPtyServer>(line, master, slave, wake, watch, name,
                                          std::move(afterReceiving));
}

std::unique_ptr<PtyServer> ServeSimulator(const SimOptions& options, PlcModel& model, SimLine& line,
                                          std::string& error,
                                          std::function<void()> afterReceiving) {
  ApplySimOptions(options, model, line, base::RealClock().NowMicros());
  // Nobody reads the traffic logs of a served store, and a run may last for days.
  model.logRequests = false;
  line.keepWire = false;
  return PtyServer::Start(line, error, std::move(afterReceiving));
}

}  // namespace plcsim
