#include "comLib3/serial_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <exception>

#include "base/clock.h"
#include "console/terminal_restore.h"

constexpr int64_t kWindow = 55000;
const std::string kLine = std::string("WR DM100 65535\r") + '\0' + "\x7f\xff\n";

// The test holds the master end of a pseudo-terminal: the far end of the line.
class PosixSerial : public ::testing::Test {
 protected:
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  std::string path = grantpt(master) == 0 && unlockpt(master) == 0 ? ptsname(master) : "";
  ~PosixSerial() override { CloseMaster(); }
  void CloseMaster() {
    if (master >= 0) close(master);
    master = -1;
  }
  void Send(std::string s) { ASSERT_EQ(size_t(write(master, s.data(), s.size())), s.size()); }
  std::string Received(size_t count) {  // waits for `count` bytes, at most a second
    std::string got;
    char buf[256];
    for (int i = 0; got.size() < count && i < 100; ++i) {
      pollfd p{master, POLLIN, 0};
      ssize_t n;
      if (poll(&p, 1, 10) > 0 && (n = read(master, buf, sizeof buf)) > 0) got.append(buf, n);
    }
    return got;
  }
  std::unique_ptr<SerialDevice> Open() {
    int error = 0;
    auto device = OpenPosixSerial(path, error);
    EXPECT_TRUE(device && device->Configure(LineSettings{}, error)) << error;
    return device;
  }
  static int64_t Now() { return base::TheClock().NowMicros(); }
};

TEST_F(PosixSerial, RawBytesBothWaysWithReadWindowAndPurge) {
  auto device = Open();
  ASSERT_TRUE(device);
  device->Write(kLine);
  EXPECT_EQ(Received(kLine.size()), kLine);  // no CR/LF mapping, no dropped bytes
  Send("CC\r\n");
  int64_t start = Now();
  EXPECT_EQ(device->Read(4, 5000000), "CC\r\n");
  EXPECT_LT(Now() - start, 2500000) << "the byte count ends the read";
  for (std::string reply : {"1234\r\n", ""}) {  // fewer than asked: the whole window
    Send(reply);
    start = Now();
    EXPECT_EQ(device->Read(50, kWindow), reply);
    EXPECT_GE(Now() - start, kWindow);
  }
  Send("late answer\r\n");
  usleep(20000);
  device->Purge();
  Send("CC\r\n");
  EXPECT_EQ(device->Read(4, kWindow), "CC\r\n");
}

TEST_F(PosixSerial, EveryOpenConfiguresAndASecondOpenIsBusy) {
  for (int open = 0; open < 3; ++open) {
    auto device = Open();
    ASSERT_TRUE(device);
    device->Write(kLine);
    EXPECT_EQ(Received(kLine.size()), kLine);
  }
  auto first = Open();
  int error = 0;
  EXPECT_EQ(OpenPosixSerial(path, error), nullptr);
  EXPECT_EQ(error, EBUSY);
  first.reset();
  EXPECT_TRUE(OpenPosixSerial(path, error)) << error;
}

TEST_F(PosixSerial, FailuresCarryTheSystemErrorCode) {
  EXPECT_EQ(PortDevicePath(1) + PortDevicePath(128), "/dev/ttyS0/dev/ttyS127");
  int error = 0;
  for (auto [path, code] : {std::pair{"/dev/null", ENOTTY}, {"/dev/ttyS-none", ENOENT}}) {
    EXPECT_EQ(OpenPosixSerial(path, error), nullptr) << path;
    EXPECT_EQ(error, code) << path;
  }
  auto device = Open();
  ASSERT_TRUE(device);
  for (LineSettings bad : {LineSettings{9601, 'E', 1, 8}, LineSettings{9600, 'E', 1, 9}}) {
    EXPECT_FALSE(device->Configure(bad, error));
    EXPECT_EQ(error, EINVAL);
  }
  EXPECT_TRUE(device->Configure(LineSettings{9600, 'O', 2, 7}, error)) << error;
}

TEST_F(PosixSerial, VanishedLineAnswersEmptyAtOnceFromThenOn) {
  auto device = Open();
  ASSERT_TRUE(device);
  CloseMaster();
  device->Read(50, kWindow);  // notices the hang-up
  for (int exchange = 0; exchange < 3; ++exchange) {
    int64_t start = Now();
    device->Purge();
    device->Write("CR\r");
    EXPECT_EQ(device->Read(50, kWindow), "");
    EXPECT_LT(Now() - start, kWindow) << "a dead line must not cost the read window";
  }
}

// Ends like a program with the line open: by a signal, at exit, or on std::terminate.
[[noreturn]] void OpenTheLineAndEnd(const std::string& path, int how) {
  const rlimit noCore{0, 0};
  setrlimit(RLIMIT_CORE, &noCore);
  int error = 0;
  auto device = OpenPosixSerial(path, error);
  if (!device) _exit(90);
  std::set_terminate(std::abort);  // quietly, where the C++ run-time would print a note
  console::terminal::InstallExitHooks();
  if (how == 0) std::exit(3);
  if (how < 0) std::terminate();
  kill(getpid(), how);
  _exit(91);
}

// The far end stays held, as a server holds it; the flag then outlives the process that
// set it unless the process clears it on its way out. SIGKILL runs no code: the server
// must free the line then.
TEST_F(PosixSerial, EveryWayOutThatRunsCodeLetsGoOfTheLine) {
  int held = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  const int ways[] = {SIGINT,  SIGTERM, SIGHUP,       SIGPIPE, SIGUSR1, SIGUSR2,
                      SIGALRM, SIGQUIT, SIGRTMIN + 2, 0,       -1,      SIGKILL};
  for (int how : ways) {  // a signal; 0 exit(3); -1 std::terminate
    SCOPED_TRACE(how > 0 ? strsignal(how) : how == 0 ? "exit" : "std::terminate");
    pid_t child = fork();
    if (child == 0) OpenTheLineAndEnd(path, how);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    if (how == 0) {
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << "the child's end: " << status;
    } else {
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == (how > 0 ? how : SIGABRT))
          << "the child's end: " << status;
    }
    int exclusive = -1;
    ASSERT_EQ(ioctl(held, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive != 0, how == SIGKILL) << "the line's exclusive-use flag";
    ioctl(held, TIOCNXCL);
  }
  close(held);
}
