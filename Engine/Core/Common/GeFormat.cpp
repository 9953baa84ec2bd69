#include "Engine/Core/Common/GeFormat.h"

#include "Engine/Core/Common/GeWideFormat.h"

#include <cstdarg>
#include <cstdio>

CGeString FormatString(const char* format, ...)
{
    char text[1024] = {};
    va_list args;
    va_start(args, format);
    if (vsnprintf(text, sizeof(text), format, args) < 0)
        text[0] = 0;
    va_end(args);
    return CGeString(text);
}

CGeWString FormatWideString(const char16_t* format, ...)
{
    char16_t text[2048] = {};
    va_list args;
    va_start(args, format);
    FormatWideBufferV(text, 2048, format, args);
    va_end(args);
    return CGeWString(text);
}

void FormatWideString(CGeWString& target, const char16_t* format, ...)
{
    char16_t text[4096] = {};
    va_list args;
    va_start(args, format);
    FormatWideBufferV(text, 4096, format, args);
    va_end(args);
    target = CGeWString(text);
}
