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
