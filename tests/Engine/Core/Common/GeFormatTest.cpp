#include "Engine/Core/Common/GeFormat.h"
#include "Engine/Core/Common/GeWideFormat.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::u16string Widen(const std::string& text)
{
    return std::u16string(text.begin(), text.end());
}

template <typename... Args>
std::u16string Wide(const char16_t* format, Args... args)
{
    char16_t out[256];
    int written = FormatWideBuffer(out, format, args...);
    EXPECT_EQ((size_t)written, std::u16string(out).size());
    return out;
}

// Numbers must come out exactly as the C library's printf writes them.
template <typename T>
void ExpectLikePrintf(const char16_t* wideFormat, const char* narrowFormat, T value)
{
    char expected[256];
    snprintf(expected, sizeof(expected), narrowFormat, value);
    EXPECT_EQ(Wide(wideFormat, value), Widen(expected)) << narrowFormat;
}

TEST(GeWideFormatBuffer, NumbersMatchPrintf)
{
    ExpectLikePrintf(u"%d", "%d", 42);
    ExpectLikePrintf(u"%i", "%i", -7);
    ExpectLikePrintf(u"[%5d]", "[%5d]", 42);
    ExpectLikePrintf(u"[%-5d]", "[%-5d]", 42);
    ExpectLikePrintf(u"%05d", "%05d", -42);
    ExpectLikePrintf(u"%+d", "%+d", 3);
    ExpectLikePrintf(u"% d", "% d", 3);
    ExpectLikePrintf(u"%.3d", "%.3d", 7);
    ExpectLikePrintf(u"%u", "%u", 4294967295u);
    ExpectLikePrintf(u"%x", "%x", 255u);
    ExpectLikePrintf(u"%#X", "%#X", 0xBEEFu);
    ExpectLikePrintf(u"%08x", "%08x", 0x1234u);
    ExpectLikePrintf(u"%o", "%o", 8u);
    ExpectLikePrintf(u"%lld", "%lld", -1234567890123LL);
    ExpectLikePrintf(u"%llu", "%llu", 18446744073709551615ULL);
    ExpectLikePrintf(u"%ld", "%ld", -5L);
    ExpectLikePrintf(u"%zu", "%zu", (size_t)123456789);
    ExpectLikePrintf(u"%f", "%f", 3.25);
    ExpectLikePrintf(u"%10.3f|", "%10.3f|", -3.14159);
    ExpectLikePrintf(u"%-10.2f|", "%-10.2f|", 2.5);
    ExpectLikePrintf(u"%e", "%e", 12345.678);
    ExpectLikePrintf(u"%E", "%E", 0.000123);
    ExpectLikePrintf(u"%g", "%g", 0.0001);
    ExpectLikePrintf(u"%G", "%G", 1e20);
    ExpectLikePrintf(u"%.0f", "%.0f", 2.5);
    ExpectLikePrintf(u"%.f", "%.f", 7.75);
    ExpectLikePrintf(u"%f", "%f", 1e300);   // longer than any small buffer
    ExpectLikePrintf(u"%p", "%p", (void*)0x1234);
}

TEST(GeWideFormatBuffer, LengthModifiersCutTheArgument)
{
    EXPECT_EQ(Wide(u"%hd", 70000), u"4464");
    EXPECT_EQ(Wide(u"%hu", -1), u"65535");
    EXPECT_EQ(Wide(u"%hhu", 300), u"44");
    EXPECT_EQ(Wide(u"%hhd", 255), u"-1");
    EXPECT_EQ(Wide(u"%I64d", -9000000000LL), u"-9000000000");
    EXPECT_EQ(Wide(u"%I32u", 5u), u"5");
    // The float forms of typed values: "%.*f" and "%.*Lf" with a double.
    EXPECT_EQ(Wide(u"%.*f", 4, 1.5), u"1.5000");
    EXPECT_EQ(Wide(u"%.*Lf", 8, 2.0), u"2.00000000");
}

