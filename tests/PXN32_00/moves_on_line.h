// The handler moves a screen made, read back from the requests the controller received:
// each move relay set, with the DM0 and DM5 written last before it.
#pragma once
#include <string>
#include <vector>

// "L1.1" Load, "U" Unload, "P" Pick, "D" Place (drop), blank-separated.
inline std::string MovesOnLine(const std::vector<std::string>& requests) {
  std::string moves, position = "?", level = "?";
  for (const std::string& r : requests) {
    if (r.starts_with("WR DM0 ")) position = r.substr(7);
    if (r.starts_with("WR DM5 ")) level = r.substr(7);
    const char* kind = r == "ST 1904"   ? "L"
                       : r == "ST 1905" ? "U"
                       : r == "ST 1908" ? "P"
                       : r == "ST 1909" ? "D"
                                        : nullptr;
    if (kind) moves += (moves.empty() ? "" : " ") + (kind + position) + "." + level;
  }
  return moves;
}

// Each slot of a blank-separated list ("1.1 2.1") served by two moves: "L1.1 U1.1 L2.1 U2.1".
inline std::string ServedBy(const std::string& slots, const std::string& first,
                            const std::string& second) {
  std::string moves;
  for (size_t at = 0; at < slots.size();) {
    size_t end = slots.find(' ', at);
    if (end == std::string::npos) end = slots.size();
    const std::string slot = slots.substr(at, end - at);
    moves += (moves.empty() ? "" : " ") + first + slot + " " + second + slot;
    at = end + 1;
  }
  return moves;
}
