#include "comLib3/serial.h"

#include <cerrno>
#include <string>

#include "console/console.h"

std::array<std::unique_ptr<SerialDevice>, kMaxPorts + 1> ComHandles;

namespace {
SerialOpener opener;

bool ValidPort(int port) { return port >= 1 && port <= kMaxPorts; }
}  // namespace

void SetSerialOpener(SerialOpener o) { opener = std::move(o); }
const SerialOpener& TheSerialOpener() { return opener; }

SerialDevice* ComDevice(int port) { return ValidPort(port) ? ComHandles[port].get() : nullptr; }

int32_t OpenComPort(int port, uint16_t baud, char parity, int stopBits, uint8_t dataBits) {
  int error = ENOENT;  // a port number outside the table is a port that isn't there
  std::unique_ptr<SerialDevice> device;
  if (ValidPort(port) && opener) device = opener(port, error);
  if (!device) {
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
  return configured ? 0 : configError;
}

void PurgeComPort(int port) {
  if (SerialDevice* device = ComDevice(port)) device->Purge();
}

void CloseComPort(int port) {
  if (ValidPort(port)) ComHandles[port].reset();
}
