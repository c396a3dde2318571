#include "comLib3/serial.h"

#include <cerrno>
#include <string>

#include "base/clock.h"
#include "comLib3/line_log.h"
#include "console/console.h"

std::array<std::unique_ptr<SerialDevice>, kMaxPorts + 1> ComHandles;

namespace {

// What a port needs to come back after its device went away: the settings it was opened
// with, and when it was last tried.
struct PortState {
  LineSettings settings;
  bool lost = false;
  int64_t lastTry = 0;
};
std::array<PortState, kMaxPorts + 1> ports;

SerialOpener opener;

bool ValidPort(int port) { return port >= 1 && port <= kMaxPorts; }

std::string SettingsText(const LineSettings& s) {
  return std::to_string(s.baud) + " baud " + std::to_string(s.dataBits) + s.parity +
         std::to_string(s.stopBits);
}

// A device that went away is opened again by its path, exclusively and with the same
// settings, as a serial terminal does when an adapter is plugged back in, once the path
// leads to it again (MayReopen). Tried from the calls that use the port, at most every
// kReopenIntervalMicros, so a line that stays away costs a look a quarter of a second and
// no waiting.
void ReopenIfLost(int port) {
  SerialDevice* device = ComHandles[port].get();
  if (!device || !device->Lost() || !opener) return;
  PortState& state = ports[port];
  const int64_t now = base::TheClock().NowMicros();
  if (!state.lost) {
    state.lost = true;
    LogPortEvent(port, "line gone");
  } else if (now - state.lastTry < kReopenIntervalMicros) {
    return;
  }
  state.lastTry = now;
  if (!device->MayReopen()) return;
  int error = 0;
  std::unique_ptr<SerialDevice> fresh = opener(port, error);
  if (!fresh) return;
  int configError = 0;
  const bool configured = fresh->Configure(state.settings, configError);
  ComHandles[port] = std::move(fresh);
  state.lost = false;
  LogPortEvent(port, configured
                         ? "line back"
                         : "line back, settings refused: error " + std::to_string(configError));
}

}  // namespace

void SetSerialOpener(SerialOpener o) { opener = std::move(o); }

SerialDevice* ComDevice(int port) {
  if (!ValidPort(port)) return nullptr;
  ReopenIfLost(port);
  return ComHandles[port].get();
}

int32_t OpenComPort(int port, uint16_t baud, char parity, int stopBits, uint8_t dataBits) {
  int error = ENOENT;  // a port number outside the table is a port that isn't there
  std::unique_ptr<SerialDevice> device;
  if (ValidPort(port) && opener) device = opener(port, error);
  if (!device) {
    LogPortEvent(port, "not opened: error " + std::to_string(error));
    Write("Invalid Port Number: " + std::to_string(port) + "   E" + std::to_string(error));
    ReadKey();
    return error;
  }
  LineSettings settings;
  settings.baud = baud;
  char p = static_cast<char>(parity >= 'a' && parity <= 'z' ? parity - 32 : parity);
  settings.parity = (p == 'E' || p == 'O') ? p : 'N';
  settings.stopBits = stopBits == 2 ? 2 : 1;
  settings.dataBits = dataBits;
  int configError = 0;
  bool configured = device->Configure(settings, configError);
  ComHandles[port] = std::move(device);
  ports[port] = PortState{settings};
  LogPortEvent(port,
               "opened, " + SettingsText(settings) +
                   (configured ? "" : ", settings refused: error " + std::to_string(configError)));
  return configured ? 0 : configError;
}

void PurgeComPort(int port) {
  if (SerialDevice* device = ComDevice(port)) device->Purge();
}

void CloseComPort(int port) {
  if (!ValidPort(port)) return;
  if (ComHandles[port]) LogPortEvent(port, "closed");
  ComHandles[port].reset();
  ports[port] = PortState{};
}

void ResetSerialPorts() {
  for (int port = 1; port <= kMaxPorts; ++port) CloseComPort(port);
  opener = nullptr;
}
