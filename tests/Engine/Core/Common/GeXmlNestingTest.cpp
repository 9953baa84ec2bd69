#include "Engine/Core/Common/GeXmlNesting.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeXml.h"
#include "tests/Support/TestTempDir.h"

#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

std::string Nested(uint32_t depth, const std::string& inner = "")
{
    std::string text;
    for (uint32_t i = 0; i < depth; ++i)
        text += "<a>";
    text += inner;
    for (uint32_t i = 0; i < depth; ++i)
        text += "</a>";
    return text;
}

// The deepest element of what TinyXML built, counting the top level as 1.
uint32_t TreeDepth(const TiXmlNode* node)
{
    uint32_t deepest = 0;
    for (const TiXmlElement* child = node->FirstChildElement(); child; child = child->NextSiblingElement()) {
        const uint32_t depth = 1 + TreeDepth(child);
        if (depth > deepest)
            deepest = depth;
    }
    return deepest;
}

uint32_t ParsedDepth(const std::string& text)
{
    std::string padded = text;
    padded.append(kXmlTextPadding + 1, '\0');
    TiXmlBase::SetCondenseWhiteSpace(false);
    TiXmlDocument document;
    document.Parse(padded.c_str(), nullptr, TIXML_DEFAULT_ENCODING);
    return TreeDepth(&document);
}

bool Within(const std::string& text, uint32_t limit)
{
    std::string padded = text;
    padded.append(kXmlTextPadding + 1, '\0');
    return XmlNestingWithin(padded.c_str(), limit);
}

// Texts whose markup can mislead a reader that does not read as TinyXML
// does; each is nested 30 elements deep around its tricky part.
const char* const kTrickyParts[] = {
    "<!-- <a><a><a> -->",
    "<![CDATA[ <a><a> ]]>",
    "<b k='<a><a>' j=\"/>\"/>",
    "<b k=v/>",
    "<!DOCTYPE x [ <a> ]>",
    "<?xml version='1>0'?><a><a></a></a>",
    "<?other <a> ?>",
    "< a>",
    "&#x41;&amp;&#65; text",
    "<b>\xD0\x9A\xD0\xBE\xD1\x82</b>",
};

} // namespace

TEST(GeXmlNesting, CountsTheDepthTinyXmlReaches)
{
    for (const char* part : kTrickyParts) {
        const std::string text = Nested(30, part);
        const uint32_t depth = ParsedDepth(text);
        ASSERT_GE(depth, 30u) << part;
        EXPECT_TRUE(Within(text, depth)) << part;
        EXPECT_FALSE(Within(text, depth - 2)) << part;
    }
    EXPECT_TRUE(Within("", 1));
    EXPECT_TRUE(Within("plain text, no markup", 1));
}

TEST(GeXmlNesting, FollowsTinyXmlWhereMarkupHidesOrSwallowsElements)
{
    struct Case {
        const char* what;
        std::string text;
    };
    const Case cases[] = {
        // After a UTF-8 declaration a lead byte takes the next three bytes,
        // quote included, so the attribute value runs on over the elements.
        {"lead byte swallowing a quote",
         "<?xml version='1.0'?><b k='\xF0'xx" + Nested(40) + "'/>" + Nested(40)},
        // Without a declaration the same byte is one character.
        {"lead byte in a legacy text", "<b k='\xF0'/>" + Nested(40)},
        // A lead byte can hide the '<' of an element in text.
        {"lead byte before an element", "<?xml version='1.0'?><b>\xE0<c>" + Nested(40) + "</c></b>"},
        {"broken character reference", "<b k='&#x4G;'>" + Nested(40) + "</b>"},
        {"comment that never ends", "<b><!--" + Nested(40) + "</b>"},
        {"reference in a comment", "<b><!--&#x4G;-->" + Nested(40) + "</b>"},
        {"unquoted value with a quote", "<b k=x'y>" + Nested(40) + "</b>"},
        {"declaration with a '>' in quotes", "<?xml version='>' x='<!--'?>" + Nested(40) + "-->"},
        {"end tag of another element", "<b>" + Nested(10) + "</c>" + Nested(40) + "</b>"},
    };
    for (const Case& c : cases) {
        const uint32_t depth = ParsedDepth(c.text);
        // Not knowing the declared encoding, the probe may count one level more.
        EXPECT_TRUE(Within(c.text, depth + 1)) << c.what;
        if (depth >= 3) {
            EXPECT_FALSE(Within(c.text, depth - 2)) << c.what << ": depth " << depth;
        }
    }
}

