// The console on the real terminal, with the toolkit's own start-up done.
#pragma once
#include <memory>
#include <string>

#include "console/backend.h"

// Takes the terminal, installs it as the console and runs the toolkit's start-up: no
// keys waiting, the screen size remembered. Null with an error text when the terminal
// can't be had.
std::unique_ptr<console::Backend> StartConsole(std::string& error);
