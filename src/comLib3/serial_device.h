// The seam to the serial line: a real termios device in a run, a wire straight to the
// simulated controller under test.
#pragma once
#include <cstdint>
#include <functional>
#include <memory>
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
  virtual void Write(std::string_view bytes) = 0;
  // Returns when `maxBytes` have arrived or `windowMicros` after the call began, with
  // what has arrived. A vanished device answers empty at once.
  virtual std::string Read(size_t maxBytes, int64_t windowMicros) = 0;
};

// Opens port n; on failure returns null and sets the system error code.
using SerialOpener = std::function<std::unique_ptr<SerialDevice>(int port, int& errorCode)>;
void SetSerialOpener(SerialOpener opener);
const SerialOpener& TheSerialOpener();
