// How much processor time a five-second WaitSeconds costs on the real terminal and
// clock: the waits must sleep in poll(), not spin. Prints user + system time as a
// share of the wall time.
#include <sys/resource.h>

#include <cstdio>
#include <string>

#include "base/clock.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "comLib3/start_up.h"
#include "console/backend.h"
#include "console/console.h"
#include "console/terminal.h"

namespace {

double CpuSeconds() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  auto seconds = [](const timeval& tv) { return tv.tv_sec + tv.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

int main() {
  base::SetClock(nullptr);
  std::string error;
  auto backend = StartConsole(error);
  if (!backend) {
    std::fprintf(stderr, "bench_wait: %s\n", error.c_str());
    return 1;
  }
  TextColor(1);
  TextBackground(7);
  ClrScr();
  Write("WaitSeconds(5) on the terminal: wait or type; Esc ends it early.");
  NewLine();

  base::Clock& clock = base::TheClock();
  double cpuBefore = CpuSeconds();
  int64_t wallBefore = clock.NowMicros();
  WaitSeconds(5);
  double wall = (clock.NowMicros() - wallBefore) / 1e6;
  double cpu = CpuSeconds() - cpuBefore;

  NormVideo();
  console::RestoreTerminal();
  std::printf("WaitSeconds(5): wall %.3f s, cpu %.4f s, %.3f %% of wall; %zu keys typed\n", wall,
              cpu, wall > 0 ? 100.0 * cpu / wall : 0.0, KeyBuffer.size());
  return 0;
}
