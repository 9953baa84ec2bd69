#include "Engine/Core/Common/GeString.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

std::string Text(const CGeWString& s)
{
    // The tests use ASCII only, so a unit maps to a byte.
    std::string out;
    for (uint32_t i = 0; i < s.length; ++i)
        out += char(s.data[i]);
    return out;
}

TEST(GeStringCapacity, RoundsUpToStepsOf32WithRoomForTheTerminator)
{
    const struct { uint32_t n, cap; } cases[] = {
        {0, 0}, {1, 32}, {31, 32}, {32, 64}, {63, 64}, {64, 96}, {1000, 1024},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GeStringCapacity(c.n), c.cap) << "n = " << c.n;
}

TEST(GeString, EmptyStringHoldsNoBufferAndReadsAsEmptyText)
{
    const CGeString fromEmpty("");
    const CGeString fromNull(static_cast<const char*>(nullptr));
    const CGeString byDefault;
    for (const CGeString* s : {&fromEmpty, &fromNull, &byDefault}) {
        EXPECT_EQ(s->data, nullptr);
        EXPECT_EQ(s->length, 0u);
        EXPECT_STREQ(s->c_str(), "");
        EXPECT_TRUE(*s == "");
        EXPECT_TRUE(*s == CGeString());
    }
}

TEST(GeString, CopiesOwnTheirBuffers)
{
    CGeString a("hello");
    CGeString b(a);
    EXPECT_NE(a.data, b.data);
    EXPECT_STREQ(b.c_str(), "hello");
    EXPECT_EQ(b.length, 5u);
    a = "other";
    EXPECT_STREQ(b.c_str(), "hello");
}

TEST(GeString, AssignmentReusesTheBufferWithinOneCapacityStep)
{
    CGeString s("x");
    const char* buffer = s.data;
    s = std::string(31, 'a').c_str();  // 1 and 31 both need 32
    EXPECT_EQ(s.data, buffer);
    EXPECT_EQ(s.length, 31u);
    EXPECT_EQ(s.data[31], '\0');

    s = std::string(32, 'b').c_str();  // 32 needs 64
    EXPECT_NE(s.data, buffer);
    EXPECT_EQ(s, std::string(32, 'b').c_str());

    s = "";
    EXPECT_EQ(s.data, nullptr);
    EXPECT_EQ(s.length, 0u);
}

TEST(GeString, SelfAssignmentAndAssignmentFromOwnTextKeepTheText)
{
    CGeString s("abcdef");
    const CGeString& same = s;
    s = same;
    EXPECT_STREQ(s.c_str(), "abcdef");
    s = s.c_str();
    EXPECT_STREQ(s.c_str(), "abcdef");
    s = s.c_str() + 2;  // a tail of its own buffer
    EXPECT_STREQ(s.c_str(), "cdef");

    CGeString longText(std::string(40, 'z').c_str());
    longText = longText.c_str() + 30;  // capacity shrinks 64 -> 32 while reading the old buffer
    EXPECT_EQ(longText, std::string(10, 'z').c_str());
}

TEST(GeString, ResizeKeepsTheTextAndTheBufferWhereTheRuleSays)
{
    CGeString s("abc");
    s.Resize(40, true);  // 32 -> 64: a new buffer with abc terminated at 3
    EXPECT_EQ(s.length, 40u);
    EXPECT_STREQ(s.data, "abc");

    CGeString t("abc");
    const char* buffer = t.data;
    t.Resize(2, true);  // same capacity: nothing moves, not even the terminator
    EXPECT_EQ(t.data, buffer);
    EXPECT_EQ(t.length, 2u);
    EXPECT_EQ(t.data[2], 'c');

    t.Resize(0, true);
    EXPECT_EQ(t.data, nullptr);
    EXPECT_STREQ(t.c_str(), "");
}

TEST(GeString, EqualityComparesLengthsFirst)
{
    EXPECT_FALSE(CGeString("abc") == CGeString("abcd"));
    EXPECT_TRUE(CGeString("abc") == CGeString("abc"));
    EXPECT_TRUE(CGeString("abc") != CGeString("abd"));
    EXPECT_TRUE(CGeString("abc") == "abc");
    EXPECT_TRUE(CGeString("abc") != "ab");
    EXPECT_TRUE(CGeString("") == static_cast<const char*>(nullptr));
}

TEST(GeString, OrdersByUnsignedBytesWithPrefixesFirst)
{
    const struct { const char* less; const char* greater; } cases[] = {
        {"B", "a"},          // capitals first
        {"ab", "abc"},       // a prefix first
        {"", "a"},           // the empty text first
        {"z", "\xE0"},       // bytes >= 0x80 after every ASCII byte
        {"\x7F", "\x80"},
        {"abc", "abd"},
    };
    for (const auto& c : cases) {
        EXPECT_TRUE(CGeString(c.less) < CGeString(c.greater)) << c.less << " < " << c.greater;
        EXPECT_FALSE(CGeString(c.greater) < CGeString(c.less)) << c.greater << " < " << c.less;
    }
    EXPECT_FALSE(CGeString("same") < CGeString("same"));
    EXPECT_FALSE(CGeString() < CGeString());
}

