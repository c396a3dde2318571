#include "comLib3/keyboard.h"

#include "console/console.h"

bool EscAbort = false;
std::string KeyBuffer;

int PollKey() {
  if (EscAbort || !KeyPressed()) return 0;
  int key = ReadKey();
  if (key == kEsc) {
    EscAbort = true;
  } else if (key == kBackspace) {
    DeleteLastKey();
  } else if (KeyBuffer.size() < kShortTextMax) {
    KeyBuffer += static_cast<char>(key);
  }
  return key;
}

void DeleteLastKey() {
  if (!KeyBuffer.empty()) KeyBuffer.pop_back();
}

int ReadKeyAbort() {
  if (EscAbort) return 0;
  int key = ReadKey();
  if (key == kEsc) EscAbort = true;
  return key;
}

int ReadKeyPress() {
  const int key = ReadKey();
  if (key == 0 && KeyPressed()) ReadKey();
  return key;
}

int FlushWaitKey() {
  while (KeyPressed()) ReadKey();
  return ReadKey();
}

void WaitTenths(int n) {
  uint16_t steps = 0;
  do {
    Delay(100);
    ++steps;
  } while (n > steps && !EscAbort);
}

void ClearKeys() {
  while (KeyPressed()) ReadKey();
  KeyBuffer.clear();
  EscAbort = false;
}

void ResetKeyboard() {
  EscAbort = false;
  KeyBuffer.clear();
}
