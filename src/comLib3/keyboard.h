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
int FlushWaitKey();
void WaitTenths(int n);
void ClearKeys();
