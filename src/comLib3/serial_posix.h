// The real serial line on POSIX termios.
#pragma once
#include <termios.h>

#include <memory>
#include <string>

#include "base/serial_device.h"

// The device's settings `tio` changed for the line: raw bytes both ways at the baud
// rate, character size, parity and stop bits asked for; no flow control of any kind,
// no parity check of received bytes, the receiver on and the modem lines ignored; a read
// returns what has come at once. False for a baud rate or character size the line
// cannot run.
bool LineTermios(const LineSettings& settings, termios& tio);

// The device that port n names by default: /dev/ttyS(n-1).
std::string PortDevicePath(int port);
// Opens a serial device for exclusive use; null with the system error code on failure.
std::unique_ptr<SerialDevice> OpenPosixSerial(const std::string& path, int& errorCode);
