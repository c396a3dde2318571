#pragma once
#include <cstdint>
#include <string>

// Writes the prompt and reads one whole number from a console line. Text that is not
// a number shows "Invalid numeric input" and asks again.
int32_t AskNumber(const std::string& prompt);
