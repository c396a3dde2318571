// The line editor fed any keys, from any initial text, with any length limit: after its
// 100 ms pause it reads keys up to Enter or Esc and no further; Enter gives the length
// typed and the line cut to the limit, Esc (or the abort flag up on entry) gives -1 and
// leaves the line as it was; Backspace takes back a character, and the screen shows what
// the line holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "comLib3/keyboard.h"
#include "comLib3/text.h"
#include "console/console.h"
#include "virtual_console.h"

namespace {

void Check(bool holds) {
  if (!holds) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const int maxLen = data[0];
  const bool abortUp = (data[1] & 0xF8) == 0xF8;
  const size_t initialLength = std::min<size_t>(data[1] & 0x07, size - 2);
  const std::string initial(reinterpret_cast<const char*>(data + 2), initialLength);
  // The keys, and an Enter should they leave the line open.
  const std::string keys = std::string(reinterpret_cast<const char*>(data + 2 + initialLength),
                                       size - 2 - initialLength) +
                           "\r";

  // What the editor makes of the keys: the text, whether Esc ended it, the keys it took.
  std::string work = initial;
  bool escaped = abortUp;
  size_t taken = 0;
  bool shown =
      work.find_first_of(std::string("\0\x01\x02\x03\x04\x05\x06\x07\b\t\n\x0b\x0c\r", 14)) ==
      std::string::npos;  // blanks and glyphs only, on one row
  size_t longest = work.size();
  while (!escaped && taken < keys.size()) {
    const auto key = static_cast<uint8_t>(keys[taken++]);
    if (key == 13) break;
    if (key == 8) {
      if (!work.empty()) work.pop_back();
      continue;
    }
    if (work.size() < 255) work += static_cast<char>(key);
    longest = std::max(longest, work.size());
    escaped = key == 27;
    if (key < 32 && !escaped) shown = false;
  }
  shown = shown && longest < 79;

  VirtualConsole console(keys);
  EscAbort = abortUp;
  std::string line = initial;
  const int result = InputLine(line, maxLen);
  const bool abortAfter = EscAbort;
  EscAbort = false;

  Check(console.clock.NowMicros() == 100000);
  Check(console.backend.Pending() == keys.size() - taken);
  Check(abortAfter == escaped);
  if (escaped) {
    Check(result == -1 && line == initial);
  } else {
    Check(result == static_cast<int>(work.size()));
    Check(line == work.substr(0, static_cast<size_t>(maxLen)));
  }
  if (shown) {
    const std::string row = console::TheScreen().RowText(1);
    Check(row.compare(0, work.size(), work) == 0);
    Check(row.find_first_not_of(' ', work.size()) == std::string::npos);
    Check(escaped ? WhereY() == 1 && WhereX() == static_cast<int>(work.size()) + 1
                  : WhereY() == 2 && WhereX() == 1);
  }
  return 0;
}