TEST(GeWideFormatBuffer, StringsAndCharactersFollowTheWideConventions)
{
    EXPECT_EQ(Wide(u"%s", u"\u0416abc"), u"\u0416abc");
    EXPECT_EQ(Wide(u"%ls", u"x"), u"x");
    EXPECT_EQ(Wide(u"%S", "\xC6z"), u"\u0416z");   // 8-bit text in the code page
    EXPECT_EQ(Wide(u"%hs", "ab"), u"ab");
    EXPECT_EQ(Wide(u"[%5s]", u"ab"), u"[   ab]");
    EXPECT_EQ(Wide(u"[%-5s]", u"ab"), u"[ab   ]");
    EXPECT_EQ(Wide(u"[%.2s]", u"abcdef"), u"[ab]");
    EXPECT_EQ(Wide(u"[%.2S]", "abcdef"), u"[ab]");
    EXPECT_EQ(Wide(u"[%*s]", 4, u"a"), u"[   a]");
    EXPECT_EQ(Wide(u"[%*s]", -4, u"a"), u"[a   ]");
    EXPECT_EQ(Wide(u"[%.*s]", -1, u"abc"), u"[abc]");
    EXPECT_EQ(Wide(u"%s", (const char16_t*)nullptr), u"(null)");
    EXPECT_EQ(Wide(u"%c%c", (int)u'\u0416', (int)u'!'), u"\u0416!");
    EXPECT_EQ(Wide(u"%C", 0xC0), u"\u0410");
    EXPECT_EQ(Wide(u"[%3c]", (int)u'x'), u"[  x]");
}

TEST(GeWideFormatBuffer, LiteralsPercentAndUnknownConversions)
{
    EXPECT_EQ(Wide(u"\u0416 100%% sure"), u"\u0416 100% sure");
    EXPECT_EQ(Wide(u"%y and %d", 5), u"%y and 5");
    EXPECT_EQ(Wide(u"no %n here"), u"no %n here");
    EXPECT_EQ(Wide(u"ends in %"), u"ends in %");
    EXPECT_EQ(Wide(u"ends in %-5"), u"ends in %-5");
    EXPECT_EQ(Wide(u""), u"");
}

TEST(GeWideFormatBuffer, NeverWritesPastTheBuffer)
{
    char16_t out[8];
    for (char16_t& unit : out)
        unit = u'#';
    EXPECT_EQ(FormatWideBufferN(out, 5, u"%s-%d", u"abcdef", 12), 4u);
    EXPECT_EQ(std::u16string(out), u"abcd");
    EXPECT_EQ(out[5], u'#');

    EXPECT_EQ(FormatWideBufferN(out, 0, u"abc"), 0u);
    EXPECT_EQ(out[0], u'a');   // untouched

    char16_t small[4];
    EXPECT_EQ(FormatWideBuffer(small, u"%f", 1e300), 3);
    EXPECT_EQ(std::u16string(small), u"100");

    // An absurd width is capped instead of allocated.
    char16_t line[16];
    EXPECT_EQ(FormatWideBuffer(line, u"%999999999999d", 7), 15);
    EXPECT_EQ(std::u16string(line), std::u16string(15, u' '));
}

TEST(GeFormat, FormatsAndCutsAt1023)
{
    EXPECT_STREQ(FormatString("%s_%d", "slot", 3).c_str(), "slot_3");
    std::string longText(2000, 'x');
    EXPECT_EQ(FormatString("%s", longText.c_str()).Length(), 1023u);
    EXPECT_TRUE(FormatString("%s", "").IsEmpty());
}

TEST(GeWideFormatString, FormatsAndCutsAt2047)
{
    CGeWString text = FormatWideString(u"%s %u", u"\u0410", 7u);
    EXPECT_EQ(std::u16string(text.c_str()), u"\u0410 7");
    std::u16string longText(3000, u'x');
    EXPECT_EQ(FormatWideString(u"%s", longText.c_str()).Length(), 2047u);
}

} // namespace
