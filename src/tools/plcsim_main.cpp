// plcsim: serves the simulated plate store on a pseudo-terminal and links it at a path
// of the user's choice, so that pxn32 --device PATH (or any serial program) can use it.
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include "base/version.h"
#include "plcsim/books.h"
#include "plcsim/command_line.h"
#include "plcsim/line.h"
#include "plcsim/link_claim.h"
#include "plcsim/model.h"
#include "plcsim/options.h"
#include "plcsim/pty_server.h"

namespace {

constexpr char kUsageHead[] =
    "usage: plcsim --link PATH [options]\n"
    "  Serves the simulated plate store on a pseudo-terminal and links it at PATH\n"
    "  (a stale link there is replaced; the live link of another plcsim and any\n"
    "  other file are left alone). Runs until interrupted, then removes the link\n"
    "  and prints the store's books: where every plate is, how many moves were\n"
    "  refused, how many plates were lost.\n"
    "  --link PATH       where to put the link to the serial device\n"
    "  --help            this text\n"
    "  --version         the version\n";

void Usage(FILE* out) {
  std::fputs(kUsageHead, out);
  std::fputs(plcsim::SimOptionsHelp().c_str(), out);
}

struct Options {
  std::string link;
  bool help = false;
  bool version = false;
  plcsim::SimOptions sim;
};

// Returns 0 when the options are good, else the exit code.
int ParseOptions(int argc, char** argv, Options& options) {
  const plcsim::ProgramOption own[] = {{"link", &options.link, nullptr},
                                       {"help", nullptr, &options.help},
                                       {"version", nullptr, &options.version}};
  int simGiven = 0;
  if (!plcsim::ParseCommandLine(argc, argv, "plcsim", own, options.sim, simGiven)) return 2;
  if (!options.help && !options.version && options.link.empty())
    return plcsim::UsageError("plcsim", "--link PATH is needed");
  return 0;
}

// Clears the way for the link: a symbolic link there (a stale one from an earlier run)
// goes, anything else stays and is an error.
bool ClearLinkPath(const std::string& path) {
  struct stat st {};
  if (lstat(path.c_str(), &st) != 0) return true;
  if (!S_ISLNK(st.st_mode)) {
    std::fprintf(stderr, "plcsim: %s exists and is not a link; not replacing it\n", path.c_str());
    return false;
  }
  if (unlink(path.c_str()) != 0) {
    std::perror(("plcsim: cannot remove " + path).c_str());
    return false;
  }
  return true;
}

// Removes the link only if it is still ours.
void RemoveLink(const std::string& path, const std::string& target) {
  char buffer[4096];
  ssize_t n = readlink(path.c_str(), buffer, sizeof buffer - 1);
  if (n < 0) return;
  buffer[n] = '\0';
  if (target == buffer) unlink(path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (int code = ParseOptions(argc, argv, options)) return code;
  if (options.help) {
    Usage(stdout);
    return 0;
  }
  if (options.version) {
    std::printf("plcsim %s\n", base::kVersion);
    return 0;
  }

  // Block the stop signals before the server thread starts, so that it inherits the mask
  // and only sigwait below sees them.
  sigset_t stops;
  sigemptyset(&stops);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&stops, s);
  pthread_sigmask(SIG_BLOCK, &stops, nullptr);

  bool busy = false;
  if (plcsim::ClaimLinkPath(options.link, busy) < 0) {  // held until we end
    if (busy)
      std::fprintf(stderr, "plcsim: another plcsim serves %s; not replacing its link\n",
                   options.link.c_str());
    else
      std::perror("plcsim: cannot claim the link");
    return 1;
  }
  if (!ClearLinkPath(options.link)) return 1;
  plcsim::PlcModel model;
  plcsim::SimLine line{model};
  std::string error;
  std::unique_ptr<plcsim::PtyServer> server =
      plcsim::ServeSimulator(options.sim, model, line, error);
  if (!server) {
    std::fprintf(stderr, "plcsim: cannot open a pseudo-terminal: %s\n", error.c_str());
    return 1;
  }
  const std::string slave = server->SlavePath();
  if (symlink(slave.c_str(), options.link.c_str()) != 0) {
    std::perror(("plcsim: cannot link " + options.link).c_str());
    return 1;
  }
  std::printf("plcsim: serving the simulated plate store at %s (%s)\n", options.link.c_str(),
              slave.c_str());
  std::fflush(stdout);

  int signal = 0;
  while (sigwait(&stops, &signal) != 0) {
  }
  server.reset();
  RemoveLink(options.link, slave);
  std::printf("plcsim: %s\n", plcsim::BooksLine(model).c_str());
  return 0;
}
