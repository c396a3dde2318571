// What a run has to say on its way out, on stderr once the terminal is back: the reasons
// a log, a record or the taught times could not be written, the simulated store's books. Whichever
// way the program ends (its menu, the end of its input, a signal) it ends through SayFarewell, so
// the notes are kept ready in fixed buffers that a signal handler may write as they are.
#pragma once
#include <string_view>

namespace base {

enum class Note { kLineLog, kRecords, kTimes, kBooks, kCount };

// Replaces the note; one thread writes each note. A note longer than its buffer (64 kB)
// is cut there.
void SetNote(Note note, std::string_view text);
// Adds a line to the note.
void AddNoteLine(Note note, std::string_view line);
// Writes every note that is not empty to stderr, each ending its line; once per process.
// Safe inside a signal handler: write() only.
void SayFarewell();
// Forgets the notes and allows another farewell (tests).
void ResetNotes();

}  // namespace base
