// Serves the simulated controller in real time at the far end of a pseudo-terminal,
// on a thread of its own, until it is destroyed.
#pragma once
#include <memory>
#include <string>

#include "plcsim/line.h"
#include "plcsim/options.h"

namespace plcsim {

class PtyServer {
 public:
  // Opens a pseudo-terminal and starts serving `line` on it. On failure returns null
  // and sets `error`. The slave's path is SlavePath().
  static std::unique_ptr<PtyServer> Start(SimLine& line, std::string& error);
  virtual ~PtyServer() = default;
  virtual const std::string& SlavePath() const = 0;
};

// Sets up `model` and `line` from the options for a long run (no traffic logs) and
// serves them, as plcsim and pxn32 --sim do. Null with `error` on failure.
std::unique_ptr<PtyServer> ServeSimulator(const SimOptions& options, PlcModel& model, SimLine& line,
                                          std::string& error);

}  // namespace plcsim
