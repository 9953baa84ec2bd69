#include "Engine/Core/Common/GeDateTime.h"

#include <cstdlib>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

namespace {

std::u16string Wide(const char* text)
{
    std::u16string out;
    for (; *text; ++text)
        out += static_cast<char16_t>(*text);
    return out;
}

std::u16string FormatTime(const char* pattern, uint32_t time)
{
    CGeWString out;
    CGeDateTimeDecoder::Format(pattern, &time, out);
    return std::u16string(out.c_str());
}

// Sets the process time zone for one test and restores it afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone)
    {
        const char* old = getenv("TZ");
        m_hadZone = old != nullptr;
        if (old)
            m_oldZone = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (m_hadZone)
            setenv("TZ", m_oldZone.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool m_hadZone = false;
    std::string m_oldZone;
};

const uint32_t kSaturday = 1252134243; // 2009-09-05 07:04:03

} // namespace

TEST(GeDateTime, SplitsTimesIntoCalendarFields)
{
    struct Case {
        uint32_t time;
        GeCalendarTime expected;
    };
    const Case cases[] = {
        {0, {1, 1, 1970, 0, 0, 0, 5}},
        {kSaturday, {5, 9, 2009, 7, 4, 3, 7}},
        {2147483647u, {19, 1, 2038, 3, 14, 7, 3}},
        {4294967295u, {7, 2, 2106, 6, 28, 15, 1}}, // the whole unsigned range
    };
    for (const Case& c : cases) {
        const GeCalendarTime t = CGeDateTimeDecoder::ToLocalSystemTime(&c.time);
        EXPECT_EQ(c.expected.day, t.day) << c.time;
        EXPECT_EQ(c.expected.month, t.month) << c.time;
        EXPECT_EQ(c.expected.year, t.year) << c.time;
        EXPECT_EQ(c.expected.hour, t.hour) << c.time;
        EXPECT_EQ(c.expected.minute, t.minute) << c.time;
        EXPECT_EQ(c.expected.second, t.second) << c.time;
        EXPECT_EQ(c.expected.weekday, t.weekday) << c.time;
    }
}

TEST(GeDateTime, FormatsPatterns)
{
    struct Case {
        const char* pattern;
        const char* expected;
    };
    const Case cases[] = {
        {nullptr, "2009 Sen 05 07:04:03 sat"},
        {"d.m.y", "05.09.2009"},
        {"h-n-s", "07-04-03"},
        {"[M w] x", "[Sen sat] x"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Wide(c.expected), FormatTime(c.pattern, kSaturday)) << (c.pattern ? c.pattern : "(null)");

    EXPECT_EQ(Wide("1970 Jan 01 00:00:00 thu"), FormatTime(nullptr, 0));

    // Patterns are cut to 49 characters.
    const std::string longPattern(60, 'y');
    std::u16string expected;
    for (int i = 0; i < 49; ++i)
        expected += u"2009";
    EXPECT_EQ(expected, FormatTime(longPattern.c_str(), kSaturday));
}

TEST(GeDateTime, FormatReplacesTheOutputText)
{
    CGeWString out(u"old text");
    const uint32_t time = kSaturday;
    CGeWString& result = CGeDateTimeDecoder::Format("y", &time, out);
    EXPECT_EQ(&out, &result);
    EXPECT_EQ(u"2009", std::u16string(out.c_str()));
}

TEST(GeDateTime, NameTables)
{
    const char* months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sen", "Oct", "Nov", "Dec"};
    for (uint32_t i = 0; i < 12; ++i)
        EXPECT_STREQ(months[i], CGeDateTimeDecoder::GetMonthName(i));
    EXPECT_STREQ("sun", CGeDateTimeDecoder::GetWeekdayName(0));
    EXPECT_STREQ("sat", CGeDateTimeDecoder::GetWeekdayName(6));
    EXPECT_STREQ("", CGeDateTimeDecoder::GetMonthName(12));
    EXPECT_STREQ("", CGeDateTimeDecoder::GetWeekdayName(7));
}

TEST(GeDateTime, LocalOffsetIsUtcMinusLocal)
{
    {
        ScopedTimeZone zone("XYZ-3"); // three hours east of Greenwich
        EXPECT_EQ(-3 * 3600, CGeDateTimeDecoder::Localtime());
    }
    {
        ScopedTimeZone zone("XYZ+5");
        EXPECT_EQ(5 * 3600, CGeDateTimeDecoder::Localtime());

        // Without a time, the calendar shows the current local time.
        const uint32_t before = CGeDateTimeDecoder::Now();
        const GeCalendarTime local = CGeDateTimeDecoder::ToLocalSystemTime();
        const uint32_t expectedTime = before - 5 * 3600;
        const GeCalendarTime expected = CGeDateTimeDecoder::ToLocalSystemTime(&expectedTime);
        EXPECT_EQ(expected.day, local.day);
        EXPECT_EQ(expected.hour, local.hour);
    }
}

TEST(GeDateTime, NowFollowsTheSystemClock)
{
    const uint32_t now = CGeDateTimeDecoder::Now();
    const uint32_t reference = static_cast<uint32_t>(time(nullptr));
    EXPECT_LE(reference - now, 1u);
}
