// The serial line: the settings the device gets (no pseudo-terminal shows parity, stop
// bits or flow control, so those are read off the termios the program builds), and the
// real device on pseudo-terminals: raw bytes, the read window, the fast read's end,
// exclusive use, the way out, and a line that goes away and comes back.
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <exception>
#include <filesystem>
#include <fstream>
#include <thread>

#include "KV_Lib3/plc_port.h"
#include "comLib3/line_log.h"
#include "comLib3/serial.h"
#include "comLib3/serial_posix.h"
#include "console/terminal_restore.h"
#include "plcsim/sim_serial.h"
#include "support/virtual_world.h"

namespace {

constexpr int64_t kWindow = 55000;

int64_t Now() {
  return base::TheClock().NowMicros();
}

// What every line gets, whatever the device had before: raw both ways, receiver on,
// modem lines ignored, no flow control, received bytes unchecked.
TEST(LineTermios, EveryFlagOfTheLineWhateverTheDeviceHadBefore) {
  struct Flag {
    const char* name;
    tcflag_t termios::*word;
    tcflag_t mask;
    bool on;
  };
  const Flag every[] = {
      {"CREAD", &termios::c_cflag, CREAD, true},      {"CLOCAL", &termios::c_cflag, CLOCAL, true},
      {"CRTSCTS", &termios::c_cflag, CRTSCTS, false}, {"CMSPAR", &termios::c_cflag, CMSPAR, false},
      {"IXON", &termios::c_iflag, IXON, false},       {"IXOFF", &termios::c_iflag, IXOFF, false},
      {"IXANY", &termios::c_iflag, IXANY, false},     {"INPCK", &termios::c_iflag, INPCK, false},
      {"IGNPAR", &termios::c_iflag, IGNPAR, false},   {"PARMRK", &termios::c_iflag, PARMRK, false},
      {"ISTRIP", &termios::c_iflag, ISTRIP, false},   {"ICRNL", &termios::c_iflag, ICRNL, false},
      {"OPOST", &termios::c_oflag, OPOST, false},     {"ICANON", &termios::c_lflag, ICANON, false},
      {"ECHO", &termios::c_lflag, ECHO, false},       {"ISIG", &termios::c_lflag, ISIG, false},
  };
  struct Case {
    LineSettings settings;
    speed_t speed;
    tcflag_t size;
    bool parity, odd, twoStops;
  } cases[] = {
      {{9600, 'E', 1, 8}, B9600, CS8, true, false, false},  // the controller's line
      {{19200, 'O', 2, 7}, B19200, CS7, true, true, true},
      {{300, 'N', 1, 5}, B300, CS5, false, false, false},
  };
  termios allSet{};
  allSet.c_iflag = allSet.c_oflag = allSet.c_cflag = allSet.c_lflag = ~tcflag_t{0};
  for (cc_t& c : allSet.c_cc) c = 0xFF;
  for (const auto& c : cases) {
    for (termios tio : {allSet, termios{}}) {
      SCOPED_TRACE(c.settings.baud);
      ASSERT_TRUE(LineTermios(c.settings, tio));
      EXPECT_EQ(cfgetispeed(&tio), c.speed);
      EXPECT_EQ(cfgetospeed(&tio), c.speed);
      EXPECT_EQ(tio.c_cflag & CSIZE, c.size);
      EXPECT_EQ((tio.c_cflag & PARENB) != 0, c.parity) << "PARENB";
      EXPECT_EQ((tio.c_cflag & PARODD) != 0, c.odd) << "PARODD";
      EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStops) << "CSTOPB";
      for (const Flag& flag : every) EXPECT_EQ((tio.*flag.word & flag.mask) != 0, flag.on) << flag.name;
      EXPECT_EQ(tio.c_cc[VMIN] + tio.c_cc[VTIME], 0);
    }
  }
}

using PortSettingsTest = VirtualWorld;

// The settings the device is asked for: the controller's port, and the open's letters
// and stop-bit selectors.
TEST_F(PortSettingsTest, TheControllersPortAsksFor9600EightBitsEvenParityOneStopBit) {
  auto asked = [] {
    const LineSettings s = dynamic_cast<plcsim::SimSerialDevice*>(ComDevice(1))->Settings();
    return std::to_string(s.baud) + " " + std::to_string(s.dataBits) + s.parity +
           std::to_string(s.stopBits);
  };
  ASSERT_EQ(OpenPlcPort(1), 0);
  EXPECT_EQ(asked(), "9600 8E1");
  const std::tuple<char, int, const char*> cases[] = {
      {'e', 1, "1200 7E1"}, {'O', 2, "1200 7O2"}, {'o', 3, "1200 7O1"},
      {'N', 0, "1200 7N1"}, {'x', 2, "1200 7N2"}, {'E', -1, "1200 7E1"}};
  for (const auto& [parity, stops, text] : cases) {
    ASSERT_EQ(OpenComPort(1, 1200, parity, stops, 7), 0);
    EXPECT_EQ(asked(), text);
  }
}

