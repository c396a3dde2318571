// The menu functions the main menu dispatches to, one file each.
#pragma once

void DirectCommands();          // "1"
void FlagMonitor();             // "2"
void MacroScreen();             // "3"
void TeachPositioningTimes();   // "4"
void RandomAccessTest();        // "7"

// Closes the random-access test: the access time summary, then a key.
void AccessTimeSummary();
