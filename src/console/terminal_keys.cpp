#include "console/terminal_keys.h"

#include "console/terminal_cp437.h"

namespace console {
namespace {

constexpr uint8_t kEscByte = 27;
constexpr size_t kMaxParams = 16;  // longer sequences are nobody's key: dropped whole

void PutExtended(std::string& out, uint8_t scan) {
  out += '\0';
  out += static_cast<char>(scan);
}

// Keys named by a final letter, with CSI or SS3: ESC [ A, ESC O A, ESC [ 1 ; 5 A ...
int ScanForLetter(uint8_t final) {
  switch (final) {
    case 'A':
      return kScanUp;
    case 'B':
      return kScanDown;
    case 'C':
      return kScanRight;
    case 'D':
      return kScanLeft;
    case 'H':
      return kScanHome;
    case 'F':
      return kScanEnd;
    case 'P':
      return kScanF1;
    case 'Q':
      return kScanF1 + 1;
    case 'R':
      return kScanF1 + 2;
    case 'S':
      return kScanF1 + 3;
    case 'Z':
      return kScanShiftTab;
    default:
      return -1;
  }
}

// Keys named by a number before '~': ESC [ 2 ~ is Ins, ESC [ 1 5 ~ is F5 ...
int ScanForTilde(int number) {
  switch (number) {
    case 1:
    case 7:
      return kScanHome;
    case 2:
      return kScanIns;
    case 3:
      return kScanDel;
    case 4:
    case 8:
      return kScanEnd;
    case 5:
      return kScanPgUp;
    case 6:
      return kScanPgDn;
    case 23:
      return kScanF11;
    case 24:
      return kScanF12;
    default:
      break;
  }
  if (number >= 11 && number <= 15) return kScanF1 + (number - 11);
  if (number >= 17 && number <= 21) return kScanF1 + 5 + (number - 17);
  return -1;
}

// The first parameter of "n;m", -1 when absent, -2 when the parameters are not plain
// numbers (private or unknown forms).
int FirstParam(const std::string& params) {
  int value = -1;
  for (char c : params) {
    if (c == ';') break;
    if (c < '0' || c > '9') return -2;
    value = (value < 0 ? 0 : value * 10) + (c - '0');
    if (value > 9999) return -2;
  }
  for (char c : params)
    if ((c < '0' || c > '9') && c != ';') return -2;
  return value;
}

// The application keypad in SS3 form: ESC O M is Enter, ESC O p..y the digits.
int KeypadChar(uint8_t final) {
  constexpr std::string_view kKeypad = "*+,-./0123456789";  // j..y
  if (final == 'M') return 13;
  if (final == 'X') return '=';
  if (final >= 'j' && final <= 'y') return kKeypad[final - 'j'];
  return -1;
}

}  // namespace

std::string KeyDecoder::Feed(std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    auto byte = static_cast<uint8_t>(c);
    while (!Step(byte, out)) {
    }
  }
  return out;
}

std::string KeyDecoder::Expire() {
  std::string out;
  if (state_ == State::kEsc) out += static_cast<char>(kEscByte);
  state_ = State::kGround;
  return out;
}

bool KeyDecoder::Step(uint8_t byte, std::string& out) {
  switch (state_) {
    case State::kGround:
      Ground(byte, out);
      return true;
    case State::kEsc:
      return Escape(byte, out);
    case State::kCsi:
    case State::kSs3:
      return Sequence(byte, out);
    case State::kCsiBracket:
      return LinuxFunctionKey(byte, out);
    case State::kUtf8:
      return Utf8Continuation(byte, out);
  }
  return true;
}

