// The console services every screen draws and reads with. Coordinates are 1-based and
// relative to the current window; colours are the 16 PC colour numbers.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

void ClrScr();
void GotoXY(int x, int y);
int WhereX();
int WhereY();
void TextColor(int colour);
void TextBackground(int colour);
void Window(int left, int top, int right, int bottom);
// Lower-right corner of the window, zero-based on the screen: low byte column, high byte row.
uint16_t WindowMax();
// Upper-left corner of the window, in the same form.
uint16_t WindowMin();
bool KeyPressed();
int ReadKey();
void Delay(int ms);
// Waits up to `micros` for a key without taking it; true when one waits. Sleeps, never spins.
bool KeyWait(int64_t micros);
void GetTime(uint16_t& hour, uint16_t& minute, uint16_t& second, uint16_t& hundredths);
void GetDate(uint16_t& year, uint16_t& month, uint16_t& day, uint16_t& dayOfWeek);
uint16_t DosVersion();
void NormVideo();
// Brings the display up to date now; key reads, polls and pauses do it themselves.
void FlushScreen();

// Standard output, bound to the console: bytes land at the cursor in the current colours.
void Write(std::string_view text);
void Write(char c);
void WriteNum(int64_t value, int width = 0);  // decimal, right-aligned in `width`
// Fixed-point real as the console wrote it: right-aligned in `width`, `decimals` places.
void WriteFixed(double value, int width, int decimals);
std::string FixedText(double value, int width, int decimals);
std::string NumText(int64_t value, int width = 0);

// Standard line input with echo and Backspace on the same console.
std::string ReadLineText();  // one line, without its end; at most 255 characters kept
char ReadLineChar();         // first character of a line (CR for an empty line)
// Reads a line holding one whole number. False, with the line consumed, when it is not
// a number that fits 32 bits. An empty line waits for the next one.
bool ReadLineInteger(int32_t& value);