// Compare reads eight bytes at a time, the last word overlapping; std::string
// (unsigned bytes, then length) is the reference for every length pair up to
// three words and a difference in each position, zero bytes included, with
// the next byte ordered the other way.
TEST(GeString, CompareAgreesWithStdStringForEveryLengthAndDifferencePosition)
{
    const auto make = [](const std::string& bytes) {
        CGeString s;
        s.Resize(uint32_t(bytes.size()), false);
        if (!bytes.empty()) {
            std::memcpy(s.data, bytes.data(), bytes.size());
            s.data[bytes.size()] = '\0';
        }
        return s;
    };
    const auto sign = [](int v) { return (v > 0) - (v < 0); };
    const unsigned char values[][2] = {{'a', 'b'}, {0x00, 0x01}, {0x7F, 0x80}, {0x00, 0xFF}, {'b', 'a'}};
    int checked = 0;
    for (size_t la = 0; la <= 24; ++la) {
        for (size_t lb = 0; lb <= 24; ++lb) {
            const std::string a(la, 'x');
            const std::string b(lb, 'x');
            ASSERT_EQ(make(a).Compare(make(b)), sign(a.compare(b))) << la << " against " << lb;
            for (size_t at = 0; at < std::min(la, lb); ++at) {
                for (const auto& v : values) {
                    std::string da = a, db = b;
                    da[at] = char(v[0]);
                    db[at] = char(v[1]);
                    if (at + 1 < std::min(la, lb)) {  // a later byte pulling the other way must not decide
                        da[at + 1] = v[0] < v[1] ? char(0xFF) : char(0x00);
                        db[at + 1] = v[0] < v[1] ? char(0x00) : char(0xFF);
                    }
                    const int expected = sign(da.compare(db));
                    ASSERT_EQ(sign(make(da).Compare(make(db))), expected) << la << "/" << lb << " at " << at;
                    ASSERT_EQ(make(da) < make(db), expected < 0);
                    ++checked;
                }
            }
        }
    }
    EXPECT_GT(checked, 10000);
}

TEST(GeString, ConcatenationMakesOneBufferOfTheSum)
{
    const CGeString left("left");
    EXPECT_EQ(left + "right", "leftright");
    EXPECT_EQ(left + CGeString("!"), "left!");
    EXPECT_EQ(CGeString() + "", CGeString());
    EXPECT_EQ((CGeString() + "").data, nullptr);
    const CGeString sum = CGeString(std::string(20, 'a').c_str()) + std::string(20, 'b').c_str();
    EXPECT_EQ(sum.length, 40u);
    EXPECT_EQ(sum.data[40], '\0');
}

TEST(GeString, AppendGrowsInPlaceAndAcceptsItsOwnText)
{
    CGeString s("ab");
    const char* buffer = s.data;
    s.Append("cd");
    EXPECT_EQ(s.data, buffer);
    EXPECT_EQ(s, "abcd");
    s.Append("");
    EXPECT_EQ(s, "abcd");
    s.Append(s.c_str());  // stays within 32
    EXPECT_EQ(s, "abcdabcd");

    CGeString big(std::string(20, 'x').c_str());
    big.Append(big.c_str());  // 40 needs a new buffer; the old one is read first
    EXPECT_EQ(big, std::string(40, 'x').c_str());

    CGeString empty;
    empty.Append("");
    EXPECT_EQ(empty.data, nullptr);
}

TEST(GeString, MidTakesWhatIsLeft)
{
    const CGeString hello("hello");
    EXPECT_EQ(hello.Mid(2, 10), "llo");
    EXPECT_EQ(hello.Mid(0, 2), "he");
    EXPECT_EQ(hello.Mid(5, 3).data, nullptr);
    EXPECT_EQ(hello.Mid(9, 3).data, nullptr);  // a start past the end is empty, not a read past it
}

TEST(GeString, ToLowerChangesOnlyAsciiCapitalsAndCutsAt1023Bytes)
{
    EXPECT_EQ(ToLowerString(CGeString("Data\\Gui/FONT_\xC0\xDF.XML")), "data\\gui/font_\xC0\xDF.xml");
    EXPECT_EQ(ToLowerString(CGeString()).data, nullptr);

    const std::string longText(2000, 'Q');
    const CGeString lowered = ToLowerString(CGeString(longText.c_str()));
    EXPECT_EQ(lowered.length, 1023u);
    EXPECT_EQ(lowered, std::string(1023, 'q').c_str());
}

TEST(GeString, ReleaseEmptiesTheString)
{
    CGeString s("text");
    s.Release();
    EXPECT_EQ(s.data, nullptr);
    EXPECT_EQ(s.length, 0u);
    s.Release();
    EXPECT_EQ(s, "");
}

