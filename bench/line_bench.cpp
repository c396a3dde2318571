// Figures, not pass or fail: how close the exchange comes to the line's own limit with
// and without the fast link, what the waits cost in processor time, and how fast the
// simulated store runs in virtual time.
//
// The line is the real plcsim (beside this program) with --paced, which delivers every
// byte at 9600 baud 8E1 pace (11 bits a character) on a pseudo-terminal. The console is
// the real terminal back end, drawing onto a pseudo-terminal of our own that a thread
// reads and throws away, so the figures need no terminal and no one at the keyboard.
// Processor time is the console thread's own (the drawing's reader and plcsim are
// someone else's cost).
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "KV_Lib3/addresses.h"
#include "KV_Lib3/commands.h"
#include "KV_Lib3/exchange.h"
#include "KV_Lib3/plc_port.h"
#include "PXN32_00/screens.h"
#include "PXN_Lib3/access_stats.h"
#include "PXN_Lib3/device_ops.h"
#include "PXN_Lib3/globals.h"
#include "PXN_Lib3/status.h"
#include "base/clock.h"
#include "comLib3/clock_time.h"
#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "comLib3/serial.h"
#include "comLib3/serial_posix.h"
#include "comLib3/start_up.h"
#include "console/console.h"
#include "console/terminal.h"
#include "plcsim/line.h"
#include "plcsim/model.h"
#include "plcsim/sim_serial.h"
#include "support/virtual_backend.h"

namespace {

FILE* report = stdout;  // the figures; the console has the standard descriptors

double Ms(int64_t micros) {
  return micros / 1000.0;
}

int64_t Now() {
  return base::TheClock().NowMicros();
}

// Processor time of the calling thread, in microseconds.
int64_t ThreadCpuMicros() {
  rusage usage{};
  getrusage(RUSAGE_THREAD, &usage);
  auto micros = [](const timeval& t) { return int64_t{t.tv_sec} * 1000000 + t.tv_usec; };
  return micros(usage.ru_utime) + micros(usage.ru_stime);
}

int64_t Median(std::vector<int64_t> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

// plcsim --link PATH with an option (--paced by default), beside this program.
struct Plcsim {
  pid_t pid = -1;
  bool Start(const std::string& link, const char* option = "--paced") {
    const std::string program =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "plcsim").string();
    pid = fork();
    if (pid == 0) {
      int null = open("/dev/null", O_WRONLY);
      dup2(null, STDOUT_FILENO);
      execl(program.c_str(), "plcsim", "--link", link.c_str(), option, nullptr);
      _exit(127);
    }
    for (int i = 0; i < 200 && !std::filesystem::is_symlink(link); ++i) usleep(10000);
    return std::filesystem::is_symlink(link);
  }
  ~Plcsim() {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
};

// The console's terminal: a pseudo-terminal of 80 x 25 on standard input and output,
// whose output a thread reads and drops.
struct BenchTerminal {
  int master = -1, savedIn = -1, savedOut = -1;
  std::atomic<bool> done{false};
  std::thread reader;
  bool Open() {
    int slave = -1;
    winsize size{25, 80, 0, 0};
    if (openpty(&master, &slave, nullptr, nullptr, &size) != 0) return false;
    savedIn = dup(STDIN_FILENO);
    savedOut = dup(STDOUT_FILENO);
    report = fdopen(dup(savedOut), "w");
    dup2(slave, STDIN_FILENO);
    dup2(slave, STDOUT_FILENO);
    close(slave);
    reader = std::thread([this] {
      char buffer[4096];
      while (!done) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 50) > 0 && read(master, buffer, sizeof buffer) <= 0) usleep(1000);
      }
    });
    return true;
  }
  void Close() {
    done = true;
    if (reader.joinable()) reader.join();
    dup2(savedIn, STDIN_FILENO);
    dup2(savedOut, STDOUT_FILENO);
    close(master);
  }
};

// Runs `wait` and returns the console thread's processor time per wall second, in %.
double CpuShare(const std::function<void()>& wait, double* wallSeconds = nullptr) {
  const int64_t cpu = ThreadCpuMicros(), wall = Now();
  wait();
  const int64_t tookWall = Now() - wall, tookCpu = ThreadCpuMicros() - cpu;
  if (wallSeconds) *wallSeconds = tookWall / 1e6;
  return tookWall > 0 ? 100.0 * tookCpu / tookWall : 0;
}

