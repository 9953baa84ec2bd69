#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Core/Common/GeStringText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> SplitToVector(const char16_t* text, const char16_t* separator)
{
    CGeArray<CGeWString> pieces;
    pieces.Add(CGeWString(u"stale"));   // Split clears the output first
    uint32_t count = CGeWString::Split(CGeWString(text), pieces, CGeWString(separator));
    std::vector<std::u16string> result;
    for (const CGeWString& piece : pieces)
        result.push_back(piece.c_str());
    EXPECT_EQ(count, result.size());
    return result;
}

TEST(GeStringTextReplaceAll, ReplacesEveryOccurrenceWithoutSearchingTheReplacement)
{
    const struct {
        const char* source;
        const char* find;
        const char* replacement;
        const char* expected;
    } cases[] = {
        { "Gui\\Fonts\\a.xml", "\\", "/", "Gui/Fonts/a.xml" },
        { "banana", "a", "aa", "baanaanaa" },
        { "aaaa", "aa", "a", "aa" },
        { "abcabc", "abc", "", "" },
        { "xyz", "q", "r", "xyz" },
        { "", "a", "b", "" },
        { "ab", "abc", "x", "ab" },
        { "%s_use_object", "%s", "door", "door_use_object" },
    };
    for (const auto& c : cases) {
        CGeString result = CGeString::ReplaceAll(c.source, c.find, c.replacement);
        EXPECT_STREQ(result.c_str(), c.expected) << c.source;
        EXPECT_EQ(result.Length(), strlen(c.expected));
    }
    CGeWString wide = CGeWString::ReplaceAll(CGeWString(u"\u0416-\u0416"), CGeWString(u"\u0416"), CGeWString(u"ab"));
    EXPECT_EQ(std::u16string(wide.c_str()), u"ab-ab");
}

TEST(GeStringTextInsert, ReplacesARangeOrCopiesIntoAnEmptyString)
{
    CGeString text("abcd");
    text.Insert(2, 0, "XY");
    EXPECT_STREQ(text.c_str(), "abXYcd");
    text = "abcd";
    text.Insert(1, 2, "Z");
    EXPECT_STREQ(text.c_str(), "aZd");
    text = "abcd";
    text.Insert(3, 10, "");
    EXPECT_STREQ(text.c_str(), "abc");
    text = "ab";
    text.Insert(0, 2, "");
    EXPECT_TRUE(text.IsEmpty());
    EXPECT_EQ(text.data, nullptr);
    CGeString empty;
    empty.Insert(5, 3, "new");
    EXPECT_STREQ(empty.c_str(), "new");
}

TEST(GeStringTextSplit, GivesPiecesBetweenSeparators)
{
    using Pieces = std::vector<std::u16string>;
    EXPECT_EQ(SplitToVector(u"a,,b,", u","), (Pieces{ u"a", u"", u"b" }));
    EXPECT_EQ(SplitToVector(u",a", u","), (Pieces{ u"", u"a" }));
    EXPECT_EQ(SplitToVector(u"one", u","), (Pieces{ u"one" }));
    EXPECT_EQ(SplitToVector(u"", u","), Pieces{});
    EXPECT_EQ(SplitToVector(u",", u","), (Pieces{ u"" }));
    EXPECT_EQ(SplitToVector(u"a::b::", u"::"), (Pieces{ u"a", u"b" }));
    EXPECT_EQ(SplitToVector(u"a,b", u""), (Pieces{ u"a,b" }));   // no separator to find
}

TEST(GeStringTextFindLastOf, NeverReportsTheFirstCharacter)
{
    EXPECT_EQ(CGeString::FindLastOf("a/b/c", "/"), 3);
    EXPECT_EQ(CGeString::FindLastOf("a/b\\c", "/\\"), 3);
    EXPECT_EQ(CGeString::FindLastOf("/abc", "/"), -1);
    EXPECT_EQ(CGeString::FindLastOf("abc", "/"), -1);
    EXPECT_EQ(CGeString::FindLastOf("", "/"), -1);
}

TEST(GeStringTextCountPrintable, SkipsControlCharactersAndMarkup)
{
    const struct {
        const char16_t* text;
        uint32_t count;
    } cases[] = {
        { u"", 0 },
        { u"abc", 3 },
        { u"a\tb\nc\r", 3 },
        { u"&iItalic&i", 6 },
        { u"&cX", 1 },
        { u"&0xFF00FF00Green", 5 },
        { u"&0xFF", 0 },            // the colour markup runs into the end
        { u"Tom & Jerry", 11 },
        { u"&&i", 1 },
        { u"&", 1 },
        { u"&0", 2 },
        { u"\u0416\u0416", 2 },
    };
    for (const auto& c : cases)
        EXPECT_EQ(CountPrintableChars(c.text), c.count) << std::u16string(c.text).size();
    EXPECT_EQ(CountPrintableChars(nullptr), 0u);
}

} // namespace
