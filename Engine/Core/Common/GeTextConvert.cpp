#include "Engine/Core/Common/GeTextConvert.h"

#include "Platform/Win32/WinCodePage.h"

#include <cstdlib>

namespace {

const char16_t kReplacementChar = 0xFFFD;

// The code page itself lives in the platform layer, which needs it for typed
// characters too; the engine keeps no second copy of the table.
char WideCharToAnsi(char16_t unit)
{
    int byte = CodePointToCp1251(unit);
    return byte < 0 ? '?' : (char)byte;
}

// The number of bytes a UTF-8 sequence announces by its lead byte; 0 for a
// byte that cannot start one (a continuation byte, or 0xF8 and above).
int Utf8SequenceLength(unsigned char lead)
{
    if (lead < 0x80)
        return 1;
    if (lead < 0xC0)
        return 0;
    if (lead < 0xE0)
        return 2;
    if (lead < 0xF0)
        return 3;
    if (lead < 0xF8)
        return 4;
    return 0;
}

} // namespace

char16_t AnsiCharToWide(unsigned char byte)
{
    return (char16_t)Cp1251ToCodePoint(byte);
}

char16_t* AnsiToWide(char16_t* output, const char* text)
{
    size_t i = 0;
    for (; text[i]; i++)
        output[i] = AnsiCharToWide((unsigned char)text[i]);
    output[i] = 0;
    return output;
}

char* WideToAnsi(char* output, const char16_t* text)
{
    size_t i = 0;
    for (; text[i]; i++)
        output[i] = WideCharToAnsi(text[i]);
    output[i] = 0;
    return output;
}

char16_t* Utf8ToWide(char16_t* output, const char* text)
{
    const unsigned char* in = (const unsigned char*)text;
    char16_t* out = output;
    while (*in) {
        int length = Utf8SequenceLength(*in);
        if (length == 0) {
            *out++ = kReplacementChar;
            in++;
            continue;
        }
        uint32_t character = length == 1 ? *in : *in & (0x7F >> length);
        int i = 1;
        // A continuation byte is 10xxxxxx; the terminator never is.
        for (; i < length && (in[i] & 0xC0) == 0x80; i++)
            character = (character << 6) | (in[i] & 0x3F);
        if (i < length) {
            // Cut short: the bytes read so far become one replacement, and
            // decoding goes on at the byte that broke the sequence.
            *out++ = kReplacementChar;
            in += i;
            continue;
        }
        *out++ = (char16_t)character;
        in += length;
    }
    *out = 0;
    return output;
}

namespace {

// Runs a buffer conversion into a zero-filled temporary of length + 1 units
// and copies the result into a string.
template <typename Result, typename OutUnit, typename Input, typename Convert>
Result ConvertString(const Input& text, Convert convert)
{
    if (text.IsEmpty())
        return Result();
    OutUnit* buffer = (OutUnit*)calloc(text.Length() + 1, sizeof(OutUnit));
    if (!buffer)
        return Result();
    Result result(convert(buffer, text.c_str()));
    free(buffer);
    return result;
}

} // namespace

CGeString WideStringToAnsi(const CGeWString& text)
{
    return ConvertString<CGeString, char>(text, WideToAnsi);
}

CGeWString Utf8StringToWide(const CGeString& text)
{
    return ConvertString<CGeWString, char16_t>(text, Utf8ToWide);
}

CGeWString AnsiStringToWide(const CGeString& text)
{
    return ConvertString<CGeWString, char16_t>(text, AnsiToWide);
}
