// The seam to the serial line: a real termios device in a run, a wire straight to the
// simulated controller under test. Here, below the console, so that the simulator can
// serve a line without it.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

struct LineSettings {
  unsigned baud = 9600;
  char parity = 'E';  // already upper-cased: 'E', 'O' or anything else for none
  int stopBits = 1;   // 1 or 2
  int dataBits = 8;
};

class SerialDevice {
 public:
  virtual ~SerialDevice() = default;
  // Applies the line settings; false (with errno-style code) when the device refused them.
  virtual bool Configure(const LineSettings& settings, int& errorCode) = 0;
  // Discards whatever waits in both directions.
  virtual void Purge() = 0;
  // Hands the bytes to the port; they may still be on their way out when it returns.
  virtual void Write(std::string_view bytes) = 0;
  // Returns once everything written has left the port: at 9600 baud 8E1 a character
  // takes 11/9600 s, so a request of n characters is n x 1.15 ms on the line.
  virtual void Drain() {}
  // Returns when `maxBytes` have arrived or `windowMicros` after the call began, with
  // what has arrived. A vanished device answers empty at once.
  virtual std::string Read(size_t maxBytes, int64_t windowMicros) = 0;
  // As Read, and also returns as soon as what has arrived ends with `end`. A device that
  // cannot tell reads the whole window, which is never wrong, only slower.
  virtual std::string ReadUntil(size_t maxBytes, int64_t windowMicros, std::string_view end) {
    (void)end;
    return Read(maxBytes, windowMicros);
  }
  // True once the device has gone away (a hang-up, an adapter unplugged): from then on it
  // answers empty at once, and only a new open of its path can bring the line back.
  virtual bool Lost() const { return false; }
  // Whether what its path leads to now may be taken for this device come back. False
  // where the path may lead to someone else's device by now.
  virtual bool MayReopen() const { return true; }
};

