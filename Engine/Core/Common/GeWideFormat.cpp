// The UTF-16 printf. Conversions are parsed here; numbers are handed to the C
// library's snprintf with the same flags, width and precision, and its ASCII
// result is widened, so numeric output is exactly printf's.
#include "Engine/Core/Common/GeWideFormat.h"

#include "Engine/Core/Common/GeTextConvert.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

// Collects output units; never writes past capacity - 1, so the terminator fits.
struct WideSink {
    char16_t* out;
    size_t capacity;
    size_t length;

    void Put(char16_t unit)
    {
        if (length + 1 < capacity)
            out[length++] = unit;
    }
    void Repeat(char16_t unit, int count)
    {
        for (int i = 0; i < count; i++)
            Put(unit);
    }
    void Terminate()
    {
        if (capacity > 0)
            out[length] = 0;
    }
};

enum LengthModifier { LEN_NONE, LEN_HH, LEN_H, LEN_L, LEN_LL, LEN_Z, LEN_J, LEN_T, LEN_BIG_L };

struct ConversionSpec {
    char flags[8];   // as written, zero-terminated, for the narrow printf
    bool leftAlign;
    int width;       // -1 when absent
    int precision;   // -1 when absent
    LengthModifier length;
    char conversion;
};

bool IsDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// Widths and precisions beyond this are taken as this: no text the engine
// formats needs more, and a huge field would only cost a huge allocation.
const int kMaxCount = 65535;

int ClampCount(int value)
{
    return value > kMaxCount ? kMaxCount : value;
}

// Reads a count written as digits, or as '*' taking an int argument. Returns
// false when neither is there.
bool ReadCount(const char16_t*& p, va_list& args, int& value)
{
    if (*p == u'*') {
        p++;
        value = va_arg(args, int);
        return true;
    }
    if (!IsDigit(*p))
        return false;
    value = 0;
    while (IsDigit(*p)) {
        if (value <= kMaxCount)
            value = value * 10 + (*p - u'0');
        p++;
    }
    return true;
}

// Parses flags, width, precision and length after a '%'. Leaves p on the
// conversion character.
void ParseSpec(const char16_t*& p, va_list& args, ConversionSpec& spec)
{
    size_t flagCount = 0;
    spec.leftAlign = false;
    while (*p == u'-' || *p == u'+' || *p == u' ' || *p == u'#' || *p == u'0') {
        if (*p == u'-')
            spec.leftAlign = true;   // written once below, with a negative '*' width too
        else if (flagCount < sizeof(spec.flags) - 2)
            spec.flags[flagCount++] = (char)*p;
        p++;
    }

    int value;
    spec.width = -1;
    if (ReadCount(p, args, value)) {
        if (value < 0) {
            // A negative '*' width means left alignment, as in printf.
            spec.leftAlign = true;
            value = value < -kMaxCount ? kMaxCount : -value;
        }
        spec.width = ClampCount(value);
    }
    if (spec.leftAlign)
        spec.flags[flagCount++] = '-';
    spec.flags[flagCount] = 0;

    spec.precision = -1;
    if (*p == u'.') {
        p++;
        if (!ReadCount(p, args, value))
            spec.precision = 0;   // "%.f" means precision 0
        else if (value >= 0)
            spec.precision = ClampCount(value);   // a negative '*' precision counts as absent
    }

    spec.length = LEN_NONE;
    switch (*p) {
    case u'h':
        p++;
        spec.length = LEN_H;
        if (*p == u'h') {
            p++;
            spec.length = LEN_HH;
        }
        break;
    case u'l':
        p++;
        spec.length = LEN_L;
        if (*p == u'l') {
            p++;
            spec.length = LEN_LL;
        }
        break;
    case u'L': p++; spec.length = LEN_BIG_L; break;
    case u'q': p++; spec.length = LEN_LL; break;
    case u'z': p++; spec.length = LEN_Z; break;
    case u'j': p++; spec.length = LEN_J; break;
    case u't': p++; spec.length = LEN_T; break;
    case u'I':
        if (p[1] == u'6' && p[2] == u'4') {
            p += 3;
            spec.length = LEN_LL;
        } else if (p[1] == u'3' && p[2] == u'2') {
            p += 3;
        }
        break;
    default: break;
    }
    spec.conversion = *p < 0x80 ? (char)*p : 0;
}

long long ReadSigned(va_list& args, LengthModifier length)
{
    switch (length) {
    case LEN_HH: return (signed char)va_arg(args, int);
    case LEN_H: return (short)va_arg(args, int);
    case LEN_L: return va_arg(args, long);
    case LEN_LL: return va_arg(args, long long);
    case LEN_Z: return (long long)va_arg(args, ptrdiff_t);
    case LEN_J: return (long long)va_arg(args, intmax_t);
    case LEN_T: return (long long)va_arg(args, ptrdiff_t);
    default: return va_arg(args, int);
    }
}

unsigned long long ReadUnsigned(va_list& args, LengthModifier length)
{
    switch (length) {
    case LEN_HH: return (unsigned char)va_arg(args, unsigned int);
    case LEN_H: return (unsigned short)va_arg(args, unsigned int);
    case LEN_L: return va_arg(args, unsigned long);
    case LEN_LL: return va_arg(args, unsigned long long);
    case LEN_Z: return va_arg(args, size_t);
    case LEN_J: return (unsigned long long)va_arg(args, uintmax_t);
    case LEN_T: return (unsigned long long)va_arg(args, ptrdiff_t);
    default: return va_arg(args, unsigned int);
    }
}

