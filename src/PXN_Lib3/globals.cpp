#include "PXN_Lib3/globals.h"

int32_t PortNo = 0;
std::string OperatorName;
int32_t SerialNo = 0;
int32_t LevelCount = 0;
int32_t PositionCount = 0;
bool Flag1703 = false;
char LastKey = '\0';
std::string ScratchText;
uint16_t DosVersionWord = 0;
bool QuitConfirmed = false;
DateStamp CurrentStamp;

void ResetGlobals() {
  PortNo = 0;
  OperatorName.clear();
  SerialNo = LevelCount = PositionCount = 0;
  Flag1703 = false;
  LastKey = '\0';
  ScratchText.clear();
  DosVersionWord = 0;
  QuitConfirmed = false;
  CurrentStamp = DateStamp{};
}
