// pxn32: the service console on the real terminal, talking to the controller on a
// serial device, or to the built-in simulated plate store with --sim.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "KV_Lib3/exchange.h"
#include "PXN32_00/main_menu.h"
#include "PXN_Lib3/record.h"
#include "PXN_Lib3/times_file.h"
#include "base/farewell.h"
#include "base/standard_fds.h"
#include "base/version.h"
#include "comLib3/line_log.h"
#include "comLib3/serial.h"
#include "comLib3/serial_posix.h"
#include "comLib3/start_up.h"
#include "console/console.h"
#include "console/terminal.h"
#include "plcsim/books.h"
#include "plcsim/command_line.h"
#include "plcsim/line.h"
#include "plcsim/model.h"
#include "plcsim/options.h"
#include "plcsim/pty_server.h"

namespace {

constexpr char kUsage[] =
    "usage: pxn32 [--device PATH | --sim [store options]] [--fast-link] [--log FILE]\n"
    "             [--record DIR] [--times FILE] [--help] [--version]\n"
    "  The port number typed at start-up opens /dev/ttyS(n-1): port 1 is /dev/ttyS0.\n"
    "  --device PATH  open PATH for the port typed instead (a USB adapter,\n"
    "                 /dev/serial/by-id/..., a pseudo-terminal)\n"
    "  --sim          serve the built-in simulated plate store on a pseudo-terminal\n"
    "                 and use it for whatever port is typed; on the way out its\n"
    "                 books go to stderr: where every plate is, moves refused,\n"
    "                 plates lost\n"
    "  --fast-link    end each read as soon as the reply's line end (CR LF) is in,\n"
    "                 instead of waiting out its 55 ms window; retries, pauses and\n"
    "                 replies stay as they are\n"
    "  --log FILE     append every request and reply on the line to FILE, with the\n"
    "                 time, the attempt and how long it took\n"
    "  --record DIR   write each access test into DIR as a CSV file, one row per\n"
    "                 access or move, the summary at the end\n"
    "  --times FILE   load the taught positioning times from FILE at start-up and\n"
    "                 save them there after every teach (menu 4) that runs to its end\n"
    "  --help, --version\n"
    "  plcsim --link PATH serves the simulator for use with --device PATH.\n"
    "The store's options, with --sim (plcsim takes the same):\n";

struct Options {
  std::string device;  // empty: the port's own /dev/ttyS device
  bool sim = false;
  bool fastLink = false;
  std::string log;     // empty: no line log
  std::string record;  // empty: no test records
  std::string times;   // empty: the taught times live for this run only
  bool help = false;
  bool version = false;
  plcsim::SimOptions store;
};

// Returns 0 when the options are good, else the exit code.
int ParseOptions(int argc, char** argv, Options& options) {
  const plcsim::ProgramOption own[] = {
      {"device", &options.device, nullptr},      {"sim", nullptr, &options.sim},
      {"fast-link", nullptr, &options.fastLink}, {"log", &options.log, nullptr},
      {"record", &options.record, nullptr},      {"times", &options.times, nullptr},
      {"help", nullptr, &options.help},          {"version", nullptr, &options.version}};
  int storeGiven = 0;
  if (!plcsim::ParseCommandLine(argc, argv, "pxn32", own, options.store, storeGiven)) return 2;
  if (options.sim && !options.device.empty())
    return plcsim::UsageError("pxn32", "--sim and --device exclude each other");
  if (storeGiven && !options.sim)
    return plcsim::UsageError("pxn32", "the store's options need --sim");
  return 0;
}

// The simulated store lives as long as the program runs; only its server thread
// touches it while it serves.
struct Simulator {
  plcsim::PlcModel model;
  plcsim::SimLine line{model};
  std::unique_ptr<plcsim::PtyServer> server;
};

// The store's books as the server last left them, ready for a way out that can't wait
// for the server (a signal).
void NoteBooks(const plcsim::PlcModel& model) {
  base::SetNote(base::Note::kBooks, plcsim::BooksLine(model));
}

// The simulator of this run, for the way out through exit() (the end of the input).
Simulator* runningSimulator = nullptr;

// Stops the server, so the model is ours alone, and notes the books as they now stand.
void StopSimulator() {
  if (!runningSimulator || !runningSimulator->server) return;
  runningSimulator->server.reset();
  NoteBooks(runningSimulator->model);
}

bool SetUpSerial(const Options& options, Simulator& sim) {
  if (options.sim) {
    std::string error;
    sim.server = plcsim::ServeSimulator(options.store, sim.model, sim.line, error,
                                        [&model = sim.model] { NoteBooks(model); });
    if (!sim.server) {
      std::fprintf(stderr, "pxn32: cannot start the simulator: %s\n", error.c_str());
      return false;
    }
    // The books as the store starts, for a run that ends before its first request (the
    // input already at its end): the server only touches the model once a request
    // comes, and nothing has opened the line yet.
    NoteBooks(sim.model);
    std::string path = sim.server->SlavePath();
    SetSerialOpener([path](int, int& error) { return OpenPosixSerial(path, error); });
  } else if (!options.device.empty()) {
    std::string path = options.device;
    SetSerialOpener([path](int, int& error) { return OpenPosixSerial(path, error); });
  } else {
    SetSerialOpener(
        [](int port, int& error) { return OpenPosixSerial(PortDevicePath(port), error); });
  }
  return true;
}

// The log's first line: what is talking to what, and how.
std::string LogHeader(const Options& options, const Simulator& sim) {
  const std::string device = sim.server ? "simulated store on " + sim.server->SlavePath()
                             : !options.device.empty() ? options.device
                                                       : "/dev/ttyS(n-1) for port n";
  return std::string("pxn32 ") + base::kVersion + ", device " + device + ", line 9600 baud 8E1, " +
         (options.fastLink ? "fast link" : "faithful link");
}

// Set up before the console starts, so the log sees the port open.
void StartRecords(const Options& options, const Simulator& sim) {
  FastLink = options.fastLink;
  RecordFolder = options.record;
  TimesFile = options.times;
  if (!options.log.empty()) StartLineLog(options.log, LogHeader(options, sim));
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned closedFds = base::HoldStandardDescriptors();  // before anything is opened
  Options options;
  if (int code = ParseOptions(argc, argv, options)) return code;
  if (options.help) {
    std::fputs(kUsage, stdout);
    std::fputs(plcsim::SimOptionsHelp().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("pxn32 %s\n", base::kVersion);
    return 0;
  }
  // Refused before the simulator or a line is opened: a screen drawn blind, with the
  // keyboard in raw mode, would leave the user stranded.
  if (std::string why = console::WhyNoTerminal(closedFds); !why.empty()) {
    std::fprintf(stderr, "pxn32: %s\n", why.c_str());
    return 2;
  }
  Simulator sim;
  if (!SetUpSerial(options, sim)) return 1;
  runningSimulator = &sim;
  StartRecords(options, sim);
  std::string error;
  std::unique_ptr<console::Backend> backend = StartConsole(error);
  if (!backend) {
    std::fprintf(stderr, "pxn32: %s\n", error.c_str());
    return 1;
  }
  // Every way out that runs code ends in the console's restore, which then says what the
  // notes hold; the end of the input leaves through exit(), and stops the simulator here
  // first (run before the console's own exit hook, which was set up before it).
  std::atexit(StopSimulator);
  int code = RunProgram();
  NormVideo();  // shows the last frame before the terminal is handed back
  console::RestoreTerminal();
  StopSimulator();
  runningSimulator = nullptr;
  base::SayFarewell();
  return code;
}