// The far end of a line: the master of a pseudo-terminal.
struct FarEnd {
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  std::string slave = grantpt(master) == 0 && unlockpt(master) == 0 ? ptsname(master) : "";
  ~FarEnd() { Close(); }
  void Close() {
    if (master >= 0) close(master);
    master = -1;
  }
  void Send(const std::string& s) const {
    ASSERT_EQ(write(master, s.data(), s.size()), static_cast<ssize_t>(s.size()));
  }
  std::string Received() const {  // what has come within 200 ms
    std::string got;
    char buffer[256];
    pollfd p{master, POLLIN, 0};
    for (ssize_t n; poll(&p, 1, 200) > 0 && (n = read(master, buffer, sizeof buffer)) > 0;)
      got.append(buffer, static_cast<size_t>(n));
    return got;
  }
  std::unique_ptr<SerialDevice> Open() const {
    int error = 0;
    auto device = OpenPosixSerial(slave, error);
    EXPECT_TRUE(device && device->Configure(LineSettings{}, error)) << error;
    return device;
  }
};

TEST(PosixSerial, RawBytesTheReadWindowPurgeAndExclusiveUse) {
  FarEnd far;
  auto device = far.Open();
  ASSERT_TRUE(device);
  const std::string bytes = std::string("WR DM100 65535\r") + '\0' + "\x7f\xff\n";
  device->Write(bytes);
  device->Drain();
  EXPECT_EQ(far.Received(), bytes);  // no CR/LF mapping, no dropped bytes
  far.Send("CC\r\n");
  int64_t start = Now();
  EXPECT_EQ(device->Read(4, 5000000), "CC\r\n");
  EXPECT_LT(Now() - start, 2500000) << "the byte count ends the read";
  far.Send("1234\r\n");  // fewer than asked: the whole window
  start = Now();
  EXPECT_EQ(device->Read(50, kWindow), "1234\r\n");
  EXPECT_GE(Now() - start, kWindow);
  far.Send("late answer\r\n");
  usleep(20000);
  device->Purge();
  far.Send("CC\r\n");
  EXPECT_EQ(device->Read(4, kWindow), "CC\r\n");
  int error = 0;
  EXPECT_EQ(OpenPosixSerial(far.slave, error), nullptr);
  EXPECT_EQ(error, EBUSY);
  device.reset();
  EXPECT_TRUE(OpenPosixSerial(far.slave, error)) << error;
  EXPECT_EQ(PortDevicePath(1) + PortDevicePath(128), "/dev/ttyS0/dev/ttyS127");
  for (auto [path, code] : {std::pair{"/dev/null", ENOTTY}, {"/dev/ttyS-none", ENOENT}}) {
    EXPECT_EQ(OpenPosixSerial(path, error), nullptr) << path;
    EXPECT_EQ(error, code) << path;
  }
  device = far.Open();
  for (LineSettings bad : {LineSettings{9601, 'E', 1, 8}, LineSettings{9600, 'E', 1, 9}}) {
    EXPECT_FALSE(device->Configure(bad, error));
    EXPECT_EQ(error, EINVAL);
  }
  far.Close();
  device->Read(50, kWindow);  // notices the hang-up
  start = Now();
  device->Write("CR\r");
  EXPECT_EQ(device->Read(50, kWindow), "");
  EXPECT_LT(Now() - start, kWindow) << "a dead line must not cost the read window";
}

