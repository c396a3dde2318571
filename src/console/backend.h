// The seam between the console services and the outside world: the terminal in a
// real run, an in-memory screen with scripted keys under test.
#pragma once
#include <cstdint>

#include "console/screen.h"

namespace console {

class Backend {
 public:
  virtual ~Backend() = default;
  virtual int Cols() const = 0;  // screen size found at start-up
  virtual int Rows() const = 0;
  // Brings the display up to date with the model.
  virtual void Present(const Screen& screen) = 0;
  // Waits until a key byte is ready or the clock reaches the deadline (monotonic
  // microseconds). A negative deadline waits for ever. True when a key is ready.
  virtual bool WaitKey(int64_t deadlineMicros) = 0;
  // Takes one key byte; call only after WaitKey answered true.
  virtual int TakeKey() = 0;
  virtual void Ring() {}
};

// Installs the back end the console services use, with a fresh screen of its size;
// null takes it away again.
void Install(Backend* backend);
Backend& TheBackend();
bool HasBackend();
Screen& TheScreen();

}  // namespace console
