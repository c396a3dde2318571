// One line of a record as the console writes it: cells split at commas, a quoted cell
// may hold commas and doubled quotes. Escapes (\r, \xB3) stay as written: the page
// shows them as the console wrote them.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace report {

// False when a quote is left open: the line was cut off or is no CSV line.
bool SplitCsvLine(std::string_view line, std::vector<std::string>& cells);

}  // namespace report