// A read that may end at "\r\n" ends there; one whose end never comes, or comes only as
// far as the CR, or is a lone LF, reads its whole window; the plain read always does.
TEST(PosixSerial, AFastReadEndsWhenTheLineEndHasArrived) {
  const std::tuple<const char*, const char*, bool, bool> cases[] = {
      // first, sent 10 ms after the read began, fast, whole window
      {"CC\r\n", "", true, false}, {"CC\r\n", "", false, true}, {"CC", "", true, true},
      {"CC\r", "\n", true, false}, {"CC\r", "", true, true},    {"CC\n", "", true, true},
  };
  FarEnd far;
  auto device = far.Open();
  for (const auto& [first, later, fast, whole] : cases) {
    SCOPED_TRACE(std::string(first) + "|" + later + (fast ? " fast" : " faithful"));
    device->Purge();
    far.Send(first);
    std::thread then([&, later = later] {
      usleep(10000);
      if (*later) far.Send(later);
    });
    const int64_t start = Now();
    const std::string got = fast ? device->ReadUntil(50, kWindow, "\r\n") : device->Read(50, kWindow);
    const int64_t took = Now() - start;
    then.join();
    EXPECT_EQ(got, std::string(first) + later);
    EXPECT_EQ(took >= kWindow, whole) << took;
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

// The far end stays held, as a server holds it; the exclusive-use flag then outlives
// the process that set it unless the process clears it on its way out. SIGKILL runs no
// code: the server must free the line then.
TEST(PosixSerial, EveryWayOutThatRunsCodeLetsGoOfTheLine) {
  FarEnd far;
  int held = open(far.slave.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  const int ways[] = {SIGINT,  SIGTERM, SIGHUP,       SIGPIPE, SIGUSR1, SIGUSR2,
                      SIGALRM, SIGQUIT, SIGRTMIN + 2, 0,       -1,      SIGKILL};
  for (int how : ways) {  // a signal; 0 exit(3); -1 std::terminate
    SCOPED_TRACE(how);
    pid_t child = fork();
    if (child == 0) OpenTheLineAndEnd(far.slave, how);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(how == 0 ? WIFEXITED(status) && WEXITSTATUS(status) == 3
                         : WIFSIGNALED(status) && WTERMSIG(status) == (how > 0 ? how : SIGABRT));
    int exclusive = -1;
    ASSERT_EQ(ioctl(held, TIOCGEXCL, &exclusive), 0);
    EXPECT_EQ(exclusive != 0, how == SIGKILL) << "the line's exclusive-use flag";
    ioctl(held, TIOCNXCL);
  }
  close(held);
}

// The line's far end closes: requests answer empty at once. The link left behind is not
// followed, not even once another terminal has the number it points to; a new link to
// nothing is tried every quarter second; a link to a new far end is opened at once, with
// the line's settings and exclusively, and the log tells the story.
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
    SerialDevice* device = ComDevice(1);
    if (!device) return std::string("no device");
    device->Write("CR\r");
    return device->Read(50, kWindow);
  };
  auto first = std::make_unique<FarEnd>();
  const std::string firstSlave = first->slave;
  linkTo(firstSlave);
  ASSERT_TRUE(StartLineLog(dir / "line.log", "header"));
  ASSERT_EQ(OpenComPort(1, 9600, 'E', 1, 8), 0);
  EXPECT_EQ(request(), "");
  EXPECT_EQ(first->Received(), "CR\r");
  first.reset();  // the simulator is killed: its link dangles
  request();      // notices the hang-up
  opens = 0;
  auto requestFor = [&](int64_t micros) {
    for (const int64_t since = Now(); Now() - since < micros; usleep(20000)) {
      const int64_t start = Now();
      EXPECT_EQ(request(), "");
      EXPECT_LT(Now() - start, 5000) << "a line that is away answers at once";
    }
  };
  requestFor(300000);
  std::vector<std::unique_ptr<FarEnd>> others;  // other programs' terminals
  while (others.size() < 8 && (others.empty() || others.back()->slave != firstSlave))
    others.push_back(std::make_unique<FarEnd>());
  requestFor(300000);
  EXPECT_EQ(opens, 0) << "the old link leads nowhere, or to whoever has its number next";
  for (const auto& other : others) EXPECT_EQ(other->Received(), "") << other->slave;
  linkTo("/dev/pts/99999");  // a new link, to a device not there yet
  requestFor(600000);
  EXPECT_TRUE(opens >= 2 && opens <= 3) << opens << ": every quarter second, not every request";
  FarEnd second;  // back at the same path, on a new device
  linkTo(second.slave);
  const int64_t back = Now();
  std::string heard;
  while (heard.empty() && Now() - back < kSecond) request(), heard = second.Received();
  EXPECT_EQ(heard, "CR\r");
  EXPECT_LT(Now() - back, 500000) << "opened again within a quarter second and a request";
  int error = 0;
  EXPECT_EQ(OpenPosixSerial(link, error), nullptr) << "held exclusively";
  termios tio{};
  const int look = open(second.slave.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(tcgetattr(look, &tio), 0);
  close(look);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u) << "raw again, as the line was set up";
  ResetSerialPorts();
  StopLineLog();
  std::ifstream in(dir / "line.log");
  Lines events;
  for (std::string entry; std::getline(in, entry);) events.push_back(entry.substr(entry.find("  ") + 2));
  EXPECT_EQ(events, (Lines{"header", "port 1  opened, 9600 baud 8E1", "port 1  line gone",
                           "port 1  line back", "port 1  closed"}));
}

}  // namespace
