#include "comLib3/line_log.h"

#include <cstdio>

#include "base/clock.h"
#include "comLib3/record_file.h"

namespace {

RecordFile logFile;
std::string stoppedAt;

void Put(const std::string& text) {
  if (!logFile.IsOpen()) return;
  const base::WallTime now = base::TheClock().Wall();
  if (logFile.Append(StampText(now) + "  " + text)) return;
  char at[16];
  std::snprintf(at, sizeof at, "%02d:%02d:%02d", now.hour, now.minute, now.second);
  stoppedAt = at;
}

std::string PortText(int port) {
  return "port " + std::to_string(port) + "  ";
}

}  // namespace

bool StartLineLog(const std::string& path, const std::string& header) {
  stoppedAt.clear();
  if (!logFile.Open(path, false)) return false;
  Put(header);
  return logFile.IsOpen();
}

void StopLineLog() {
  logFile.Close();
  logFile.Forget();
  stoppedAt.clear();
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

const std::string& LineLogStoppedAt() {
  return stoppedAt;
}