// One ReadRelay exchange, as the median of `count`.
int64_t ExchangeMicros(bool fast, int count) {
  FastLink = fast;
  std::vector<int64_t> took;
  std::string reply;
  for (int i = 0; i < count; ++i) {
    const int64_t start = Now();
    ReadRelay(PortNo, kReadyRelay, reply);
    took.push_back(Now() - start);
  }
  return Median(took);
}

// One idle pass of the flag monitor, as the median of `count`.
int64_t MonitorPassMicros(bool fast, int count) {
  FastLink = fast;
  NewScreen();
  std::vector<int64_t> took;
  for (int i = 0; i < count; ++i) {
    const int64_t start = Now();
    FlagMonitorPass();
    took.push_back(Now() - start);
  }
  return Median(took);
}

// WaitReady while the handler takes the plate out of 1.1 and puts it back, twice.
double WaitReadyShare(double& wallSeconds) {
  return CpuShare(
      [] {
        for (int i = 0; i < 2; ++i) {
          for (int32_t relay : {kPickRelay, kPlaceRelay}) {
            WriteDM(PortNo, kTargetPositionDM, 1);
            WriteDM(PortNo, kTargetLevelDM, 1);
            SetRelay(PortNo, relay);
            WaitReady(PortNo);
          }
        }
      },
      &wallSeconds);
}

// WaitReady on the fast link against a store that answers at once and never reports
// Ready, for about 3 s: Esc and Y typed on the console's terminal end it.
double FastWaitReadyShare(int keys) {
  FastLink = true;
  std::thread typist([keys] {
    usleep(3000000);
    (void)!write(keys, "\x1b", 1);
    usleep(200000);
    (void)!write(keys, "Y", 1);
  });
  const double share = CpuShare([] { WaitReady(PortNo); });
  typist.join();
  FastLink = false;
  QuitConfirmed = false;
  return share;
}

// Simulated seconds per wall second: the both-mode random-access test in virtual time,
// against the store in this process, for `accesses` accesses.
void SimulatorSpeed(int accesses, double& simulated, double& wall) {
  base::VirtualClock clock;
  base::SetClock(&clock);
  console::VirtualBackend keys(clock);
  console::Install(&keys);
  plcsim::PlcModel plc;
  plcsim::SimLine line(plc);
  plc.logRequests = false;
  line.keepWire = false;
  SetSerialOpener([&](int, int&) -> std::unique_ptr<SerialDevice> {
    return std::make_unique<plcsim::SimSerialDevice>(line, clock);
  });
  OpenComPort(1, 9600, 'E', 1, 8);
  PortNo = 1;
  PositionCount = 9;
  LevelCount = 10;
  FastLink = false;
  EscAbort = QuitConfirmed = false;
  RememberScreenSize();
  bool quitting = false;
  keys.onPresent = [&](const console::Screen&) {
    if (quitting || AccessCount < accesses) return;
    quitting = true;
    keys.Key(kEsc);
    keys.Key('Y', 1);
    keys.Key('x', 3600 * 1000000LL);
  };
  keys.Type("BYN0\r3\r");
  const auto start = std::chrono::steady_clock::now();
  RandomAccessTest();
  wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  simulated = clock.NowMicros() / 1e6;
  keys.onPresent = nullptr;
  ComHandles[1].reset();
  console::Install(nullptr);
  base::SetClock(nullptr);
}

}  // namespace

