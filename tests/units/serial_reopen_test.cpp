// The real serial device on pseudo-terminals: the fast read's end, and a line that goes
// away and comes back at the same path, as an adapter unplugged and plugged in again or
// a simulator restarted on the same link.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

#include "base/clock.h"
#include "comLib3/line_log.h"
#include "comLib3/serial.h"
#include "comLib3/serial_posix.h"

namespace {

constexpr int64_t kWindow = 55000;

int64_t Now() {
  return base::TheClock().NowMicros();
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
};

// A read that may end at "\r\n" ends there; one whose end never comes, or comes only as
// far as the CR, or is a lone LF, reads its whole window; the plain read always does.
TEST(SerialLineEnd, AFastReadEndsWhenTheLineEndHasArrived) {
  struct Case {
    const char* first;
    const char* later;  // sent 10 ms after the read began
    bool fast;
    std::string got;
    bool wholeWindow;
  } cases[] = {
      {"CC\r\n", "", true, "CC\r\n", false}, {"CC\r\n", "", false, "CC\r\n", true},
      {"CC", "", true, "CC", true},          {"CC\r", "\n", true, "CC\r\n", false},
      {"CC\r", "", true, "CC\r", true},      {"\r\nCC", "", true, "\r\nCC", true},
      {"CC\n", "", true, "CC\n", true},
  };
  FarEnd far;
  int error = 0;
  auto device = OpenPosixSerial(far.slave, error);
  ASSERT_TRUE(device && device->Configure(LineSettings{}, error)) << error;
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.first) + "|" + c.later + (c.fast ? " fast" : " faithful"));
    device->Purge();
    far.Send(c.first);
    std::thread later([&] {
      usleep(10000);
      if (*c.later) far.Send(c.later);
    });
    const int64_t start = Now();
    const std::string got =
        c.fast ? device->ReadUntil(50, kWindow, "\r\n") : device->Read(50, kWindow);
    const int64_t took = Now() - start;
    later.join();
    EXPECT_EQ(got, c.got);
    if (c.wholeWindow)
      EXPECT_GE(took, kWindow);
    else
      EXPECT_LT(took, 40000) << "ended at the line end";
  }
}

class SerialReopen : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("pxn32-reopen-" + std::to_string(getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
    link_ = (dir_ / "line").string();
    SetSerialOpener([this](int, int& e) {
      ++opens_;
      return OpenPosixSerial(link_, e);
    });
  }
  void TearDown() override {
    CloseComPort(1);
    StopLineLog();
    SetSerialOpener(nullptr);
    std::filesystem::remove_all(dir_);
  }
  void LinkTo(const FarEnd& far) {
    std::filesystem::remove(link_);
    std::filesystem::create_symlink(far.slave, link_);
  }
  // One request on port 1 as the exchange makes it: purge, write, read the window.
  std::string Request(const std::string& text) {
    PurgeComPort(1);
    SerialDevice* device = ComDevice(1);
    if (!device) return "no device";
    device->Write(text);
    return device->Read(50, kWindow);
  }

  std::filesystem::path dir_;
  std::string link_;
  int opens_ = 0;
};

// The line's far end closes: requests answer empty at once. The link left behind is not
// followed, not even once another terminal has the number it points to; a new link to
// nothing is tried every quarter second; a link to a new far end is opened at once, with
// the line's settings and exclusively, and the log tells the story.
TEST_F(SerialReopen, AVanishedLineIsOpenedAgainWhenItsPathReturns) {
  auto first = std::make_unique<FarEnd>();
  LinkTo(*first);
  const std::string firstSlave = first->slave;
  const std::string log = (dir_ / "line.log").string();
  ASSERT_TRUE(StartLineLog(log, "header"));
  ASSERT_EQ(OpenComPort(1, 9600, 'E', 1, 8), 0);
  EXPECT_EQ(Request("CR\r"), "");
  EXPECT_EQ(first->Received(), "CR\r");

  first.reset();    // the simulator is killed: its link dangles
  Request("CR\r");  // notices the hang-up
  opens_ = 0;
  auto requestFor = [&](int64_t micros) {
    for (const int64_t since = Now(); Now() - since < micros; usleep(20000)) {
      const int64_t start = Now();
      EXPECT_EQ(Request("CR\r"), "");
      EXPECT_LT(Now() - start, 5000) << "a line that is away answers at once";
    }
  };
  requestFor(300000);
  EXPECT_EQ(opens_, 0) << "the old link leads nowhere, or to whoever has its number next";
  std::vector<std::unique_ptr<FarEnd>> others;  // other programs' terminals
  while (others.size() < 8 && (others.empty() || others.back()->slave != firstSlave))
    others.push_back(std::make_unique<FarEnd>());
  requestFor(300000);
  EXPECT_EQ(opens_, 0);
  for (const auto& other : others) EXPECT_EQ(other->Received(), "") << other->slave;

  std::filesystem::remove(link_);  // a new link, to a device not there yet
  std::filesystem::create_symlink("/dev/pts/99999", link_);
  requestFor(600000);
  EXPECT_GE(opens_, 2);
  EXPECT_LE(opens_, 3) << "tried every quarter second, not at every request";

  FarEnd second;  // back at the same path, on a new device
  LinkTo(second);
  const int64_t back = Now();
  std::string heard;
  while (heard.empty() && Now() - back < 1000000) {
    Request("CR\r");
    heard = second.Received();
  }
  EXPECT_EQ(heard, "CR\r");
  EXPECT_LT(Now() - back, 500000) << "opened again within a quarter second and a request";
  second.Send("CC\r\n");
  EXPECT_EQ(ComDevice(1)->Read(50, kWindow), "CC\r\n");

  int error = 0;
  EXPECT_EQ(OpenPosixSerial(link_, error), nullptr) << "the reopened line is held exclusively";
  EXPECT_EQ(error, EBUSY);
  termios tio{};
  int look = open(second.slave.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(tcgetattr(look, &tio), 0);
  close(look);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u) << "raw again, as the line was set up";
  EXPECT_EQ(tio.c_cc[VMIN], 0);

  CloseComPort(1);
  std::ifstream in(log);
  std::vector<std::string> events;
  for (std::string entry; std::getline(in, entry);)
    events.push_back(entry.substr(entry.find("  ") + 2));
  const std::vector<std::string> expected = {"header", "port 1  opened, 9600 baud 8E1",
                                             "port 1  line gone", "port 1  line back",
                                             "port 1  closed"};
  EXPECT_EQ(events, expected);
}

}  // namespace
