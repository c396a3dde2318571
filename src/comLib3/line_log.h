// The log of the serial line a run keeps when asked for one (--log FILE): a header, then
// one line for every request and its reply with the attempt and the time it took, and
// the line going away and coming back. Each line starts with the wall-clock time to the
// millisecond. When the file can't be written the log stops for good; the console goes
// on without it and shows that it did (LineLogFailure). Only a regular file or a
// terminal is taken, and a FIFO nobody reads never holds the start.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Starts the log in `path` (appended to) with its header line; false when the file can't
// be opened or written, with LineLogFailure saying why.
bool StartLineLog(const std::string& path, const std::string& header);
// Closes the log and forgets any failure: as before StartLineLog.
void StopLineLog();
// One attempt of an exchange: the bytes sent, the bytes read (line end and all), which
// attempt it was and how long from the write to the end of the read.
void LogAttempt(int port, std::string_view sent, std::string_view got, int attempt, int64_t micros);
// Something that befell the port: "line gone", "line back", "opened" ...
void LogPortEvent(int port, const std::string& what);
bool LineLogOn();
// Why the log stopped ("No space left on device"); empty while it works or when none
// was asked for. The reason, the file and when it stopped are noted for the way out
// (base/farewell.h).
const std::string& LineLogFailure();
