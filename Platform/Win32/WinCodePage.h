// Conversions between the engine's 8-bit code page (Windows-1251), UTF-8 and
// UTF-16, as the window layer needs them: typed characters for an ANSI window
// class, and titles and message-box texts that SDL wants in UTF-8.
// Public header of the platform layer.
#pragma once

#include <cstdint>
#include <string>

// The Unicode code point of a Windows-1251 byte; 0xFFFD for 0x98, which the
// code page leaves undefined.
uint32_t Cp1251ToCodePoint(uint8_t byte);

// The Windows-1251 byte of a code point, or -1 when the code page has none.
int CodePointToCp1251(uint32_t codePoint);

// Zero-terminated Windows-1251 text to UTF-8.
std::string Cp1251ToUtf8(const char* text);

// Reads one code point from UTF-8 at text[*pos], advancing *pos past it.
// Malformed or truncated sequences give U+FFFD and advance by one byte.
uint32_t DecodeUtf8(const std::string& text, size_t* pos);

// Appends the UTF-8 form of a code point.
void AppendUtf8(std::string* out, uint32_t codePoint);
