// The real serial device against a pseudo-terminal whose master end the test holds.
#include "comLib3/serial_posix.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>

#include "console/clock.h"

namespace {

constexpr int64_t kWindow = 55000;
constexpr int64_t kNotHours = 10 * 1000000;  // any sane read ends well within this

// The far end of the line: a pty master the test writes replies into and reads from.
class PtyPair {
 public:
  PtyPair() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
    char name[128];
    if (ptsname_r(master_, name, sizeof name) == 0) path_ = name;
  }
  ~PtyPair() { CloseMaster(); }
  const std::string& Path() const { return path_; }
  void Send(const std::string& bytes) {
    ASSERT_EQ(write(master_, bytes.data(), bytes.size()), ssize_t(bytes.size()));
  }
  // Reads what the device wrote, waiting until `count` bytes came or a second passed.
  std::string Received(size_t count) {
    std::string got;
    char buffer[256];
    for (int polls = 0; got.size() < count && polls < 100; ++polls) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 10) <= 0) continue;
      ssize_t n = read(master_, buffer, sizeof buffer);
      if (n > 0) got.append(buffer, size_t(n));
    }
    return got;
  }
  void CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }

 private:
  int master_ = -1;
  std::string path_;
};

std::unique_ptr<SerialDevice> OpenConfigured(const std::string& path) {
  int error = 0;
  auto device = OpenPosixSerial(path, error);
  EXPECT_TRUE(device) << "error " << error;
  if (device) {
    int configError = 0;
    EXPECT_TRUE(device->Configure(LineSettings{}, configError)) << configError;
  }
  return device;
}

int64_t Now() { return console::TheClock().NowMicros(); }

TEST(PosixSerial, BytesWrittenArriveExactlyAtTheFarEnd) {
  PtyPair pty;
  auto device = OpenConfigured(pty.Path());
  ASSERT_TRUE(device);
  const std::string line = std::string("WR DM100 65535\r") + '\0' + "\x7f\xff\n";
  device->Write(line);
  EXPECT_EQ(pty.Received(line.size()), line);  // raw: no CR/LF mapping, no dropped bytes
}

TEST(PosixSerial, ReadEndsAtTheByteLimitOrAfterTheWholeWindow) {
  PtyPair pty;
  auto device = OpenConfigured(pty.Path());
  ASSERT_TRUE(device);

  pty.Send("CC\r\n");
  int64_t start = Now();
  EXPECT_EQ(device->Read(4, kWindow), "CC\r\n");
  EXPECT_LT(Now() - start, kNotHours);

  pty.Send("1234\r\n");
  start = Now();
  EXPECT_EQ(device->Read(50, kWindow), "1234\r\n");  // fewer than asked: the window runs out
  EXPECT_GE(Now() - start, kWindow);
  EXPECT_LT(Now() - start, kNotHours);

  start = Now();
  EXPECT_EQ(device->Read(50, kWindow), "");
  EXPECT_GE(Now() - start, kWindow);
}

TEST(PosixSerial, PurgeDiscardsWhatWaitsForReading) {
  PtyPair pty;
  auto device = OpenConfigured(pty.Path());
  ASSERT_TRUE(device);
  pty.Send("late answer\r\n");  usleep(20000);  // let the pty deliver it
  device->Purge();
  pty.Send("CC\r\n");
  EXPECT_EQ(device->Read(4, kWindow), "CC\r\n");
}

TEST(PosixSerial, PseudoTerminalTakesTheControllerSettingsOnEveryOpen) {
  PtyPair pty;
  for (int open = 0; open < 3; ++open) {
    auto device = OpenConfigured(pty.Path());
    ASSERT_TRUE(device);
    device->Write("CR\r");
    EXPECT_EQ(pty.Received(3), "CR\r");
  }
}

TEST(PosixSerial, SecondOpenOfADeviceInUseIsBusy) {
  PtyPair pty;
  auto first = OpenConfigured(pty.Path());
  ASSERT_TRUE(first);
  int error = 0;
  EXPECT_EQ(OpenPosixSerial(pty.Path(), error), nullptr);
  EXPECT_EQ(error, EBUSY);

  first.reset();  // closing lets the next program in
  EXPECT_TRUE(OpenPosixSerial(pty.Path(), error)) << error;
}

TEST(PosixSerial, OpenFailuresCarryTheSystemErrorCode) {
  EXPECT_EQ(PortDevicePath(1), "/dev/ttyS0");
  EXPECT_EQ(PortDevicePath(128), "/dev/ttyS127");
  struct Case {
    const char* path;
    int error;
  } cases[] = {
      {"/dev/null", ENOTTY},
      {"/dev/ttyS-no-such-device", ENOENT},
  };
  for (const Case& c : cases) {
    int error = 0;
    EXPECT_EQ(OpenPosixSerial(c.path, error), nullptr) << c.path;
    EXPECT_EQ(error, c.error) << c.path;
  }
}

TEST(PosixSerial, UnknownBaudOrByteSizeIsRefused) {
  PtyPair pty;
  int error = 0;
  auto device = OpenPosixSerial(pty.Path(), error);
  ASSERT_TRUE(device);
  for (LineSettings bad : {LineSettings{9601, 'E', 1, 8}, LineSettings{9600, 'E', 1, 9}}) {
    EXPECT_FALSE(device->Configure(bad, error));
    EXPECT_EQ(error, EINVAL);
  }
  EXPECT_TRUE(device->Configure(LineSettings{9600, 'O', 2, 7}, error)) << error;
}

TEST(PosixSerial, VanishedLineAnswersEmptyAtOnceFromThenOn) {
  PtyPair pty;
  auto device = OpenConfigured(pty.Path());
  ASSERT_TRUE(device);
  pty.CloseMaster();

  device->Read(50, kWindow);  // notices the hang-up
  for (int exchange = 0; exchange < 3; ++exchange) {
    int64_t start = Now();
    device->Purge();
    device->Write("CR\r");
    EXPECT_EQ(device->Read(50, kWindow), "");
    EXPECT_LT(Now() - start, kWindow) << "a dead line must not cost the read window";
  }
}

}  // namespace
