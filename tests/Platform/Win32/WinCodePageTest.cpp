#include "Platform/Win32/WinCodePage.h"

#include <gtest/gtest.h>

namespace {

TEST(WinCodePage, Cp1251RoundTripsEveryDefinedByte)
{
    for (int byte = 0; byte < 256; byte++) {
        uint32_t cp = Cp1251ToCodePoint((uint8_t)byte);
        if (byte == 0x98) {
            EXPECT_EQ(0xFFFDu, cp);
            EXPECT_EQ(-1, CodePointToCp1251(cp));
            continue;
        }
        EXPECT_EQ(byte, CodePointToCp1251(cp)) << byte;
    }
}

TEST(WinCodePage, KnownPairsAndUnmappable)
{
    EXPECT_EQ(0xE6, CodePointToCp1251(0x0436)); // zhe
    EXPECT_EQ(0xF4, CodePointToCp1251(0x0444)); // ef
    EXPECT_EQ(0x88, CodePointToCp1251(0x20AC)); // euro
    EXPECT_EQ(0xB9, CodePointToCp1251(0x2116)); // numero
    EXPECT_EQ(-1, CodePointToCp1251(0x00E9)); // e acute is not in the code page
    EXPECT_EQ(-1, CodePointToCp1251(0x1F600));
}

TEST(WinCodePage, Utf8DecodeReplacesMalformedInput)
{
    struct Case {
        std::string text;
        std::vector<uint32_t> codePoints;
    };
    const Case cases[] = {
        {"a\xD1\x84", {0x61, 0x0444}},
        {"\xE2\x82\xAC", {0x20AC}},
        {"\xF0\x9F\x98\x80", {0x1F600}},
        {"\xC0\xAF", {0xFFFD, 0xFFFD}}, // overlong
        {"\xED\xA0\x80", {0xFFFD, 0xFFFD, 0xFFFD}}, // surrogate
        {"\xE2\x82", {0xFFFD, 0xFFFD}}, // truncated
        {"\x80z", {0xFFFD, 0x7A}},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> got;
        size_t pos = 0;
        while (pos < c.text.size())
            got.push_back(DecodeUtf8(c.text, &pos));
        EXPECT_EQ(c.codePoints, got);
    }
}

TEST(WinCodePage, Cp1251ToUtf8)
{
    EXPECT_EQ("A\xD0\x96\xE2\x82\xAC", Cp1251ToUtf8("A\xC6\x88"));
    EXPECT_EQ("", Cp1251ToUtf8(nullptr));
}

} // namespace
