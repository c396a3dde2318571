// Line entry, upper-casing and the two-digit number text.
#pragma once
#include <cstdint>
#include <string>

int InputLine(std::string& line, int maxLen);
std::string UpperStr(const std::string& source);
void TwoDigits(uint16_t n, char sep, std::string& result);
std::string TwoDigits(uint16_t n, char sep);
