// The line's settings as the program builds them, and the real device on pseudo-terminals.
#include "comLib3/serial.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "comLib3/serial_posix.h"
#include "support/virtual_world.h"

namespace {

int64_t Now() {
  return base::TheClock().NowMicros();
}

// Whatever the device had before: raw, no flow control, received bytes unchecked.
TEST(LineTermios, EveryFlagOfTheLineWhateverTheDeviceHadBefore) {
  const std::tuple<LineSettings, speed_t, tcflag_t> cases[] = {
      {{9600, 'E', 1, 8}, B9600, CS8 | PARENB},  // the controller's line
      {{19200, 'O', 2, 7}, B19200, CS7 | PARENB | PARODD | CSTOPB},
      {{300, 'N', 1, 5}, B300, CS5},
  };
  termios allSet{};
  allSet.c_iflag = allSet.c_oflag = allSet.c_cflag = allSet.c_lflag = ~tcflag_t{0};
  for (cc_t& c : allSet.c_cc) c = 0xFF;
  for (const auto& [settings, speed, frame] : cases) {
    for (termios tio : {allSet, termios{}}) {
      SCOPED_TRACE(settings.baud);
      ASSERT_TRUE(LineTermios(settings, tio));
      EXPECT_EQ(std::pair(cfgetispeed(&tio), cfgetospeed(&tio)), std::pair(speed, speed));
      EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB | CMSPAR), frame);
      EXPECT_EQ(tio.c_cflag & (CREAD | CLOCAL | CRTSCTS), tcflag_t{CREAD | CLOCAL});
      EXPECT_EQ(tio.c_iflag & (IXON | IXOFF | IXANY | INPCK | IGNPAR | PARMRK | ISTRIP), 0u);
      EXPECT_EQ(tio.c_oflag & OPOST, 0u);
      EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG), 0u);
      EXPECT_EQ(tio.c_cc[VMIN] + tio.c_cc[VTIME], 0);
    }
  }
}

// The far end of a line: the master of a pseudo-terminal.
struct FarEnd {
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  std::string slave = grantpt(master) == 0 && unlockpt(master) == 0 ? ptsname(master) : "";
  ~FarEnd() { close(master); }
  std::string Received() const {  // what has come within 200 ms
    std::string got;
    char buffer[256];
    pollfd p{master, POLLIN, 0};
    for (ssize_t n; poll(&p, 1, 200) > 0 && (n = read(master, buffer, sizeof buffer)) > 0;)
      got.append(buffer, static_cast<size_t>(n));
    return got;
  }
};

// A read that may end at "\r\n" ends there; one whose end never comes, or comes only as
// far as the CR, or is a lone LF, reads its whole window; the plain read always does.
TEST(PosixSerial, AFastReadEndsWhenTheLineEndHasArrived) {
  const std::tuple<std::string, std::string, bool, bool> cases[] = {
      // first, sent 10 ms after the read began, fast, whole window
      {"CC\r\n", "", true, false}, {"CC\r\n", "", false, true}, {"CC", "", true, true},
      {"CC\r", "\n", true, false}, {"CC\r", "", true, true},    {"CC\n", "", true, true},
  };
  FarEnd far;
  SetSerialOpener([&](int, int& e) { return OpenPosixSerial(far.slave, e); });
  ASSERT_EQ(OpenComPort(1, 9600, 'E', 1, 8), 0);  // raw: the CR comes through as it is
  SerialDevice* device = ComDevice(1);
  constexpr int64_t kWindow = 55000;
  for (const auto& [first, later, fast, whole] : cases) {
    SCOPED_TRACE(first + "|" + later + (fast ? " fast" : " faithful"));
    device->Purge();
    ASSERT_EQ(write(far.master, first.data(), first.size()), static_cast<ssize_t>(first.size()));
    std::thread then([&, later = later] {
      usleep(10000);
      if (!later.empty()) (void)!write(far.master, later.data(), later.size());
    });
    const int64_t start = Now();
    const std::string got =
        fast ? device->ReadUntil(50, kWindow, "\r\n") : device->Read(50, kWindow);
    const int64_t took = Now() - start;
    then.join();
    EXPECT_EQ(got, first + later);
    EXPECT_EQ(took >= kWindow, whole) << took;
  }
  ResetSerialPorts();
}

// A line gone answers empty; its link left behind is not followed, even once another
// terminal has its number; a link to a new far end is opened at once, exclusively.
TEST(SerialReopen, AVanishedLineIsOpenedAgainWhenItsPathReturns) {
  TempDir dir;
  const std::string link = dir / "line";
  int opens = 0;
  SetSerialOpener([&](int, int& e) { return ++opens, OpenPosixSerial(link, e); });
  auto linkTo = [&](const std::string& target) {
    std::filesystem::remove(link);
    std::filesystem::create_symlink(target, link);
  };
  auto request = [] {  // as the exchange makes it
    PurgeComPort(1);
    ComDevice(1)->Write("CR\r");
    return ComDevice(1)->Read(50, 55000);
  };
  auto first = std::make_unique<FarEnd>();
  const std::string firstSlave = first->slave;
  linkTo(firstSlave);
  ASSERT_EQ(OpenComPort(1, 9600, 'E', 1, 8), 0);
  EXPECT_EQ(request(), "");
  EXPECT_EQ(first->Received(), "CR\r");
  first.reset();  // the simulator is killed: its link dangles
  request();      // notices the hang-up
  opens = 0;
  std::vector<std::unique_ptr<FarEnd>> others;  // other programs' terminals
  while (others.size() < 8 && (others.empty() || others.back()->slave != firstSlave))
    others.push_back(std::make_unique<FarEnd>());
  for (const int64_t since = Now(); Now() - since < 600000; usleep(20000)) EXPECT_EQ(request(), "");
  EXPECT_EQ(opens, 0) << "the old link leads nowhere, or to whoever has its number next";
  for (const auto& other : others) EXPECT_EQ(other->Received(), "") << other->slave;
  FarEnd second;  // back at the same path, on a new device
  linkTo(second.slave);
  const int64_t back = Now();
  std::string heard;
  while (heard.empty() && Now() - back < kSecond) {
    request();
    heard = second.Received();
  }
  EXPECT_EQ(heard, "CR\r");
  EXPECT_LT(Now() - back, 500000) << "opened again within a quarter second and a request";
  int error = 0, exclusive = 0;
  EXPECT_EQ(OpenPosixSerial(link, error), nullptr) << "held exclusively";
  const int held = open(second.slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);  // root may
  EXPECT_TRUE(ioctl(held, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) << "the exclusive flag";
  close(held);
  ResetSerialPorts();
}

}  // namespace
