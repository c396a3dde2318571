#include "KV_Lib3/exchange.h"

#include "KV_Lib3/text_to_int.h"
#include "base/clock.h"
#include "comLib3/keyboard.h"
#include "comLib3/line_log.h"
#include "comLib3/serial.h"
#include "console/console.h"

bool FastLink = false;

namespace {

int64_t lastExchangeStart = -kFastLinkPaceMicros;

// A read that ends on the line end lets a polling loop go round as fast as the
// controller answers; against a store that answers at once that would be hundreds of
// exchanges a second.
void PaceFastLink() {
  if (!FastLink) return;
  base::Clock& clock = base::TheClock();
  clock.SleepUntil(lastExchangeStart + kFastLinkPaceMicros);
  lastExchangeStart = clock.NowMicros();
}

}  // namespace

void ResetExchange() {
  FastLink = false;
  lastExchangeStart = -kFastLinkPaceMicros;
}

std::string ApplyNegativeRule(const std::string& command) {
  size_t minus = command.find('-');
  if (minus == std::string::npos) return command;
  std::string rest = command.substr(minus + 1);
  int32_t value = TextToInt(rest);
  auto low = static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFF);
  auto negated = static_cast<uint16_t>(0x10000 - low);
  return command.substr(0, minus) + std::to_string(negated);
}

std::string PlcExchange(int port, const std::string& command, std::string& reply) {
  reply.clear();
  if (EscAbort) return reply;
  PaceFastLink();
  PurgeComPort(port);
  const std::string line = ApplyNegativeRule(command) + '\r';
  for (int attempt = 1; attempt <= kAttempts; ++attempt) {
    reply.clear();
    PurgeComPort(port);
    SerialDevice* device = ComDevice(port);
    const bool live = device && !device->Lost();  // a line that is away is not logged
    const int64_t start = base::TheClock().NowMicros();
    // The request must be out before the reply's window opens, or a long one would
    // still be leaving when the window ends and the next purge would cut it.
    if (device) {
      device->Write(line);
      device->Drain();
    }
    if (attempt == kAttempts) WaitTenths(1);
    FlushScreen();  // what was written so far shows while the answer is awaited
    if (device)
      reply = FastLink ? device->ReadUntil(kReplyReadBytes, kReadWindowMicros, kReplyLineEnd)
                       : device->Read(kReplyReadBytes, kReadWindowMicros);
    if (live) LogAttempt(port, line, reply, attempt, base::TheClock().NowMicros() - start);
    if (reply.size() >= 2) reply.resize(reply.size() - 2);
    if (!reply.empty() && reply[0] != 'E') break;
    if (attempt == kAttempts || EscAbort) break;
  }
  return reply;
}

std::string PlcExchange(int port, const std::string& command) {
  std::string reply;
  return PlcExchange(port, command, reply);
}

std::string CommRequest(int port, std::string& reply) { return PlcExchange(port, "CR", reply); }
std::string CommQuit(int port, std::string& reply) { return PlcExchange(port, "CQ", reply); }