// Builds the narrow conversion for snprintf: '%', flags, width, precision,
// the given length text and the conversion character.
void BuildNarrowSpec(char* out, const ConversionSpec& spec, const char* length)
{
    int n = snprintf(out, 64, "%%%s", spec.flags);
    if (spec.width >= 0)
        n += snprintf(out + n, 64 - n, "%d", spec.width);
    if (spec.precision >= 0)
        n += snprintf(out + n, 64 - n, ".%d", spec.precision);
    snprintf(out + n, 64 - n, "%s%c", length, spec.conversion);
}

// Runs snprintf for one value and widens its (ASCII) result into the sink.
template <typename T>
void PutNumber(WideSink& sink, const ConversionSpec& spec, const char* length, T value)
{
    char narrowSpec[64];
    BuildNarrowSpec(narrowSpec, spec, length);

    char local[128];
    char* text = local;
    int n = snprintf(local, sizeof(local), narrowSpec, value);
    if (n < 0)
        return;
    if ((size_t)n >= sizeof(local)) {
        // Wide fields and long %f results: one exact allocation.
        text = (char*)malloc((size_t)n + 1);
        if (!text)
            return;
        snprintf(text, (size_t)n + 1, narrowSpec, value);
    }
    for (int i = 0; i < n; i++)
        sink.Put((char16_t)(unsigned char)text[i]);
    if (text != local)
        free(text);
}

// Writes count units produced by unitAt(i), padded to the field width.
template <typename UnitAt>
void PutPadded(WideSink& sink, const ConversionSpec& spec, int count, UnitAt unitAt)
{
    int padding = spec.width > count ? spec.width - count : 0;
    if (!spec.leftAlign)
        sink.Repeat(u' ', padding);
    for (int i = 0; i < count; i++)
        sink.Put(unitAt(i));
    if (spec.leftAlign)
        sink.Repeat(u' ', padding);
}

void PutWideString(WideSink& sink, const ConversionSpec& spec, const char16_t* text)
{
    if (!text)
        text = u"(null)";
    int count = 0;
    while (text[count] && (spec.precision < 0 || count < spec.precision))
        count++;
    PutPadded(sink, spec, count, [text](int i) { return text[i]; });
}

void PutNarrowString(WideSink& sink, const ConversionSpec& spec, const char* text)
{
    if (!text)
        text = "(null)";
    int count = 0;
    while (text[count] && (spec.precision < 0 || count < spec.precision))
        count++;
    PutPadded(sink, spec, count, [text](int i) { return AnsiCharToWide((unsigned char)text[i]); });
}

// Copies the conversion text from start to p (inclusive) unchanged.
void PutLiteral(WideSink& sink, const char16_t* start, const char16_t* end)
{
    for (const char16_t* q = start; q <= end && *q; q++)
        sink.Put(*q);
}

} // namespace

size_t FormatWideBufferV(char16_t* buffer, size_t capacity, const char16_t* format, va_list argsIn)
{
    WideSink sink = { buffer, capacity, 0 };
    if (!format) {
        sink.Terminate();
        return 0;
    }

    va_list args;
    va_copy(args, argsIn);
    for (const char16_t* p = format; *p; p++) {
        if (*p != u'%') {
            sink.Put(*p);
            continue;
        }
        const char16_t* start = p++;
        ConversionSpec spec;
        ParseSpec(p, args, spec);

        switch (spec.conversion) {
        case '%':
            sink.Put(u'%');
            break;
        case 'd':
        case 'i':
            PutNumber(sink, spec, "ll", ReadSigned(args, spec.length));
            break;
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            PutNumber(sink, spec, "ll", ReadUnsigned(args, spec.length));
            break;
        case 'f':
        case 'F':
        case 'e':
        case 'E':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            PutNumber(sink, spec, "", va_arg(args, double));
            break;
        case 'p':
            spec.precision = -1;
            PutNumber(sink, spec, "", va_arg(args, void*));
            break;
        case 'c':
        case 'C': {
            int value = va_arg(args, int);
            bool narrow = spec.length == LEN_H || (spec.conversion == 'C' && spec.length != LEN_L);
            char16_t unit = narrow ? AnsiCharToWide((unsigned char)value) : (char16_t)value;
            PutPadded(sink, spec, 1, [unit](int) { return unit; });
            break;
        }
        case 's':
        case 'S': {
            bool narrow = spec.length == LEN_H || (spec.conversion == 'S' && spec.length != LEN_L);
            if (narrow)
                PutNarrowString(sink, spec, va_arg(args, const char*));
            else
                PutWideString(sink, spec, va_arg(args, const char16_t*));
            break;
        }
        default:
            // Unknown or unsupported (%n): shown as written, no argument taken.
            PutLiteral(sink, start, p);
            if (!*p)
                p--;   // the format ended inside the conversion
            break;
        }
    }
    va_end(args);
    sink.Terminate();
    return sink.length;
}

size_t FormatWideBufferN(char16_t* buffer, size_t capacity, const char16_t* format, ...)
{
    va_list args;
    va_start(args, format);
    size_t written = FormatWideBufferV(buffer, capacity, format, args);
    va_end(args);
    return written;
}
