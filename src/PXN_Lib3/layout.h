// Date and time texts and the layout tools of the menu and summary pages.
#pragma once
#include <cstdint>
#include <string>

#include "PXN_Lib3/globals.h"

std::string DateText(const DateStamp& stamp);
std::string TimeText(const DateStamp& stamp);
void RightAlign(const std::string& text, int col);
std::string RuleLine();
// Hundredths of a second as the screens show times: seconds with one decimal,
// right-aligned in `width` (234 in 4 columns is " 2.3").
std::string SecondsText(int64_t hundredths, int width = 4);
// The thin vertical line of code page 437 that parts the columns of the test rows.
inline const std::string kColumnBar = "\xB3";
std::string AtColumn10(const std::string& text);
// Reads the date and the time of day into CurrentStamp.
void ReadCurrentStamp();
