// The line settings as the device gets them. No pseudo-terminal shows parity, stop bits
// or flow control, so these tests read the terminal settings the program builds.
#include <termios.h>

#include <string>

#include "KV_Lib3/plc_port.h"
#include "comLib3/serial.h"
#include "comLib3/serial_posix.h"
#include "plcsim/sim_serial.h"
#include "support/virtual_world.h"

namespace {

struct Flag {
  const char* name;
  tcflag_t termios::*word;
  tcflag_t mask;
  bool on;
};

// What every line gets, whatever the device had before: raw both ways, receiver on,
// modem lines ignored, no flow control, received bytes unchecked.
const Flag kEveryLine[] = {
    {"CREAD", &termios::c_cflag, CREAD, true},      {"CLOCAL", &termios::c_cflag, CLOCAL, true},
    {"CRTSCTS", &termios::c_cflag, CRTSCTS, false}, {"CMSPAR", &termios::c_cflag, CMSPAR, false},
    {"IXON", &termios::c_iflag, IXON, false},       {"IXOFF", &termios::c_iflag, IXOFF, false},
    {"IXANY", &termios::c_iflag, IXANY, false},     {"INPCK", &termios::c_iflag, INPCK, false},
    {"IGNPAR", &termios::c_iflag, IGNPAR, false},   {"PARMRK", &termios::c_iflag, PARMRK, false},
    {"ISTRIP", &termios::c_iflag, ISTRIP, false},   {"ICRNL", &termios::c_iflag, ICRNL, false},
    {"INLCR", &termios::c_iflag, INLCR, false},     {"IGNCR", &termios::c_iflag, IGNCR, false},
    {"BRKINT", &termios::c_iflag, BRKINT, false},   {"OPOST", &termios::c_oflag, OPOST, false},
    {"ICANON", &termios::c_lflag, ICANON, false},   {"ECHO", &termios::c_lflag, ECHO, false},
    {"ECHONL", &termios::c_lflag, ECHONL, false},   {"ISIG", &termios::c_lflag, ISIG, false},
    {"IEXTEN", &termios::c_lflag, IEXTEN, false},
};

// A device left in every mode at once, and one left in none.
termios AllSet() {
  termios tio{};
  tio.c_iflag = tio.c_oflag = tio.c_cflag = tio.c_lflag = ~tcflag_t{0};
  for (cc_t& c : tio.c_cc) c = 0xFF;
  return tio;
}

TEST(LineTermios, EveryFlagOfTheLineWhateverTheDeviceHadBefore) {
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
  for (const auto& c : cases) {
    for (termios tio : {AllSet(), termios{}}) {
      SCOPED_TRACE(testing::Message()
                   << c.settings.baud << " " << c.settings.parity << c.settings.dataBits
                   << c.settings.stopBits << (tio.c_iflag ? " from all set" : " from none set"));
      ASSERT_TRUE(LineTermios(c.settings, tio));
      EXPECT_EQ(cfgetispeed(&tio), c.speed) << "input speed";
      EXPECT_EQ(cfgetospeed(&tio), c.speed) << "output speed";
      EXPECT_EQ(tio.c_cflag & CSIZE, c.size) << "character size";
      EXPECT_EQ((tio.c_cflag & PARENB) != 0, c.parity) << "PARENB";
      EXPECT_EQ((tio.c_cflag & PARODD) != 0, c.odd) << "PARODD";
      EXPECT_EQ((tio.c_cflag & CSTOPB) != 0, c.twoStops) << "CSTOPB";
      for (const Flag& flag : kEveryLine)
        EXPECT_EQ((tio.*flag.word & flag.mask) != 0, flag.on) << flag.name;
      EXPECT_EQ(tio.c_cc[VMIN], 0) << "VMIN";
      EXPECT_EQ(tio.c_cc[VTIME], 0) << "VTIME";
    }
  }
}

using PortSettingsTest = VirtualWorld;

// The settings the device is asked for, from the arguments of the open.
LineSettings AskedFor() {
  auto* device = dynamic_cast<plcsim::SimSerialDevice*>(ComDevice(1));
  return device ? device->Settings() : LineSettings{0, '?', 0, 0};
}

std::string Text(const LineSettings& s) {
  return std::to_string(s.baud) + " " + std::to_string(s.dataBits) + s.parity +
         std::to_string(s.stopBits);
}

TEST_F(PortSettingsTest, TheControllersPortAsksFor9600EightBitsEvenParityOneStopBit) {
  EXPECT_EQ(OpenPlcPort(1), 0);
  EXPECT_EQ(Text(AskedFor()), "9600 8E1");
}

TEST_F(PortSettingsTest, ParityLettersAndStopBitSelectorsAsTheOpenReadsThem) {
  struct Case {
    char parity;
    int stopBits;
    const char* asked;
  } cases[] = {{'e', 1, "1200 7E1"}, {'O', 2, "1200 7O2"}, {'o', 3, "1200 7O1"},
               {'N', 0, "1200 7N1"}, {'x', 2, "1200 7N2"}, {'E', -1, "1200 7E1"}};
  for (const auto& c : cases) {
    ASSERT_EQ(OpenComPort(1, 1200, c.parity, c.stopBits, 7), 0);
    EXPECT_EQ(Text(AskedFor()), c.asked) << c.parity << " " << c.stopBits;
    CloseComPort(1);
  }
}

}  // namespace
