// The menu functions the main menu dispatches to, one file each.
#pragma once

void DirectCommands();          // "1"
void FlagMonitor();             // "2"
void MacroScreen();             // "3"
void TeachPositioningTimes();   // "4"
void AllSlotsTest();            // "6"
void ThreePlateTest();          // "8"
