// printf-style formatting over UTF-16 (char16_t) text.
//
// The C library's wide printf works on wchar_t, which is 32-bit here, so the
// engine carries its own small formatter. It follows the conventions of the
// Windows C runtime that the game's format texts were written for:
//   %s  %ls  a UTF-16 string (const char16_t*)
//   %S  %hs  an 8-bit string (const char*) in the engine code page
//   %c  %lc  a UTF-16 unit (passed as int)
//   %C  %hc  an 8-bit character (passed as int) in the engine code page
//   %d %i %u %o %x %X   integers, with the length modifiers hh h l ll z j t I32 I64
//   %f %F %e %E %g %G %a %A   double; 'L' is accepted and still reads a double,
//                             as long double is double on that runtime
//   %p  a pointer, %%  a percent sign
// Flags (- + space # 0), width and precision (digits or '*') work as in printf;
// a width or precision above 65535 counts as 65535.
// Numbers are formatted by the C library, so their digits match printf exactly.
// A conversion this formatter does not know (%n among them) is copied as text
// and consumes no argument.
#pragma once

#include <cstdarg>
#include <cstddef>

// Formats into buffer, writing at most capacity - 1 units and then a terminator
// (nothing at all when capacity is 0). Returns the number of units written,
// without the terminator; a longer result is cut.
size_t FormatWideBufferV(char16_t* buffer, size_t capacity, const char16_t* format, va_list args);
size_t FormatWideBufferN(char16_t* buffer, size_t capacity, const char16_t* format, ...);

// The common form for the fixed arrays that status and debug lines use: the
// array's own size is the bound.
template <size_t N>
int FormatWideBuffer(char16_t (&buffer)[N], const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    size_t written = FormatWideBufferV(buffer, N, format, args);
    va_end(args);
    return (int)written;
}