int main() {
  const std::string dir = "/tmp/pxn32-bench-" + std::to_string(getpid());
  std::filesystem::create_directories(dir);
  const std::string link = dir + "/line";
  double exchangePhysical = 0, faithful = 0, fast = 0, passFaithful = 0, passFast = 0;
  double readyShare = 0, readyWall = 0, secondsShare = 0, secondsWall = 0;
  double monitorShare = 0, monitorWall = 0, monitorFastShare = 0, readyFastShare = 0;
  {
    Plcsim plcsim, stuck;
    if (!plcsim.Start(link) || !stuck.Start(dir + "/stuck", "--ready-stuck")) {
      std::fprintf(stderr, "bench_line: plcsim did not start\n");
      return 1;
    }
    BenchTerminal terminal;
    setenv("TERM", "xterm", 1);
    if (!terminal.Open()) {
      std::fprintf(stderr, "bench_line: no pseudo-terminal for the console\n");
      return 1;
    }
    std::string error;
    auto backend = StartConsole(error);
    if (!backend) {
      terminal.Close();
      std::fprintf(stderr, "bench_line: %s\n", error.c_str());
      return 1;
    }
    SetSerialOpener([link](int, int& e) { return OpenPosixSerial(link, e); });
    PortNo = 1;
    TextColor(1);
    TextBackground(7);
    if (OpenPlcPort(PortNo) == 0) {
      plcsim::PlcModel model;
      const plcsim::SimLine paced(model);
      // "RD 1915" and its CR out, "1" and CR LF back, and the controller's answer delay.
      exchangePhysical = Ms((8 + 3) * 11 * 1000000 / 9600 + paced.turnaroundMicros);
      faithful = Ms(ExchangeMicros(false, 40));
      fast = Ms(ExchangeMicros(true, 40));
      passFaithful = Ms(MonitorPassMicros(false, 3));
      passFast = Ms(MonitorPassMicros(true, 5));
      FastLink = false;
      readyShare = WaitReadyShare(readyWall);
      secondsShare = CpuShare([] { WaitSeconds(5); }, &secondsWall);
      monitorShare = CpuShare(
          [] {
            FastLink = false;
            for (int pass = 0; pass < 3; ++pass) FlagMonitorPass();
          },
          &monitorWall);
      monitorFastShare = CpuShare([] {
        FastLink = true;
        for (int pass = 0; pass < 10; ++pass) FlagMonitorPass();
      });
      CloseComPort(PortNo);
      SetSerialOpener([dir](int, int& e) { return OpenPosixSerial(dir + "/stuck", e); });
      if (OpenPlcPort(PortNo) == 0) readyFastShare = FastWaitReadyShare(terminal.master);
      CloseComPort(PortNo);
    }
    NormVideo();
    console::RestoreTerminal();
    console::Install(nullptr);
    terminal.Close();
  }
  std::filesystem::remove_all(dir);
  if (exchangePhysical == 0) {
    std::fprintf(stderr, "bench_line: the port did not open\n");
    return 1;
  }
  const int accesses = 1000;
  double simulated = 0, simWall = 0;
  SimulatorSpeed(accesses, simulated, simWall);

  std::fprintf(report, "plcsim --paced, 9600 baud 8E1 on a pseudo-terminal:\n");
  std::fprintf(report,
               "  ReadRelay exchange, line time of its 11 bytes plus 3 ms answer: %.1f ms\n"
               "    faithful %.1f ms (%.2f x the line; target 55 ms + at most 3)\n"
               "    fast     %.1f ms (%.2f x the line; target at most 1.3 x)\n",
               exchangePhysical, faithful, faithful / exchangePhysical, fast,
               fast / exchangePhysical);
  std::fprintf(report,
               "  idle flag-monitor pass (41 exchanges): faithful %.0f ms, fast %.0f ms, "
               "%.2f x faster (target at least 3 x)\n",
               passFaithful, passFast, passFaithful / passFast);
  std::fprintf(report, "processor time per wall second, console thread (waits: target below 1 %%):\n");
  std::fprintf(report, "  WaitReady during handler moves  %.2f %% of %.1f s\n", readyShare,
               readyWall);
  std::fprintf(report, "  WaitSeconds(5)                  %.2f %% of %.1f s\n", secondsShare,
               secondsWall);
  std::fprintf(report, "  idle flag monitor, faithful     %.2f %% of %.1f s\n", monitorShare,
               monitorWall);
  std::fprintf(report, "  idle flag monitor, fast link    %.2f %% (no wait: it refreshes 3.5 x as often)\n", monitorFastShare);
  std::fprintf(report, "  WaitReady, fast link, Ready stuck, store answering at once  %.2f %%\n",
               readyFastShare);
  std::fprintf(report,
               "simulator in virtual time, both-mode random access, %d accesses:\n"
               "  %.0f simulated s in %.2f wall s: %.0f simulated s per wall s "
               "(target at least 1000)\n",
               accesses, simulated, simWall, simulated / simWall);
  return 0;
}
