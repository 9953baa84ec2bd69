// printf-style formatting into engine strings.
#pragma once

#include "Engine/Core/Common/GeString.h"

// printf into a 1024-byte buffer: at most 1023 characters, a longer result is
// cut.
CGeString FormatString(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The same over UTF-16 with the conventions of FormatWideBufferV, into 2048
// units: at most 2047 units (the GUI's texts may run longer than 1023).
CGeWString FormatWideString(const char16_t* format, ...);

// The form the game layer shares with the mini-games: formats into target
// through a buffer of 4096 units, at most 4095 of them; a longer result is
// cut, an empty one empties target.
void FormatWideString(CGeWString& target, const char16_t* format, ...);
