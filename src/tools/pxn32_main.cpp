// pxn32: the service console on the real terminal, talking to the controller on a
// serial device, or to the built-in simulated plate store with --sim.
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "PXN32_00/main_menu.h"
#include "base/version.h"
#include "comLib3/serial_posix.h"
#include "comLib3/start_up.h"
#include "console/console.h"
#include "console/terminal.h"
#include "plcsim/line.h"
#include "plcsim/model.h"
#include "plcsim/options.h"
#include "plcsim/pty_server.h"

namespace {

constexpr char kUsage[] =
    "usage: pxn32 [--device PATH | --sim] [--help] [--version]\n"
    "  The port number typed at start-up opens /dev/ttyS(n-1): port 1 is /dev/ttyS0.\n"
    "  --device PATH  open PATH for the port typed instead (a USB adapter,\n"
    "                 /dev/serial/by-id/..., a pseudo-terminal)\n"
    "  --sim          serve the built-in simulated plate store on a pseudo-terminal\n"
    "                 and use it for whatever port is typed\n"
    "  --help, --version\n"
    "  plcsim --link PATH serves the simulator for use with --device PATH.\n";

struct Options {
  std::string device;  // empty: the port's own /dev/ttyS device
  bool sim = false;
  bool help = false;
  bool version = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--sim") {
      options.sim = true;
    } else if (arg == "--device" && i + 1 < argc && argv[i + 1][0] != '\0') {
      options.device = argv[++i];
    } else {
      return false;
    }
  }
  return !(options.sim && !options.device.empty());
}

// The simulated store lives as long as the program runs; only its server thread
// touches it while it serves.
struct Simulator {
  plcsim::PlcModel model;
  plcsim::SimLine line{model};
  std::unique_ptr<plcsim::PtyServer> server;
};

bool SetUpSerial(const Options& options, Simulator& sim) {
  if (options.sim) {
    std::string error;
    sim.server = plcsim::ServeSimulator(plcsim::SimOptions{}, sim.model, sim.line, error);
    if (!sim.server) {
      std::fprintf(stderr, "pxn32: cannot start the simulator: %s\n", error.c_str());
      return false;
    }
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

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (options.version) {
    std::printf("pxn32 %s\n", base::kVersion);
    return 0;
  }
  Simulator sim;
  if (!SetUpSerial(options, sim)) return 1;
  std::string error;
  std::unique_ptr<console::Backend> backend = StartConsole(error);
  if (!backend) {
    std::fprintf(stderr, "pxn32: %s\n", error.c_str());
    return 1;
  }
  int code = RunProgram();
  NormVideo();  // shows the last frame before the terminal is handed back
  console::RestoreTerminal();
  return code;
}
