#include "base/farewell.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "base/write_all.h"

namespace base {
namespace {

constexpr size_t kNoteBytes = 65536;

// Two buffers a note: the writer fills the one not shown, then shows it, so a signal
// arriving in the middle finds a whole note either way.
struct Buffers {
  char text[2][kNoteBytes];
  size_t size[2] = {0, 0};
  std::atomic<int> shown{0};
};
Buffers notes[static_cast<int>(Note::kCount)];
std::atomic<bool> said{false};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

Buffers& Of(Note note) {
  return notes[static_cast<int>(note)];
}

void Show(Buffers& b, std::string_view first, std::string_view second) {
  const int next = 1 - b.shown.load();
  const size_t a = std::min(first.size(), kNoteBytes);
  const size_t c = std::min(second.size(), kNoteBytes - a);
  if (a > 0) std::memcpy(b.text[next], first.data(), a);  // an empty view may hold no pointer
  if (c > 0) std::memcpy(b.text[next] + a, second.data(), c);
  b.size[next] = a + c;
  b.shown.store(next);
}

}  // namespace

void SetNote(Note note, std::string_view text) {
  Show(Of(note), text, {});
}

void AddNoteLine(Note note, std::string_view line) {
  Buffers& b = Of(note);
  const int now = b.shown.load();
  std::string_view before(b.text[now], b.size[now]);
  if (before.empty()) return Show(b, line, {});
  // The note so far and the line, with a line end between.
  std::string joined(before);
  joined += '\n';
  Show(b, joined, line);
}

void SayFarewell() {
  if (said.exchange(true)) return;
  for (Buffers& b : notes) {
    const int now = b.shown.load();
    if (b.size[now] == 0) continue;
    WriteAll(STDERR_FILENO, b.text[now], b.size[now]);
    WriteAll(STDERR_FILENO, "\n", 1);
  }
}

void ResetNotes() {
  for (Buffers& b : notes) {
    b.size[0] = b.size[1] = 0;
    b.shown.store(0);
  }
  said.store(false);
}

}  // namespace base
