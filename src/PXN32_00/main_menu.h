// The program: start-up dialogue, banner, main menu and end.
#pragma once

extern char MenuChoice;  // the main-menu key as typed

void ShowBanner();
// Runs the whole program and returns its exit code.
int RunProgram();
// No menu key typed yet.
void ResetMainMenu();
