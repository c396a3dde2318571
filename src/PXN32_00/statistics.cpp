// Menu "S", not listed: the unit's operating counters behind an access code. It only
// reads; the figures of two words are high * 65535 + low, as the controller keeps them.
#include <cstdint>
#include <string>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "KV_Lib3/text_to_int.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "comLib3/text.h"
#include "console/console.h"

namespace {

constexpr char kAccessCode[] = "KLMB";  // compared upper-cased: any case is accepted
constexpr int64_t kPairFactor = 65535;

int64_t ReadWord(uint16_t address) {
  return TextToInt(ReadDM(PortNo, address));
}

// 64-bit, so that words at their largest still give the whole figure.
int64_t Pair(int64_t high, int64_t low) {
  return high * kPairFactor + low;
}

void ShowLine(const std::string& label, const std::string& figure) {
  Write(label + figure);
  NewLine();
}

}  // namespace

void StatisticsScreen() {
  NewScreen();
  Write("Enter Passord ");
  ScratchText = ReadLineText();
  if (ScratchText.size() > kShortTextMax) ScratchText.resize(kShortTextMax);
  if (UpperStr(ScratchText) != kAccessCode) return;  // silently, nothing read
  NewScreen();
  const int64_t hours = ReadWord(kOperatingHoursDM);
  const int64_t gateLow = ReadWord(kGateCyclesLowDM), gateHigh = ReadWord(kGateCyclesHighDM);
  const int64_t onLow = ReadWord(kOnTimeLowDM), onHigh = ReadWord(kOnTimeHighDM);
  const int64_t refLow = ReadWord(kReferenceTimeLowDM);
  const int64_t refHigh = ReadWord(kReferenceTimeHighDM);
  const int64_t gateCycles = Pair(gateHigh, gateLow), onTime = Pair(onHigh, onLow);
  const int64_t reference = Pair(refHigh, refLow);
  NewLine();
  ShowLine("System Hobs [hours]   ", NumText(hours, 5));
  ShowLine("Total Gate Cycles     ", NumText(gateCycles, 5));
  ShowLine("On Time [s]        ", NumText(onTime, 8));
  if (hours > 0)
    ShowLine("Avrg Acs/hour         ", FixedText(double(gateCycles) / double(hours), 5, 1));
  // With DM119 above 0 the reference is 0 only when a garbled reply reads as a negative
  // word: no percentage then, rather than a division by 0.
  if (refLow > 0 && reference != 0)
    ShowLine("On Percent. [%]       ", FixedText(double(onTime) / double(reference) * 100, 5, 1));
  LastKey = static_cast<char>(ReadKey());
}
