// Bit tests and the hexadecimal text of a 16-bit controller word.
#pragma once
#include <cstdint>
#include <string>

uint16_t BitMask(int n);
void ClearBit(int n, uint16_t& w);
bool TestBit(int n, uint16_t w);
char WriteHexDigit(int d);
void HexWord(uint16_t v, std::string& text);
