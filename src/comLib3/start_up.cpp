#include "comLib3/start_up.h"

#include "comLib3/keyboard.h"
#include "comLib3/screen_tools.h"
#include "console/terminal.h"

std::unique_ptr<console::Backend> StartConsole(std::string& error) {
  std::unique_ptr<console::Backend> backend = console::StartTerminal(error);
  if (!backend) return nullptr;
  console::Install(backend.get());
  ClearKeys();
  RememberScreenSize();
  return backend;
}
