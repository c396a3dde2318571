// pxn32-report: the test records of pxn32 --record drawn as one HTML page.
#include <cstdio>

#include "report/run.h"

int main(int argc, char** argv) {
  report::Said said;
  const int code = report::RunReport(argc, argv, said);
  std::fputs(said.out.c_str(), stdout);
  std::fputs(said.err.c_str(), stderr);
  return code;
}
