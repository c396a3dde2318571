#include "nbrBase/nbrBase.h"

#include "console/console.h"

uint16_t BitMask(int n) { return (n >= 0 && n <= 15) ? static_cast<uint16_t>(1u << n) : 0; }
void ClearBit(int n, uint16_t& w) { w = static_cast<uint16_t>(w & ~BitMask(n)); }
bool TestBit(int n, uint16_t w) { return (w & BitMask(n)) != 0; }

char WriteHexDigit(int d) {
  char digit = static_cast<char>(d < 10 ? '0' + d : 'A' + d - 10);
  Write(digit);
  return digit;
}

// Bit 15 shows as a minus sign before the other fifteen bits (sign and magnitude).
void HexWord(uint16_t v, std::string& text) {
  text.clear();
  if (TestBit(15, v)) {
    Write('-');
    ClearBit(15, v);
    text.push_back('-');
  }
  for (int position = 3; position >= 0; --position)
    text += WriteHexDigit((v >> (4 * position)) & 15);
}