// Random documents stitched from well-formed and broken pieces: whatever
// TinyXML makes of them, the probe never claims less nesting than it reaches.
TEST(GeXmlNesting, NeverUnderstatesTheDepthOfMangledTexts)
{
    static const char* const pieces[] = {
        "<a>", "</a>", "<b x='1'>", "</b>", "<c/>", "text", " ", "<!-- c -->", "<!--", "-->",
        "<![CDATA[", "]]>", "'", "\"", "=", "<", ">", "/>", "&#x41;", "&#x4", ";", "&amp;",
        "\xF0", "\xE0", "\xC3", "\xEF\xBB\xBF", "<?xml version='1.0'?>", "<?xml encoding='latin1'?>",
        "<!DOCTYPE d>", "<d k=v>", "</d>", "<e k='>'>", "</e>",
    };
    std::mt19937 random(1130);
    for (int round = 0; round < 3000; ++round) {
        std::string text;
        const int count = 20 + static_cast<int>(random() % 120);
        for (int i = 0; i < count; ++i)
            text += pieces[random() % (sizeof(pieces) / sizeof(pieces[0]))];
        const uint32_t depth = ParsedDepth(text);
        if (depth >= 3) {
            ASSERT_FALSE(Within(text, depth - 2)) << "depth " << depth << ": " << text;
        }
    }
}

TEST(GeXmlNesting, TooDeepATextIsRefusedBeforeTinyXmlRecursesIntoIt)
{
    // A hundred thousand levels overflow TinyXML's recursive parser.
    const std::string deep = Nested(100000, "<b/>");
    TiXmlDocument refused;
    EXPECT_FALSE(XmlParseDocumentText(reinterpret_cast<const uint8_t*>(deep.data()), uint32_t(deep.size()), refused));
    EXPECT_EQ(nullptr, refused.FirstChildElement());

    const std::string fine = Nested(1000, "<b/>");
    TiXmlDocument parsed;
    EXPECT_TRUE(XmlParseDocumentText(reinterpret_cast<const uint8_t*>(fine.data()), uint32_t(fine.size()), parsed));
    EXPECT_EQ(1001u, TreeDepth(&parsed));

    // Loading still succeeds (the file was read); the log names the file.
    CTestTempDir dir;
    const std::string path = dir.Write("deep.xml", deep);
    TiXmlDocument loaded;
    EXPECT_TRUE(XmlLoadDocumentFromDisk(CGeString(path.c_str()), loaded));
    EXPECT_EQ(nullptr, loaded.FirstChildElement());
    EXPECT_NE(std::string::npos, std::string(GeLogLastMessage().c_str()).find("deep.xml"));
}

// A text laid out so that its terminator and padding end where an unreadable
// page begins: any read past them faults.
class CGuardedText {
public:
    CGuardedText(const std::string& text, uint32_t padding)
    {
        m_page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
        m_base = static_cast<char*>(mmap(nullptr, 2 * m_page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        mprotect(m_base + m_page, m_page, PROT_NONE);
        m_text = m_base + m_page - (text.size() + 1 + padding);
        std::memcpy(m_text, text.data(), text.size());
        std::memset(m_text + text.size(), 0, 1 + padding);
    }
    ~CGuardedText() { munmap(m_base, 2 * m_page); }

    const char* Text() const { return m_text; }

private:
    size_t m_page;
    char* m_base;
    char* m_text;
};

// Each text ends inside a UTF-8 character where TinyXML steps over the
// terminator, and then over the end marker it was looking for.
const char* const kCutTexts[] = {
    "<?xml version='1.0'?><a k='\xF0",
    "<?xml version='1.0'?><a><!--\xF0",
    "<?xml version='1.0'?><a>text\xF0",
    "\xEF\xBB\xBF<a k=\"\xE0",
    "\xEF\xBB\xBF<a><![CDATA[\xC3",
};

TEST(GeXmlNesting, ThePaddingCoversTinyXmlsStepsPastTheEnd)
{
    for (const char* cut : kCutTexts) {
        CGuardedText guarded(cut, kXmlTextPadding);
        EXPECT_TRUE(XmlNestingWithin(guarded.Text(), 10)) << cut;
        TiXmlBase::SetCondenseWhiteSpace(false);
        TiXmlDocument document;
        document.Parse(guarded.Text(), nullptr, TIXML_DEFAULT_ENCODING);
        EXPECT_TRUE(document.Error()) << cut;
    }
}

TEST(GeXmlNestingDeathTest, WithoutPaddingTinyXmlReadsPastTheText)
{
    // The guard page catches the very read the padding is there for.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            CGuardedText guarded(kCutTexts[0], 0);
            TiXmlDocument document;
            document.Parse(guarded.Text(), nullptr, TIXML_DEFAULT_ENCODING);
        },
        "");
}
