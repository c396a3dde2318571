// Serves the simulated controller in real time at the far end of a pseudo-terminal,
// on a thread of its own, until it is destroyed.
#pragma once
#include <functional>
#include <memory>
#include <string>

#include "plcsim/line.h"
#include "plcsim/options.h"

namespace plcsim {

class PtyServer {
 public:
  // Opens a pseudo-terminal and starts serving `line` on it. On failure returns null
  // and sets `error`. The slave's path is SlavePath(). `afterReceiving`, when given, runs
  // on the server's thread after every chunk of requests the model has handled.
  static std::unique_ptr<PtyServer> Start(SimLine& line, std::string& error,
                                          std::function<void()> afterReceiving = {});
  virtual ~PtyServer() = default;
  virtual const std::string& SlavePath() const = 0;
};

// Sets up `model` and `line` from the options for a long run (no traffic logs) and
// serves them, as plcsim and pxn32 --sim do. Null with `error` on failure.
std::unique_ptr<PtyServer> ServeSimulator(const SimOptions& options, PlcModel& model, SimLine& line,
                                          std::string& error,
                                          std::function<void()> afterReceiving = {});

}  // namespace plcsim
