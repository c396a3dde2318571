// The one request/reply exchange with the controller, and the fixed requests that
// open and close its communication.
#pragma once
#include <string>

constexpr size_t kReplyReadBytes = 50;
constexpr int64_t kReadWindowMicros = 55000;
constexpr int kAttempts = 4;

std::string PlcExchange(int port, const std::string& command, std::string& reply);
std::string PlcExchange(int port, const std::string& command);
std::string CommRequest(int port, std::string& reply);
std::string CommQuit(int port, std::string& reply);
// The command as it goes on the line, after the negative-number rule (without the CR).
std::string ApplyNegativeRule(const std::string& command);
