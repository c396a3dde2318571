// For one fuzz input: the virtual clock and the virtual console of the tests, installed
// while it lives, with the input's keys scripted.
#pragma once
#include <string_view>

#include "base/clock.h"
#include "console/backend.h"
#include "support/virtual_backend.h"
#include "support/virtual_clock.h"

struct VirtualConsole {
  explicit VirtualConsole(std::string_view keys) {
    base::SetClock(&clock);
    console::Install(&backend);
    backend.Type(keys);
  }
  ~VirtualConsole() {
    console::Install(nullptr);
    base::SetClock(nullptr);
  }
  VirtualConsole(const VirtualConsole&) = delete;
  VirtualConsole& operator=(const VirtualConsole&) = delete;

  base::VirtualClock clock;
  console::VirtualBackend backend{clock};
};
