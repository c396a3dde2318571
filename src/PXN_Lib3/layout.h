// Date and time texts and the layout tools of the menu and summary pages.
#pragma once
#include <string>

#include "PXN_Lib3/globals.h"

std::string DateText(const DateStamp& stamp);
std::string TimeText(const DateStamp& stamp);
void RightAlign(const std::string& text, int col);
std::string RuleLine();
std::string AtColumn10(const std::string& text);
// Reads the date and the time of day into CurrentStamp.
void ReadCurrentStamp();