void KeyDecoder::Ground(uint8_t byte, std::string& out) {
  if (byte == kEscByte) {
    state_ = State::kEsc;
  } else if (byte == 127 || byte == 8) {
    out += '\b';
  } else if (byte == '\n') {
    out += '\r';
  } else if (byte == 0) {
    // Ctrl-Space sends NUL; passed on, it would swallow the next key as a scan code.
  } else if (byte < 0x80) {
    out += static_cast<char>(byte);
  } else if (utf8_) {
    StartUtf8(byte);
  } else if (byte >= 0xA0) {
    PutCodePoint(byte, out);  // Latin-1 shares its code points with Unicode
  }
}

bool KeyDecoder::Escape(uint8_t byte, std::string& out) {
  params_.clear();
  overlong_ = false;
  if (byte == '[') {
    state_ = State::kCsi;
    return true;
  }
  if (byte == 'O') {
    state_ = State::kSs3;
    return true;
  }
  // Esc and a key typed ahead arrive together when the program was busy: both count.
  out += static_cast<char>(kEscByte);
  state_ = State::kGround;
  return false;
}

bool KeyDecoder::Sequence(uint8_t byte, std::string& out) {
  if (state_ == State::kCsi && byte == '[' && params_.empty() && !overlong_) {
    state_ = State::kCsiBracket;
    return true;
  }
  if (byte >= 0x20 && byte <= 0x3F) {
    if (params_.size() < kMaxParams)
      params_ += static_cast<char>(byte);
    else
      overlong_ = true;
    return true;
  }
  bool final = byte >= 0x40 && byte <= 0x7E;
  bool ss3 = state_ == State::kSs3;
  state_ = State::kGround;
  if (!final) return false;  // broken off: the partial sequence goes, the byte counts
  if (overlong_) return true;
  int first = FirstParam(params_);
  if (first == -2) return true;
  int scan = -1;
  if (byte == '~') {
    if (!ss3) scan = ScanForTilde(first);
  } else if (first <= 1 || ss3) {  // ESC O 5 A: an old form of a modified key
    scan = ScanForLetter(byte);
    if (scan < 0 && ss3 && params_.empty()) {
      int c = KeypadChar(byte);
      if (c >= 0) out += static_cast<char>(c);
    }
  }
  if (scan >= 0) PutExtended(out, static_cast<uint8_t>(scan));
  return true;
}

bool KeyDecoder::LinuxFunctionKey(uint8_t byte, std::string& out) {
  state_ = State::kGround;
  if (byte >= 'A' && byte <= 'E') {
    PutExtended(out, static_cast<uint8_t>(kScanF1 + (byte - 'A')));
    return true;
  }
  return byte >= 0x20 && byte <= 0x7E;  // an unknown final goes with the sequence
}

void KeyDecoder::StartUtf8(uint8_t lead) {
  if (lead >= 0xC2 && lead <= 0xDF) {
    codePoint_ = lead & 0x1F;
    continuations_ = 1;
    minCodePoint_ = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    codePoint_ = lead & 0x0F;
    continuations_ = 2;
    minCodePoint_ = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    codePoint_ = lead & 0x07;
    continuations_ = 3;
    minCodePoint_ = 0x10000;
  } else {
    return;  // a stray continuation or an impossible lead byte
  }
  state_ = State::kUtf8;
}

bool KeyDecoder::Utf8Continuation(uint8_t byte, std::string& out) {
  if ((byte & 0xC0) != 0x80) {
    state_ = State::kGround;
    return false;
  }
  codePoint_ = (codePoint_ << 6) | (byte & 0x3F);
  if (--continuations_ > 0) return true;
  state_ = State::kGround;
  bool surrogate = codePoint_ >= 0xD800 && codePoint_ <= 0xDFFF;
  if (codePoint_ >= minCodePoint_ && codePoint_ <= 0x10FFFF && !surrogate)
    PutCodePoint(codePoint_, out);
  return true;
}

void KeyDecoder::PutCodePoint(char32_t cp, std::string& out) {
  int byte = UnicodeToCp437High(cp);
  if (byte >= 0) out += static_cast<char>(byte);
}

}  // namespace console
