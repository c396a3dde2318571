#include "report/line_gaps.h"

#include <map>
#include <optional>
#include <string>

#include "report/clock_text.h"
#include "report/record.h"

namespace report {

namespace {

struct PortEvent {
  int port = 0;
  std::string_view what;
};

// "2026-12-07 01:50:53.097  port 1  line gone" without its stamp, split.
std::optional<PortEvent> ReadPortEvent(std::string_view rest) {
  constexpr std::string_view kPort = "  port ";
  if (rest.substr(0, kPort.size()) != kPort) return std::nullopt;
  rest.remove_prefix(kPort.size());
  const size_t blanks = rest.find("  ");
  const std::optional<int64_t> port = WholeNumber(rest.substr(0, blanks));
  if (!port || blanks == std::string_view::npos) return std::nullopt;
  return PortEvent{static_cast<int>(*port), rest.substr(blanks + 2)};
}

}  // namespace

std::vector<LineGap> ParseLineGaps(std::string_view log) {
  std::vector<LineGap> gaps;
  std::map<int, size_t> open;  // port: its gap still open
  int64_t last = 0;
  while (!log.empty()) {
    const size_t end = log.find('\n');
    const std::string_view line = log.substr(0, end);
    log.remove_prefix(end == std::string_view::npos ? log.size() : end + 1);
    const std::optional<int64_t> at =
        line.size() > 23 ? ParseClock(line.substr(0, 23)) : std::nullopt;
    if (!at) continue;
    last = *at;
    const std::optional<PortEvent> event = ReadPortEvent(line.substr(23));
    if (!event) continue;
    if (event->what.substr(0, 9) == "line gone" && !open.count(event->port)) {
      open[event->port] = gaps.size();
      gaps.push_back({event->port, *at, *at, false});
    } else if (event->what.substr(0, 9) == "line back" && open.count(event->port)) {
      gaps[open[event->port]].to = *at;
      gaps[open[event->port]].back = true;
      open.erase(event->port);
    }
  }
  for (const auto& [port, index] : open) gaps[index].to = last;
  return gaps;
}

}  // namespace report
