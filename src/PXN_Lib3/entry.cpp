#include "PXN_Lib3/entry.h"

#include <cctype>

#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/console.h"

int32_t AskNumber(const std::string& prompt) {
  for (;;) {
    Write(prompt);
    int32_t value = 0;
    if (ReadLineInteger(value)) return value;
    Write("Invalid numeric input");
    NewLine();
  }
}

char AskKey(const std::string& question) {
  Write(question);
  const char key = static_cast<char>(std::toupper(ReadKeyPress()));
  Write(key);
  NewLine();
  return key;
}
