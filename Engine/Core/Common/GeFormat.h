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

// The same over UTF-16 with the conventions of FormatWideBufferV: at most 1023
// units.
CGeWString FormatWideString(const char16_t* format, ...);
