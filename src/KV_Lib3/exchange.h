// The one request/reply exchange with the controller, and the fixed requests that
// open and close its communication.
#pragma once
#include <cstdint>
#include <string>

constexpr size_t kReplyReadBytes = 50;
constexpr int64_t kReadWindowMicros = 55000;
constexpr int kAttempts = 4;
// The controller's line end, the last two bytes of every reply.
constexpr char kReplyLineEnd[] = "\r\n";

// Off: every read waits out its window, as the line has always been read. On (--fast-link):
// a read also ends as soon as the reply's line end has arrived; purge, attempts, the
// pause before the last read and the reply rules stay the same.
extern bool FastLink;
// On the fast link exchanges start at least this far apart: a polling loop against a
// controller that answers at once makes at most 67 a second. The shortest exchange a
// real line carries takes longer anyway: "RD 1915" and its CR out, "1" CR LF back, at
// 1.15 ms a character, and the controller's 3 ms make 15.6 ms.
constexpr int64_t kFastLinkPaceMicros = 15000;
// A Ready wait on the fast link goes round at most this often: its three exchanges take
// 45 ms there, against 165 ms on the faithful link, and at that pace a Ready that never
// comes would cost some 1.5 % of a core. A Ready is still seen sooner than on the
// faithful link.
constexpr int64_t kFastLinkReadyRoundMicros = 90000;
// The faithful link, and no exchange made yet.
void ResetExchange();

std::string PlcExchange(int port, const std::string& command, std::string& reply);
std::string PlcExchange(int port, const std::string& command);
std::string CommRequest(int port, std::string& reply);
std::string CommQuit(int port, std::string& reply);
// The command as it goes on the line, after the negative-number rule (without the CR).
std::string ApplyNegativeRule(const std::string& command);