TEST(GeString, MovesHandOverTheBuffer)
{
    CGeString a("moved");
    const char* buffer = a.data;
    CGeString b(std::move(a));
    EXPECT_EQ(b.data, buffer);
    EXPECT_EQ(a.data, nullptr);
    CGeString c;
    c = std::move(b);
    EXPECT_EQ(c.data, buffer);
    EXPECT_EQ(b.length, 0u);
}

// ---------------------------------------------------------------------------

TEST(GeWString, FollowsTheSameCapacityRuleInUnits)
{
    CGeWString s(u"a");
    const char16_t* buffer = s.data;
    s = u"0123456789012345678901234567890";  // 31 units
    EXPECT_EQ(s.data, buffer);
    s = u"01234567890123456789012345678901";  // 32 units
    EXPECT_NE(s.data, buffer);
    EXPECT_EQ(s.length, 32u);
    EXPECT_EQ(s.data[32], u'\0');

    CGeWString t(u"abc");
    t.Resize(40, true);
    EXPECT_EQ(t.data[3], u'\0');
    EXPECT_EQ(t.data[2], u'c');
    t.Resize(0, false);
    EXPECT_EQ(t.data, nullptr);
    EXPECT_EQ(t.c_str()[0], u'\0');
}

TEST(GeWString, KeepsUnitsAbove0x7F)
{
    const CGeWString s(u"\u0416\uFFFD\xD83D\xDE00");  // a surrogate pair stays two units
    EXPECT_EQ(s.length, 4u);
    EXPECT_EQ(s.data[0], 0x0416);
    EXPECT_EQ(s.data[3], 0xDE00);
    EXPECT_TRUE(s == CGeWString(s));
    EXPECT_FALSE(s == CGeWString(u"\u0416\uFFFD\xD83D"));
}

TEST(GeWString, AppendAndPlusEqualsIncludingItself)
{
    CGeWString s(u"ab");
    s += CGeWString(u"cd");
    s.Append(u"e");
    EXPECT_EQ(Text(s), "abcde");
    s += s;
    EXPECT_EQ(Text(s), "abcdeabcde");

    CGeWString big(u"0123456789abcdefghij");  // 20 units, doubling crosses 32
    big += big;
    EXPECT_EQ(Text(big), "0123456789abcdefghij0123456789abcdefghij");
}

TEST(GeWString, ConcatAndPlusMakeNewStrings)
{
    const CGeWString left(u"left");
    EXPECT_EQ(Text(CGeWString::Concat(left, u"-right")), "left-right");
    EXPECT_EQ(Text(left + CGeWString(u"+")), "left+");
    EXPECT_EQ(Text(left), "left");
    EXPECT_EQ((CGeWString() + CGeWString()).data, nullptr);
    EXPECT_EQ(CGeWString::Concat(CGeWString(), u"").data, nullptr);
}

TEST(GeWString, InsertReplacesARange)
{
    const struct {
        const char16_t* start;
        uint32_t position, count;
        const char16_t* text;
        const char* expected;
    } cases[] = {
        {u"abcd", 2, 0, u"XY", "abXYcd"},   // count 0 inserts
        {u"abcd", 1, 2, u"Z", "aZd"},       // replaces bc
        {u"abcd", 0, 0, u"", "abcd"},
        {u"abcd", 2, 100, u"Z", "abZ"},     // the range ends at the string's end
        {u"abcd", 4, 0, u"ef", "abcdef"},   // at the end
        {u"abcd", 0, 4, u"", ""},           // everything replaced by nothing
        {u"", 7, 3, u"copy", "copy"},       // an empty string becomes the text
        {u"abcd", 9, 1, u"!", "abcd!"},     // a position past the end appends
    };
    for (const auto& c : cases) {
        CGeWString s(c.start);
        s.Insert(c.position, c.count, CGeWString(c.text));
        EXPECT_EQ(Text(s), c.expected) << c.position << "," << c.count;
        if (s.length == 0)
            EXPECT_EQ(s.data, nullptr);
        else
            EXPECT_EQ(s.data[s.length], u'\0');
    }

    CGeWString self(u"ab");
    self.Insert(1, 0, self);
    EXPECT_EQ(Text(self), "aabb");
}

TEST(GeWString, MidTakesWhatIsLeft)
{
    const CGeWString hello(u"hello");
    EXPECT_EQ(Text(hello.Mid(2, 10)), "llo");
    EXPECT_EQ(hello.Mid(5, 3).data, nullptr);
    EXPECT_EQ(hello.Mid(6, 3).data, nullptr);
}

TEST(GeWString, AssignmentFromItselfAndReleaseAndMoves)
{
    CGeWString s(u"text");
    const CGeWString& same = s;
    s = same;
    EXPECT_EQ(Text(s), "text");
    s = s.c_str() + 1;
    EXPECT_EQ(Text(s), "ext");
    CGeWString moved(std::move(s));
    EXPECT_EQ(s.data, nullptr);
    EXPECT_EQ(Text(moved), "ext");
    moved.Release();
    EXPECT_EQ(moved.data, nullptr);
    EXPECT_EQ(moved.length, 0u);
}

}  // namespace
