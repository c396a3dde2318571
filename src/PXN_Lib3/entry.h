#pragma once
#include <cstdint>
#include <string>

// Writes the prompt and reads one whole number from a console line. Text that is not
// a number shows "Invalid numeric input" and asks again.
int32_t AskNumber(const std::string& prompt);
// Writes the question, reads one key without echo, upper-cases it, writes it back and
// ends the line: the Y/N questions of the test sequences.
char AskKey(const std::string& question);
