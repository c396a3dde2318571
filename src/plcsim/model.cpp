#include "plcsim/model.h"

#include <cctype>

namespace plcsim {

namespace {
constexpr int kReady = 1915;

// Parses an unsigned decimal number that must fill `text` exactly.
bool ParseNumber(std::string_view text, long& value, long max) {
  if (text.empty() || text.size() > 10) return false;
  value = 0;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    value = value * 10 + (c - '0');
  }
  return value <= max;
}

std::string Trim(std::string_view text) {
  size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
  return b == std::string_view::npos ? std::string() : std::string(text.substr(b, e - b + 1));
}
}  // namespace

PlcModel::PlcModel(SimConfig config) : config_(config), dm_(65536, 0) {
  SetDm(25, static_cast<uint16_t>(config_.levels));
  SetDm(29, static_cast<uint16_t>(config_.positions));
  SetDm(109, static_cast<uint16_t>(config_.serialNo));
  SetDm(1, 1);
  SetRelay(kReady, true);
  SetRelay(1703, config_.threePlateRoute);
  SetRelay(3003, config_.twoCarousels);
}

bool PlcModel::Relay(int n) const {
  auto it = relays_.find(n);
  return it != relays_.end() && it->second;
}

void PlcModel::SetRelay(int n, bool on) { relays_[n] = on; }

bool PlcModel::TimerDone(int n) const {
  auto it = timers_.find(n);
  return it != timers_.end() && it->second;
}

void PlcModel::Advance(int64_t) {}
void PlcModel::OnRelaySet(int, int64_t) {}
void PlcModel::OnDmWritten(int, int64_t) {}

std::string PlcModel::Handle(std::string_view request, int64_t now) {
  requests_.emplace_back(request);
  Advance(now);
  return Execute(request, now);
}

// Request forms: CR, CQ, ST n, RS n, RD n, RD Tn, RD DMn, WR DMn v. Anything else is
// an error answer; relays 0..9999 and timers 0..999.
std::string PlcModel::Execute(std::string_view raw, int64_t now) {
  std::string request = Trim(raw);
  if (request.empty()) return "";
  if (request == "CR") return "CC";
  if (request == "CQ") return "CF";
  long n = 0, v = 0;
  auto rest = [&](size_t from) { return Trim(std::string_view(request).substr(from)); };
  if (request.rfind("ST ", 0) == 0 || request.rfind("RS ", 0) == 0) {
    if (!ParseNumber(rest(3), n, 9999)) return "E1";
    bool on = request[0] == 'S';
    SetRelay(static_cast<int>(n), on);
    if (on) OnRelaySet(static_cast<int>(n), now);
    return "OK";
  }
  if (request.rfind("RD DM", 0) == 0) {
    if (!ParseNumber(rest(5), n, 65535)) return "E1";
    return std::to_string(Dm(static_cast<int>(n)));
  }
  if (request.rfind("RD T", 0) == 0) {
    if (!ParseNumber(rest(4), n, 999)) return "E1";
    // Contact, then current and preset values: 13 characters in all.
    return std::string(TimerDone(static_cast<int>(n)) ? "1" : "0") + ",00000,00000";
  }
  if (request.rfind("RD ", 0) == 0) {
    if (!ParseNumber(rest(3), n, 9999)) return "E1";
    return Relay(static_cast<int>(n)) ? "1" : "0";
  }
  if (request.rfind("WR DM", 0) == 0) {
    std::string args = rest(5);
    size_t blank = args.find(' ');
    if (blank == std::string::npos) return "E1";
    if (!ParseNumber(args.substr(0, blank), n, 65535) || !ParseNumber(Trim(args.substr(blank)), v, 65535))
      return "E1";
    SetDm(static_cast<int>(n), static_cast<uint16_t>(v));
    OnDmWritten(static_cast<int>(n), now);
    return "OK";
  }
  return "E0";
}

}  // namespace plcsim
