#pragma once
#include <cstdint>

// The controller's line: 9600 baud, even parity, one stop bit, 8 data bits.
int32_t OpenPlcPort(int port);
