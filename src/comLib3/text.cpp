#include "comLib3/text.h"

#include "comLib3/keyboard.h"
#include "console/console.h"

int InputLine(std::string& line, int maxLen) {
  std::string work = line;
  Write(work);
  WaitTenths(1);
  if (!EscAbort) {
    int key;
    do {
      key = ReadKeyAbort();
      if (key == kBackspace) {
        if (!work.empty()) {
          Write("\b \b");
          work.pop_back();
        }
      } else if (key != kEnter) {
        Write(static_cast<char>(key));
        if (work.size() < kShortTextMax) work += static_cast<char>(key);
      }
    } while (key != kEnter && !EscAbort);
  }
  if (EscAbort) return -1;
  Write("\r\n");
  int length = static_cast<int>(work.size());
  if (maxLen < 0) maxLen = 0;
  if (work.size() > static_cast<size_t>(maxLen)) work.resize(static_cast<size_t>(maxLen));
  line = work;
  return length;
}

std::string UpperStr(const std::string& source) {
  std::string upper = source.substr(0, kShortTextMax);
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

void TwoDigits(uint16_t n, char sep, std::string& result) {
  result = n < 10 ? "0" + std::to_string(n) : std::to_string(n);
  if (sep != '\0') result += sep;
}

std::string TwoDigits(uint16_t n, char sep) {
  std::string result;
  TwoDigits(n, sep, result);
  return result;
}
