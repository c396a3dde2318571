#include "console/console.h"

#include <cmath>
#include <cstdio>
#include <memory>

#include "base/clock.h"
#include "console/backend.h"

namespace console {
namespace {
Backend* backend = nullptr;
std::unique_ptr<Screen> screen;
}  // namespace

void Install(Backend* b) {
  backend = b;
  screen = b ? std::make_unique<Screen>(b->Cols(), b->Rows()) : nullptr;
}
Backend& TheBackend() { return *backend; }
bool HasBackend() { return backend != nullptr; }
Screen& TheScreen() { return *screen; }
}  // namespace console

using console::TheBackend;
using console::TheScreen;

void ClrScr() { TheScreen().ClearWindow(); }
void GotoXY(int x, int y) { TheScreen().GotoXY(x, y); }
int WhereX() { return TheScreen().CursorX(); }
int WhereY() { return TheScreen().CursorY(); }

void TextColor(int colour) {
  auto& s = TheScreen();
  s.SetAttr(static_cast<uint8_t>((s.Attr() & 0xF0) | (colour & 0x0F)));
}

void TextBackground(int colour) {
  auto& s = TheScreen();
  s.SetAttr(static_cast<uint8_t>((s.Attr() & 0x0F) | ((colour & 0x0F) << 4)));
}

void Window(int left, int top, int right, int bottom) {
  TheScreen().SetWindow(left, top, right, bottom);
}

uint16_t WindowMax() {
  auto& s = TheScreen();
  return static_cast<uint16_t>(((s.WinBottom() - 1) << 8) | ((s.WinRight() - 1) & 0xFF));
}

uint16_t WindowMin() {
  auto& s = TheScreen();
  return static_cast<uint16_t>(((s.WinTop() - 1) << 8) | ((s.WinLeft() - 1) & 0xFF));
}

bool KeyPressed() {
  TheBackend().Present(TheScreen());
  return TheBackend().WaitKey(base::TheClock().NowMicros());
}

int ReadKey() {
  TheBackend().Present(TheScreen());
  TheBackend().WaitKey(-1);
  return TheBackend().TakeKey();
}

bool KeyWait(int64_t micros) {
  TheBackend().Present(TheScreen());
  return TheBackend().WaitKey(base::TheClock().NowMicros() + micros);
}

void Delay(int ms) {
  TheBackend().Present(TheScreen());
  base::TheClock().SleepUntil(base::TheClock().NowMicros() + int64_t{ms} * 1000);
}

void GetTime(uint16_t& hour, uint16_t& minute, uint16_t& second, uint16_t& hundredths) {
  base::WallTime w = base::TheClock().Wall();
  hour = static_cast<uint16_t>(w.hour);
  minute = static_cast<uint16_t>(w.minute);
  second = static_cast<uint16_t>(w.second);
  hundredths = static_cast<uint16_t>(w.hundredths);
}

void GetDate(uint16_t& year, uint16_t& month, uint16_t& day, uint16_t& dayOfWeek) {
  base::WallTime w = base::TheClock().Wall();
  year = static_cast<uint16_t>(w.year);
  month = static_cast<uint16_t>(w.month);
  day = static_cast<uint16_t>(w.day);
  dayOfWeek = static_cast<uint16_t>(w.dayOfWeek);
}

// This platform reports version 10 in the low byte: the newer colour scheme of the
// macro screen.
uint16_t DosVersion() { return 10; }

// Safe before a console is installed: the link can run without one (tools, figures).
void FlushScreen() {
  if (console::HasBackend()) TheBackend().Present(TheScreen());
}

void NormVideo() {
  TheScreen().SetAttr(0x07);
  TheBackend().Present(TheScreen());
}

void Write(std::string_view text) {
  int bells = TheScreen().Write(text);
  for (int i = 0; i < bells; ++i) TheBackend().Ring();
}

void Write(char c) { Write(std::string_view(&c, 1)); }

std::string NumText(int64_t value, int width) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width)
    digits.insert(0, static_cast<size_t>(width) - digits.size(), ' ');
  return digits;
}

void WriteNum(int64_t value, int width) { Write(NumText(value, width)); }

std::string FixedText(double value, int width, int decimals) {
  // Half a unit of the last decimal rounds away from zero (0.25 with one decimal is 0.3).
  double scale = std::pow(10.0, decimals);
  double scaled = std::round(value * scale + (value < 0 ? -1e-7 : 1e-7));
  char buf[64];
  std::snprintf(buf, sizeof buf, "%*.*f", width, decimals, scaled / scale);
  return buf;
}

void WriteFixed(double value, int width, int decimals) { Write(FixedText(value, width, decimals)); }
