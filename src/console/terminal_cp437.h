// Code page 437, the screen's character set, as the terminal shows it: Unicode glyphs
// in a UTF-8 locale, plain ASCII look-alikes otherwise.
#pragma once
#include <cstdint>
#include <string>

namespace console {

// The glyph a code page 437 byte shows; byte 0 is a blank, as on the PC screen.
char32_t Cp437ToUnicode(uint8_t byte);
// A printable ASCII stand-in for terminals that cannot show the glyph.
char Cp437ToAscii(uint8_t byte);
// The byte 80h-FFh that shows this code point, or -1 when code page 437 has none.
int UnicodeToCp437High(char32_t codePoint);
void AppendUtf8(std::string& out, char32_t codePoint);
// Whether the terminal speaks UTF-8, judged from the locale variables in the order the
// C library reads them (LC_ALL, LC_CTYPE, LANG; null or empty means unset).
bool LocaleIsUtf8(const char* lcAll, const char* lcCtype, const char* lang);

}  // namespace console
