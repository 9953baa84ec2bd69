// Conversions between UTF-8, the engine's 8-bit code page (Windows-1251) and
// UTF-16.
//
// The buffer forms write into a caller's buffer that holds one unit per input
// character plus the terminator, and return that buffer.
#pragma once

#include "Engine/Core/Common/GeString.h"

// Bytes below 0x80 stay as they are; the upper half goes through the code
// page. 0x98, undefined in Windows-1251, gives U+FFFD.
char16_t AnsiCharToWide(unsigned char byte);
char16_t* AnsiToWide(char16_t* output, const char* text);

// Units without a byte in the code page become '?'.
char* WideToAnsi(char* output, const char16_t* text);

// Decodes UTF-8 into one unit per character (characters above U+FFFF keep
// their low 16 bits). A malformed or truncated sequence gives U+FFFD and the
// decoder never reads past the terminator.
char16_t* Utf8ToWide(char16_t* output, const char* text);

// String forms: an empty input gives an empty result.
CGeString WideStringToAnsi(const CGeWString& text);
CGeWString Utf8StringToWide(const CGeString& text);
CGeWString AnsiStringToWide(const CGeString& text);
