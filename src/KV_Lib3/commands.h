// The controller command set: relays, timers and data-memory words, and the polls
// that wait for a relay or a timer.
#pragma once
#include <cstdint>
#include <string>

std::string SetRelay(int port, int32_t relay, std::string& reply);
std::string ResetRelay(int port, int32_t relay, std::string& reply);
std::string ReadRelay(int port, int32_t relay, std::string& reply);
std::string ReadTimer(int port, int32_t timer, std::string& reply);
std::string WriteDM(int port, uint16_t address, uint16_t value, std::string& reply);
std::string ReadDM(int port, uint16_t address, std::string& reply);
void WaitRelay(int port, int32_t relay);
int32_t WaitTimer(int port, int32_t timer);
bool RelayIsOn(int port, int32_t relay);
// Reads a data word twice (`pauseTenths` apart, none for 0) until two readings agree;
// `reading` holds the first of the agreeing pair. Esc ends it: the readings then come
// back empty and agree.
void ReadSteadyDM(int port, uint16_t address, int pauseTenths, std::string& reading);
// The same until the two readings agree as numbers (TextToInt); returns that number.
int32_t ReadSteadyNumber(int port, uint16_t address, int pauseTenths);

// Shorthands for callers that only want the reply.
// clang-format off
inline std::string SetRelay(int port, int32_t relay) { std::string r; return SetRelay(port, relay, r); }
inline std::string ResetRelay(int port, int32_t relay) { std::string r; return ResetRelay(port, relay, r); }
inline std::string ReadRelay(int port, int32_t relay) { std::string r; return ReadRelay(port, relay, r); }
inline std::string ReadTimer(int port, int32_t timer) { std::string r; return ReadTimer(port, timer, r); }
inline std::string WriteDM(int port, uint16_t a, uint16_t v) { std::string r; return WriteDM(port, a, v, r); }
inline std::string ReadDM(int port, uint16_t address) { std::string r; return ReadDM(port, address, r); }
// clang-format on
