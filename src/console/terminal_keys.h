// Turns the bytes a terminal sends for keys into PC key codes: plain characters as
// they are, Esc as 27, and cursor and function keys as 0 followed by the scan code.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace console {

// How long a lone Esc waits for the rest of a sequence before it counts as the Esc key.
constexpr int64_t kEscFollowerMicros = 50000;

// PC scan codes of the extended keys the terminal can send.
enum ScanCode : uint8_t {
  kScanShiftTab = 0x0F,
  kScanF1 = 0x3B,  // F1-F10 are 3Bh-44h
  kScanHome = 0x47,
  kScanUp = 0x48,
  kScanPgUp = 0x49,
  kScanLeft = 0x4B,
  kScanRight = 0x4D,
  kScanEnd = 0x4F,
  kScanDown = 0x50,
  kScanPgDn = 0x51,
  kScanIns = 0x52,
  kScanDel = 0x53,
  kScanF11 = 0x85,
  kScanF12 = 0x86,
};

class KeyDecoder {
 public:
  // `utf8`: the terminal sends UTF-8; otherwise high bytes are read as Latin-1.
  explicit KeyDecoder(bool utf8 = true) : utf8_(utf8) {}

  // Decodes one chunk as read from the terminal and returns the key bytes completed by
  // it. A sequence may be split across chunks.
  std::string Feed(std::string_view bytes);
  // No further byte came in time: a lone Esc becomes the Esc key, any other unfinished
  // sequence is dropped.
  std::string Expire();
  // A sequence is started and waits for its next byte.
  bool Pending() const { return state_ != State::kGround; }

 private:
  enum class State { kGround, kEsc, kCsi, kCsiBracket, kSs3, kUtf8 };
  bool Step(uint8_t byte, std::string& out);  // false: start over with this byte
  void Ground(uint8_t byte, std::string& out);
  bool Escape(uint8_t byte, std::string& out);
  bool Sequence(uint8_t byte, std::string& out);
  bool LinuxFunctionKey(uint8_t byte, std::string& out);
  bool Utf8Continuation(uint8_t byte, std::string& out);
  void StartUtf8(uint8_t lead);
  void PutCodePoint(char32_t cp, std::string& out);

  bool utf8_;
  State state_ = State::kGround;
  std::string params_;  // parameter and intermediate bytes of the sequence so far
  bool overlong_ = false;
  char32_t codePoint_ = 0;
  char32_t minCodePoint_ = 0;
  int continuations_ = 0;
};

}  // namespace console
