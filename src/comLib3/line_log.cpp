#include "comLib3/line_log.h"

#include <cstdio>

#include "base/clock.h"
#include "base/farewell.h"
#include "comLib3/record_file.h"

namespace {

RecordFile logFile;
std::string stoppedAt;
bool wroteAny = false;  // a line went in before the log stopped

// What the program says about a log that stopped, once the terminal is back.
void NoteFailure() {
  base::SetNote(base::Note::kLineLog,
                "pxn32: --log " + logFile.Path() + ": " + logFile.Failure() +
                    (wroteAny ? "; the log stopped at " + stoppedAt : "; nothing was logged"));
}

void Put(const std::string& text) {
  if (!logFile.IsOpen()) return;
  const base::WallTime now = base::TheClock().Wall();
  if (logFile.Append(StampText(now) + "  " + text)) {
    wroteAny = true;
    return;
  }
  char at[16];
  std::snprintf(at, sizeof at, "%02d:%02d:%02d", now.hour, now.minute, now.second);
  stoppedAt = at;
  NoteFailure();
}

std::string PortText(int port) {
  return "port " + std::to_string(port) + "  ";
}

}  // namespace

bool StartLineLog(const std::string& path, const std::string& header) {
  stoppedAt.clear();
  wroteAny = false;
  if (!logFile.Open(path, false)) {
    NoteFailure();
    return false;
  }
  Put(header);
  return logFile.IsOpen();
}

void StopLineLog() {
  logFile.Close();
  logFile.Forget();
  stoppedAt.clear();
  wroteAny = false;
  base::SetNote(base::Note::kLineLog, "");
}

void LogAttempt(int port, std::string_view sent, std::string_view got, int attempt,
                int64_t micros) {
  if (!logFile.IsOpen()) return;
  char took[32];
  std::snprintf(took, sizeof took, "%.1f ms", micros / 1000.0);
  Put(PortText(port) + "sent \"" + EscapedBytes(sent) + "\"  got \"" + EscapedBytes(got) +
      "\"  attempt " + std::to_string(attempt) + "  " + took);
}

void LogPortEvent(int port, const std::string& what) {
  Put(PortText(port) + what);
}

bool LineLogOn() {
  return logFile.IsOpen();
}

const std::string& LineLogFailure() {
  return logFile.Failure();
}
