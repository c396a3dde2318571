#include "comLib3/screen_tools.h"

#include "console/console.h"

int SavedX = 0, SavedY = 0;
int ScreenWidth = 80, ScreenHeight = 25;

void SaveCursor() {
  SavedX = WhereX();
  SavedY = WhereY();
}

void RestoreCursor() { GotoXY(SavedX, SavedY); }
int ScreenCols() { return (WindowMax() & 0xFF) + 1; }
int ScreenRows() { return (WindowMax() >> 8) + 1; }

void RememberScreenSize() {
  ScreenWidth = ScreenCols();
  ScreenHeight = ScreenRows();
}

void FullWindow() { Window(1, 1, ScreenWidth, ScreenHeight); }

// A carriage return of its own, then the console's CR LF line end.
void NewLine() { Write("\r\r\n"); }

void ResetScreenTools() {
  SavedX = SavedY = 0;
  ScreenWidth = 80, ScreenHeight = 25;
}
