// Cursor save and restore, the screen size and the line end every screen writes.
#pragma once

extern int SavedX, SavedY;              // cursor remembered by SaveCursor
extern int ScreenWidth, ScreenHeight;   // the screen size found at start-up

void SaveCursor();
void RestoreCursor();
int ScreenCols();
int ScreenRows();
void RememberScreenSize();
void FullWindow();
void NewLine();
// No cursor saved and the 80 x 25 screen: as at start.
void ResetScreenTools();
