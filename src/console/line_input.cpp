// Standard line input: our own small editor on top of the key reader, echoing at the
// cursor. Enter ends the line, Backspace takes back a character, Esc the whole line.
#include <cctype>
#include <cstdint>
#include <string>

#include "base/number_scan.h"
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
  // Blank lines are skipped until a number comes.
  for (;;) {
    line = ReadLineText();
    pos = line.find_first_not_of(' ');
    if (pos != std::string::npos) break;
  }
  const base::NumberScan scan = base::ScanNumber(line, pos, false, UINT32_MAX, UINT32_MAX);
  // The number ends at a blank or the line's end; whatever follows a blank is dropped.
  if (scan.tooLarge || scan.end == scan.digitsAt || (scan.end < line.size() && line[scan.end] != ' '))
    return false;
  int64_t number = static_cast<int64_t>(scan.magnitude);
  if (scan.negative) number = -number;
  if (scan.base == 16 && number > INT32_MAX) number -= int64_t{UINT32_MAX} + 1;  // $FFFFFFFF is -1
  if (number > INT32_MAX || number < INT32_MIN) return false;
  value = static_cast<int32_t>(number);
  return true;
}
