#include "Engine/Core/Common/GeDateTime.h"

#include "Engine/Core/Common/GeError.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>

// "Sen" is the game's own text for September and is kept as it is shown.
static const char* const kMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sen", "Oct", "Nov", "Dec"};
static const char* const kWeekdayNames[7] = {"sun", "mon", "tue", "wed", "thu", "fri", "sat"};

static const char kDefaultPattern[] = "y M d h:n:s w";
static const size_t kPatternBufferSize = 50;

uint32_t CGeDateTimeDecoder::Now()
{
    return static_cast<uint32_t>(time(nullptr));
}

int32_t CGeDateTimeDecoder::Localtime()
{
    const time_t now = time(nullptr);
    tm local;
    if (!localtime_r(&now, &local)) {
        GE_ERROR_REPORT("CGeDateTimeDecoder::Localtime: error get tz info #%d", errno);
        // Without zone information the offset is taken as zero.
        return 0;
    }
    // tm_gmtoff is local minus UTC and already includes daylight saving.
    return static_cast<int32_t>(-local.tm_gmtoff);
}

GeCalendarTime CGeDateTimeDecoder::ToLocalSystemTime(const uint32_t* time)
{
    const uint32_t seconds = time ? *time : Now() - static_cast<uint32_t>(Localtime());
    // The seconds already count local time, so they are split without a zone.
    const time_t t = static_cast<time_t>(seconds);
    tm fields;
    GeCalendarTime out = {};
    if (!gmtime_r(&t, &fields))
        return out;
    out.day = static_cast<uint32_t>(fields.tm_mday);
    out.month = static_cast<uint32_t>(fields.tm_mon + 1);
    out.year = static_cast<uint32_t>(fields.tm_year + 1900);
    out.hour = static_cast<uint32_t>(fields.tm_hour);
    out.minute = static_cast<uint32_t>(fields.tm_min);
    out.second = static_cast<uint32_t>(fields.tm_sec);
    out.weekday = static_cast<uint32_t>(fields.tm_wday + 1);
    return out;
}

const char* CGeDateTimeDecoder::GetMonthName(uint32_t index)
{
    return index < 12 ? kMonthNames[index] : "";
}

const char* CGeDateTimeDecoder::GetWeekdayName(uint32_t index)
{
    return index < 7 ? kWeekdayNames[index] : "";
}

// Appends ASCII text to a wide string.
static void AppendAscii(CGeWString& out, const char* text)
{
    char16_t wide[32];
    size_t n = 0;
    while (text[n] && n < 31) {
        wide[n] = static_cast<char16_t>(static_cast<unsigned char>(text[n]));
        ++n;
    }
    wide[n] = 0;
    out.Append(wide);
}

static void AppendNumber(CGeWString& out, const char* format, uint32_t value)
{
    char text[16];
    snprintf(text, sizeof(text), format, static_cast<int>(value));
    AppendAscii(out, text);
}

CGeWString& CGeDateTimeDecoder::Format(const char* pattern, const uint32_t* time, CGeWString& out)
{
    return Format(pattern, ToLocalSystemTime(time), out);
}

CGeWString& CGeDateTimeDecoder::Format(const char* pattern, const GeCalendarTime& when, CGeWString& out)
{
    char buffer[kPatternBufferSize] = {};
    strncpy(buffer, pattern ? pattern : kDefaultPattern, kPatternBufferSize - 1);

    out = u"";
    for (const char* p = buffer; *p; ++p) {
        switch (*p) {
        case 'y': AppendNumber(out, "%4d", when.year); break;
        case 'm': AppendNumber(out, "%02d", when.month); break;
        case 'd': AppendNumber(out, "%02d", when.day); break;
        case 'h': AppendNumber(out, "%02d", when.hour); break;
        case 'n': AppendNumber(out, "%02d", when.minute); break;
        case 's': AppendNumber(out, "%02d", when.second); break;
        case 'M': AppendAscii(out, GetMonthName(when.month - 1)); break;
        case 'w': AppendAscii(out, GetWeekdayName(when.weekday - 1)); break;
        default: {
            const char one[2] = {*p, 0};
            AppendAscii(out, one);
            break;
        }
        }
    }
    return out;
}
