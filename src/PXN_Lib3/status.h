// The status bar on row 1 of every screen, the screen header and the quit prompt.
#pragma once

void ShowStatus();
void NewScreen();
bool AskQuit();
