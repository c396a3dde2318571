#include "PXN_Lib3/layout.h"

#include <cstdint>

#include "comLib3/screen_tools.h"
#include "comLib3/text.h"
#include "console/console.h"

std::string DateText(const DateStamp& stamp) {
  return TwoDigits(stamp.Day, '-') + TwoDigits(stamp.Month, '-') +
         NumText(int{stamp.Year} - 1900, 2);
}

std::string TimeText(const DateStamp& stamp) {
  return TwoDigits(stamp.Hour, ':') + TwoDigits(stamp.Minute, ':') + TwoDigits(stamp.Second, '\0');
}

// The column arithmetic is 8-bit: for a text longer than the column it gives a column
// past the edge, and the text is written where the cursor stands. Callers align short
// texts only.
void RightAlign(const std::string& text, int col) {
  auto x = static_cast<uint8_t>(col - (static_cast<int>(text.size()) - 1));
  GotoXY(x, WhereY());
  Write(text);
  NewLine();
}

std::string RuleLine() { return std::string(55, '_'); }

std::string SecondsText(int64_t hundredths, int width) {
  return FixedText(hundredths / 100.0, width, 1);
}

std::string AtColumn10(const std::string& text) {
  GotoXY(10, WhereY());
  return text;
}

void ReadCurrentStamp() {
  uint16_t dayOfWeek = 0, hundredths = 0;
  GetDate(CurrentStamp.Year, CurrentStamp.Month, CurrentStamp.Day, dayOfWeek);
  GetTime(CurrentStamp.Hour, CurrentStamp.Minute, CurrentStamp.Second, hundredths);
}
