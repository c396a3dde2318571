// Standard line input: our own small editor on top of the key reader, echoing at the
// cursor like the console runtime's line reads did.
#include <cctype>
#include <cstdint>
#include <string>

#include "console/console.h"

namespace {
constexpr size_t kMaxLine = 255;

void EraseShown(std::string& line) {
  for (size_t i = 0; i < line.size(); ++i) Write("\b \b");
  line.clear();
}
}  // namespace

std::string ReadLineText() {
  std::string line;
  for (;;) {
    int key = ReadKey();
    if (key == 13) break;
    if (key == 8) {
      if (!line.empty()) {
        Write("\b \b");
        line.pop_back();
      }
    } else if (key == 27) {
      EraseShown(line);  // Esc throws the typed line away
    } else if (key == 0) {
      ReadKey();  // second half of an extended key: no meaning here
    } else if (key >= 32 && line.size() < kMaxLine) {
      Write(static_cast<char>(key));
      line += static_cast<char>(key);
    }
  }
  Write("\r\n");
  return line;
}

char ReadLineChar() {
  std::string line = ReadLineText();
  return line.empty() ? '\r' : line[0];
}

bool ReadLineInteger(int32_t& value) {
  std::string line;
  size_t pos = 0;
  // Like the runtime's number read, blank lines are skipped until a number comes.
  for (;;) {
    line = ReadLineText();
    pos = line.find_first_not_of(' ');
    if (pos != std::string::npos) break;
  }
  bool negative = false;
  if (line[pos] == '+' || line[pos] == '-') negative = line[pos++] == '-';
  if (pos >= line.size() || !std::isdigit(static_cast<unsigned char>(line[pos]))) return false;
  int64_t number = 0;
  while (pos < line.size() && std::isdigit(static_cast<unsigned char>(line[pos]))) {
    number = number * 10 + (line[pos++] - '0');
    if (number > int64_t{INT32_MAX} + 1) return false;
  }
  if (line.find_first_not_of(' ', pos) != std::string::npos) return false;
  if (negative) number = -number;
  if (number > INT32_MAX || number < INT32_MIN) return false;
  value = static_cast<int32_t>(number);
  return true;
}
