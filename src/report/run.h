// pxn32-report from its command line to its exit code: reads the records named (files
// or folders of them) and the line log, writes the page, and says on stderr, one line
// each, what it had to leave out. What it would print is handed back instead, so that
// the whole run can be watched without a process.
#pragma once
#include <string>

namespace report {

struct Said {
  std::string out, err;
};

// Exit codes: 0 everything was read, 1 something was left out (or the page could not
// be written), 2 a usage error.
int RunReport(int argc, char** argv, Said& said);

}  // namespace report
