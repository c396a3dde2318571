// The abort flag, the type-ahead buffer and the key reads that keep both.
#pragma once
#include <string>

extern bool EscAbort;           // the operator pressed Esc; waits, exchanges and loops end
extern std::string KeyBuffer;   // type-ahead: keys read by PollKey, at most 255

constexpr int kEsc = 27;
constexpr int kBackspace = 8;
constexpr int kEnter = 13;
constexpr size_t kShortTextMax = 255;

int PollKey();
void DeleteLastKey();
int ReadKeyAbort();
// Blocking read of one key press: an extended key (0 and its scan code) is read whole,
// so that its scan code does not answer the next question. 0 for an extended key.
int ReadKeyPress();
int FlushWaitKey();
void WaitTenths(int n);
void ClearKeys();
// No Esc up, nothing typed ahead: as at start.
void ResetKeyboard();
