// The menu functions the main menu dispatches to, one file each.
#pragma once

void DirectCommands();          // "1"
void FlagMonitor();             // "2"
void FlagMonitorPass();         // one pass of its table, as the bench times it
void MacroScreen();             // "3"
void TeachPositioningTimes();   // "4"
void ComponentTestMenu();       // "5"
void AllSlotsTest();            // "6"
void RandomAccessTest();        // "7"
void ThreePlateTest();          // "8"
void StatisticsScreen();        // "S", not listed on the menu

// The component tests the menu of "5" runs, each back to that menu when done.
void CarouselMovementTest();    // 1
void PlateMovementTest();       // 2
void LiftMovementTest();        // 4
void GateMovementTest();        // 5
void ShovelMovementTest();      // 6
void TurnMovementTest();        // 7
void ErrorCountersScreen();     // 8

// Closes the random-access test: the access time summary, then a key.
void AccessTimeSummary();
