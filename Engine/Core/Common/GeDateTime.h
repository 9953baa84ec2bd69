// Calendar helpers: the current time, the local time-zone offset, the split of
// a time into calendar fields and a small pattern formatter for wide text.
// No state; the save-slot screens show save times through Format.
#pragma once

#include <cstdint>

#include "Engine/Core/Common/GeString.h"

// A time is an unsigned count of seconds since 1970-01-01 00:00:00.
struct GeCalendarTime {
    uint32_t day;     // 1-31
    uint32_t month;   // 1-12
    uint32_t year;
    uint32_t hour;
    uint32_t minute;
    uint32_t second;
    uint32_t weekday; // 1 = Sunday ... 7 = Saturday
};

class CGeDateTimeDecoder {
public:
    // Seconds since 1970 in UTC.
    static uint32_t Now();
    // UTC minus local time in seconds (negative east of Greenwich).
    static int32_t Localtime();
    // Splits a time into calendar fields; without a time, the current local time.
    static GeCalendarTime ToLocalSystemTime(const uint32_t* time = nullptr);

    // "Jan".."Dec" for 0..11 and "sun".."sat" for 0..6; "" outside the tables.
    static const char* GetMonthName(uint32_t index);
    static const char* GetWeekdayName(uint32_t index);

    // Writes a time as wide text by a pattern of letters: y year ("%4d"),
    // m month, d day, h hour, n minute, s second (each "%02d"), M month name,
    // w weekday name; any other character is copied. A null pattern means
    // "y M d h:n:s w"; patterns are cut to 49 characters.
    static CGeWString& Format(const char* pattern, const uint32_t* time, CGeWString& out);
    // The same over calendar fields as they stand (a save header's seven words).
    static CGeWString& Format(const char* pattern, const GeCalendarTime& when, CGeWString& out);
};
