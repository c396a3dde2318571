// The program's configuration values, read from the operator at start-up and from
// the controller before every menu function; the menu screens read them.
#pragma once
#include <cstdint>
#include <string>

struct DateStamp {
  uint16_t Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

extern int32_t PortNo;            // serial port typed at start-up
extern std::string OperatorName;  // operator's name typed at start-up
extern int32_t SerialNo;          // DM109, refreshed before every menu function
extern int32_t LevelCount;        // DM25, before functions whose key is above "3"
extern int32_t PositionCount;     // DM29 (0 read as 9), idem
extern bool Flag1703;             // relay 1703 read "1", idem
extern char LastKey;              // key of the menu screens; NUL before every function
extern std::string ScratchText;   // agreeing DM25/DM29 reply, serial number text, access code
extern uint16_t DosVersionWord;   // console's version number, stored at start-up
extern bool QuitConfirmed;        // the operator answered "Y" to "Quit ? "
extern DateStamp CurrentStamp;    // date and time last read for the banner or status line
// The configuration values as at start.
void ResetGlobals();
