// Numbered serial ports: open with line settings, purge, close.
#pragma once
#include <array>
#include <cstdint>
#include <memory>

#include <functional>

#include "base/serial_device.h"

// Opens port n; on failure returns null and sets the system error code.
using SerialOpener = std::function<std::unique_ptr<SerialDevice>(int port, int& errorCode)>;
void SetSerialOpener(SerialOpener opener);

constexpr int kMaxPorts = 128;
// Open devices by port number, entries 1 to 128; an empty entry is an invalid handle.
extern std::array<std::unique_ptr<SerialDevice>, kMaxPorts + 1> ComHandles;

// A port whose device went away tries to open it again this often, from the calls below.
constexpr int64_t kReopenIntervalMicros = 250000;

// The open device of a port, or null. A device that went away is opened again here once
// its path is back (see kReopenIntervalMicros); until then it answers empty at once.
SerialDevice* ComDevice(int port);
int32_t OpenComPort(int port, uint16_t baud, char parity, int stopBits, uint8_t dataBits);
void PurgeComPort(int port);
void CloseComPort(int port);
// Every port closed and no way to open one: as at start.
void ResetSerialPorts();
