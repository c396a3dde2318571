// Where the serial line was gone, from the console's line log (pxn32 --log FILE): each
// "line gone" of a port up to its next "line back". The log's other lines (requests,
// replies, its header) are passed over.
#pragma once
#include <cstdint>
#include <string_view>
#include <vector>

namespace report {

struct LineGap {
  int port = 0;
  int64_t from = 0, to = 0;  // ms (report/clock_text.h)
  bool back = true;          // false: not back by the end of the log, `to` is its last line
};

std::vector<LineGap> ParseLineGaps(std::string_view log);

}  // namespace report
