// The real serial line on POSIX termios.
#pragma once
#include <memory>
#include <string>

#include "comLib3/serial_device.h"

// The device that port n names by default: /dev/ttyS(n-1).
std::string PortDevicePath(int port);
// Opens a serial device for exclusive use; null with the system error code on failure.
std::unique_ptr<SerialDevice> OpenPosixSerial(const std::string& path, int& errorCode);
