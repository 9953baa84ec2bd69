#include "Engine/Core/Common/GeTextConvert.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::u16string Utf8(const char* text)
{
    char16_t out[64];
    return Utf8ToWide(out, text);
}

TEST(GeTextConvertAnsiToWide, MapsTheCodePage)
{
    const struct {
        unsigned char byte;
        char16_t code;
    } cases[] = {
        { 0x00, 0x0000 }, { 0x41, 0x0041 }, { 0x7F, 0x007F }, { 0x80, 0x0402 }, { 0x88, 0x20AC },
        { 0x97, 0x2014 }, { 0x98, 0xFFFD }, { 0x99, 0x2122 }, { 0xA0, 0x00A0 }, { 0xA8, 0x0401 },
        { 0xB8, 0x0451 }, { 0xB9, 0x2116 }, { 0xC0, 0x0410 }, { 0xDF, 0x042F }, { 0xFF, 0x044F },
    };
    for (const auto& c : cases)
        EXPECT_EQ(AnsiCharToWide(c.byte), c.code) << std::hex << (int)c.byte;

    char16_t out[8];
    EXPECT_EQ(std::u16string(AnsiToWide(out, "\xCF\xF0\xE8 1")), u"\u041F\u0440\u0438 1");
    EXPECT_EQ(AnsiToWide(out, "")[0], 0);
}

TEST(GeTextConvertWideToAnsi, RoundTripsEveryDefinedByteAndMarksTheRest)
{
    for (int byte = 1; byte < 256; byte++) {
        if (byte == 0x98)
            continue;
        char16_t wide[2] = { AnsiCharToWide((unsigned char)byte), 0 };
        char back[2];
        WideToAnsi(back, wide);
        EXPECT_EQ((unsigned char)back[0], byte) << std::hex << byte;
    }
    char out[8];
    EXPECT_STREQ(WideToAnsi(out, u"\u0410\u4E00\uFFFDa"), "\xC0??a");
}

TEST(GeTextConvertUtf8ToWide, DecodesWellFormedText)
{
    EXPECT_EQ(Utf8(""), u"");
    EXPECT_EQ(Utf8("abc"), u"abc");
    EXPECT_EQ(Utf8("\xD0\x90"), u"\u0410");
    EXPECT_EQ(Utf8("\xE2\x82\xAC!"), u"\u20AC!");
    // Above U+FFFF only the low 16 bits are kept: U+1F600 gives U+F600.
    EXPECT_EQ(Utf8("\xF0\x9F\x98\x80x"), u"\uF600x");
}

TEST(GeTextConvertUtf8ToWide, MalformedSequencesBecomeReplacementsAndStopAtTheTerminator)
{
    const struct {
        const char* text;
        std::u16string expected;
    } cases[] = {
        { "\x80", u"\uFFFD" },                     // stray continuation byte
        { "a\xBF" "b", u"a\uFFFDb" },
        { "\xF8\x80\x80\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD" },
        { "\xFF", u"\uFFFD" },
        { "\xE2\x82", u"\uFFFD" },                 // truncated by the terminator
        { "\xD0", u"\uFFFD" },
        { "\xE2" "A", u"\uFFFDA" },                // broken by an ASCII byte
        { "\xF0\x9F\x98" "\xD0\x90", u"\uFFFD\u0410" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8(c.text), c.expected) << c.text;

    // Nothing past the terminator is read: a lead byte at the very end of an
    // exact-size heap buffer is what sanitizers catch.
    char* exact = new char[2] { '\xF4', 0 };
    char16_t out[2];
    Utf8ToWide(out, exact);
    EXPECT_EQ(out[0], 0xFFFD);
    EXPECT_EQ(out[1], 0);
    delete[] exact;
}

TEST(GeTextConvertStrings, EmptyGivesEmptyAndTextIsConverted)
{
    EXPECT_TRUE(WideStringToAnsi(CGeWString()).IsEmpty());
    EXPECT_TRUE(Utf8StringToWide(CGeString()).IsEmpty());
    EXPECT_TRUE(AnsiStringToWide(CGeString()).IsEmpty());

    EXPECT_STREQ(WideStringToAnsi(CGeWString(u"\u0401\u0436 x")).c_str(), "\xA8\xE6 x");
    EXPECT_EQ(std::u16string(Utf8StringToWide(CGeString("\xD0\x81\xD0\xB6")).c_str()), u"\u0401\u0436");
    CGeWString wide = AnsiStringToWide(CGeString("\xA8\xE6"));
    EXPECT_EQ(wide.Length(), 2u);
    EXPECT_EQ(std::u16string(wide.c_str()), u"\u0401\u0436");
}

} // namespace
