#include "KV_Lib3/plc_port.h"

#include "comLib3/keyboard.h"
#include "comLib3/serial.h"

int32_t OpenPlcPort(int port) {
  ClearKeys();
  return OpenComPort(port, 9600, 'E', 1, 8);
}
