#include "KV_Lib3/commands.h"

#include "KV_Lib3/text_to_int.h"

#include <cstdlib>

#include "KV_Lib3/exchange.h"
#include "comLib3/keyboard.h"

namespace {
std::string Num(int64_t n) {
  return std::to_string(n);
}
}  // namespace

std::string SetRelay(int port, int32_t relay, std::string& reply) {
  return PlcExchange(port, "ST " + Num(relay), reply);
}

std::string ResetRelay(int port, int32_t relay, std::string& reply) {
  return PlcExchange(port, "RS " + Num(relay), reply);
}

std::string ReadRelay(int port, int32_t relay, std::string& reply) {
  return PlcExchange(port, "RD " + Num(relay), reply);
}

// The contact is the first character; the 12 characters after it are dropped.
std::string ReadTimer(int port, int32_t timer, std::string& reply) {
  PlcExchange(port, "RD T" + Num(timer), reply);
  if (reply.size() > 1) reply.erase(1, 12);
  return reply;
}

std::string WriteDM(int port, uint16_t address, uint16_t value, std::string& reply) {
  return PlcExchange(port, "WR DM" + Num(address) + " " + Num(value), reply);
}

std::string ReadDM(int port, uint16_t address, std::string& reply) {
  return PlcExchange(port, "RD DM" + Num(address), reply);
}

void WaitRelay(int port, int32_t relay) {
  const std::string target = relay > 0 ? "1" : "0";
  const int64_t polled = std::llabs(int64_t{relay});
  std::string reply;
  do {
    WaitTenths(2);
    PlcExchange(port, "RD " + Num(polled), reply);
    PollKey();
  } while (reply != target && !EscAbort);
}

int32_t WaitTimer(int port, int32_t timer) {
  int32_t count = 0;
  bool escSeen = false;
  std::string reply;
  do {
    WaitTenths(1);
    PlcExchange(port, "RD T" + Num(timer), reply);
    ++count;
    escSeen = PollKey() == kEsc;
  } while (!(reply.size() > 0 && reply[0] == '1') && !escSeen && !EscAbort);
  return count;
}

bool RelayIsOn(int port, int32_t relay) {
  std::string reply;
  ReadRelay(port, relay, reply);
  return !reply.empty() && reply[0] == '1';
}

// A controller that answers a different thing every time would hold this loop for ever:
// Esc gets out, as the exchanges then answer empty and two empty readings agree.
namespace {

template <class Same>
void ReadUntilAgreed(int port, uint16_t address, int pauseTenths, std::string& reading,
                     Same same) {
  std::string second;
  for (;;) {
    ReadDM(port, address, reading);
    if (pauseTenths > 0) WaitTenths(pauseTenths);
    ReadDM(port, address, second);
    if (same(reading, second)) return;
    PollKey();
  }
}

}  // namespace

void ReadSteadyDM(int port, uint16_t address, int pauseTenths, std::string& reading) {
  ReadUntilAgreed(port, address, pauseTenths, reading,
                  [](const std::string& a, const std::string& b) { return a == b; });
}

int32_t ReadSteadyNumber(int port, uint16_t address, int pauseTenths) {
  std::string reading;
  ReadUntilAgreed(port, address, pauseTenths, reading, [](const std::string& a, const std::string& b) {
    return TextToInt(a) == TextToInt(b);
  });
  return TextToInt(reading);
}
