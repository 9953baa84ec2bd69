#include "Engine/Core/Common/GeXml.h"

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLog.h"
#include "tests/Support/TestTempDir.h"

namespace {

// One element <e .../> parsed from text, with a handle on it.
class XmlElementFixture {
public:
    explicit XmlElementFixture(const char* xml)
    {
        XmlParseDocumentText(reinterpret_cast<const uint8_t*>(xml), uint32_t(std::strlen(xml)), document);
        handle.element = document.FirstChildElement();
    }

    TiXmlDocument document;
    XmlHandle handle;
};

XmlHandle OnElement(XmlElementFixture& fixture, bool reportMissing = false)
{
    XmlHandle handle = fixture.handle;
    handle.reportMissing = reportMissing;
    return handle;
}

void ExpectVec4(const Vec4& expected, const Vec4& actual, const char* what)
{
    EXPECT_EQ(expected.x, actual.x) << what;
    EXPECT_EQ(expected.y, actual.y) << what;
    EXPECT_EQ(expected.z, actual.z) << what;
    EXPECT_EQ(expected.w, actual.w) << what;
}

std::u16string Wide(const CGeWString& text)
{
    return std::u16string(text.c_str());
}

} // namespace

TEST(GeXml, BoolAcceptsOnlyTrueInAnyCase)
{
    XmlElementFixture xml("<e a='TRUE' b='True' c='1' d='yes' e='true ' f='false'/>");
    const XmlHandle h = OnElement(xml);
    EXPECT_TRUE(XmlGetBool("a", h));
    EXPECT_TRUE(XmlGetBool("b", h));
    EXPECT_FALSE(XmlGetBool("c", h));
    EXPECT_FALSE(XmlGetBool("d", h));
    EXPECT_FALSE(XmlGetBool("e", h)); // blanks are kept, so this is not "true"
    EXPECT_FALSE(XmlGetBool("f", h));
    EXPECT_FALSE(XmlGetBool("missing", h));
}

TEST(GeXml, ScalarGettersAndTheirDefaults)
{
    XmlElementFixture xml("<e i='  -42xyz' big='99999999999' d='2.5e1' t='hello' />");
    const XmlHandle h = OnElement(xml, true);

    EXPECT_EQ(-42, XmlGetInt("i", h));
    EXPECT_EQ(INT32_MAX, XmlGetInt("big", h));
    EXPECT_EQ(0, XmlGetInt("missing", h));

    double value = -1.0;
    EXPECT_STREQ("2.5e1", XmlGetDouble("d", h, &value));
    EXPECT_EQ(25.0, value);
    EXPECT_EQ(nullptr, XmlGetDouble("missing", h, &value));
    EXPECT_EQ(0.0, value);
    EXPECT_STREQ("2.5e1", XmlGetDouble("d", h)); // no out value needed
    EXPECT_EQ(25.0f, XmlGetFloat("d", h));
    EXPECT_EQ(0.0f, XmlGetFloat("missing", h));

    EXPECT_STREQ("hello", XmlGetText("t", h));
    EXPECT_EQ(nullptr, XmlGetText("missing", h));
    EXPECT_TRUE(XmlHasAttribute("t", h));
    EXPECT_FALSE(XmlHasAttribute("missing", h));

    // Numbers are decimal: what the C library here reads beyond that (hexadecimal,
    // infinities, not-a-numbers) reads as 0, as the files were written for.
    XmlElementFixture odd("<e hex='0x1A' inf='inf' nan='-nan' blank=' +1.5e1x' dot='.e3'/>");
    const XmlHandle o = OnElement(odd);
    for (const char* name : {"hex", "inf", "nan", "dot"})
        EXPECT_EQ(0.0f, XmlGetFloat(name, o)) << name;
    EXPECT_EQ(15.0f, XmlGetFloat("blank", o));

    // A handle without an element reads every attribute as missing.
    const XmlHandle empty;
    EXPECT_EQ(nullptr, XmlGetText("t", empty));
    EXPECT_EQ(0, XmlGetInt("i", empty));
}

TEST(GeXml, WideTextIsDecodedFromUtf8)
{
    XmlElementFixture xml("<e name='\xD0\x9A\xD0\xBE\xD1\x82 ok'/>");
    const XmlHandle h = OnElement(xml);
    EXPECT_EQ(u"\u041A\u043E\u0442 ok", Wide(XmlGetWideText("name", h)));
    EXPECT_TRUE(XmlGetWideText("missing", h).IsEmpty());
}

TEST(GeXml, VectorGettersTakeWhatTheListHolds)
{
    XmlElementFixture xml("<e one='1' two='1 2' three='1,2,3' four='1 2 3 4' colour='255 10 20 30' />");
    const XmlHandle h = OnElement(xml, true);

    struct Case {
        const char* name;
        Vec4 vector3, vector4;
    };
    const Case cases[] = {
        {"one", {0, 0, 0, 0}, {0, 0, 0, 0}},
        {"two", {1, 2, 0, 0}, {0, 0, 0, 0}},
        {"three", {1, 2, 3, 0}, {0, 0, 0, 0}},
        {"four", {1, 2, 3, 0}, {1, 2, 3, 4}},
        {"missing", {0, 0, 0, 0}, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        ExpectVec4(c.vector3, XmlGetVector3(c.name, h), c.name);
        ExpectVec4(c.vector4, XmlGetVector4(c.name, h), c.name);
    }

    const Vec2 two = XmlGetVector2("two", h);
    EXPECT_EQ(1.0f, two.x);
    EXPECT_EQ(2.0f, two.y);
    const Vec2 one = XmlGetVector2("one", h);
    EXPECT_EQ(0.0f, one.x);
    EXPECT_EQ(0.0f, one.y);

    // Alpha is written first in files and comes last in the result.
    ExpectVec4(Vec4{10, 20, 30, 255}, XmlGetColor("colour", h), "colour");
}

TEST(GeXml, Vector4ExReadsThroughTheSharedHandle)
{
    XmlElementFixture xml("<e v='5 6 7 8'/>");
    XmlHandle shared = xml.handle;
    XmlHandle* saved = g_xmlHandle;
    g_xmlHandle = &shared;
    Vec4 out{9, 9, 9, 9};
    XmlGetVector4Ex("v", out);
    g_xmlHandle = saved;
    ExpectVec4(Vec4{5, 6, 7, 8}, out, "v");
}

TEST(GeXml, EnumerationWords)
{
    struct Case {
        const char* xml;
        uint32_t blend, play;
    };
    const Case cases[] = {
        {"<e blendmode='alpha_stencil' mode='forward: loop'/>", 7, 0x11},
        {"<e blendmode='NoTexture' mode='WIGWAG:3'/>", 0, 0x30003},
        {"<e blendmode='modulate2x' mode='wagwig: loop'/>", 4, 0x14},
        {"<e blendmode='add' mode='backward'/>", 2, 2},
        {"<e blendmode='sparkle' mode='sideways'/>", 1, 1},   // unknown words
        {"<e mode='sideways:4'/>", 1, 1},                     // unknown word before ':'
        {"<e blendmode='alpha' mode='backward: 2'/>", 5, 0x20002},
        {"<e/>", 1, 1},                                       // both missing
    };
    for (const Case& c : cases) {
        XmlElementFixture xml(c.xml);
        const XmlHandle h = OnElement(xml, true);
        EXPECT_EQ(c.blend, ParseBlendMode(h)) << c.xml;
        EXPECT_EQ(c.play, ParseAnimPlayMode(h)) << c.xml;
    }
}

TEST(GeXml, ParseNumberSplitsOnAnythingButNumberCharacters)
{
    struct Case {
        const char* text;
        std::vector<double> numbers;
    };
    const Case cases[] = {
        {"", {}},
        {"1.5,-2 3e2", {1.5, -2, 300}},
        {"1-2", {1}},                  // one run; atof stops at the second sign
        {"  7;\t8\n", {7, 8}},
        {"x=4.25 y=E", {4.25, 0}},     // a lone E is still a run
        {"0.5 2E-1", {0.5, 0.2}},
        // Only decimal numbers: no hexadecimal, infinities or not-a-numbers.
        {"0x10 -inf 2", {0, 10, 0, 2}},
        // A number reads on past its run, as atof does: "1e+2" is 100, then
        // the run "2" after the unmarked '+' is a number of its own.
        {"-nan -.5 1e+2", {0, -0.5, 100, 2}},
    };
    CGeArray<double> out;
    out.Add(99.0); // emptied first
    for (const Case& c : cases) {
        const uint32_t count = XmlParseNumber(c.text, out);
        ASSERT_EQ(c.numbers.size(), count) << c.text;
        ASSERT_EQ(count, out.count) << c.text;
        for (uint32_t i = 0; i < count; ++i)
            EXPECT_DOUBLE_EQ(c.numbers[i], out[i]) << c.text;
    }
    EXPECT_EQ(0u, XmlParseNumber(nullptr, out));
}

TEST(GeXml, FloatAndIndexListsAppendConvertedNumbers)
{
    CGeArray<float> floats;
    floats.Add(-1.0f);
    EXPECT_EQ(2u, XmlParseFloatList("0.25 4", floats));
    ASSERT_EQ(3u, floats.count);
    EXPECT_EQ(-1.0f, floats[0]);
    EXPECT_EQ(0.25f, floats[1]);
    EXPECT_EQ(4.0f, floats[2]);

    CGeArray<uint16_t> indexes;
    EXPECT_EQ(5u, XmlParseIndexList("0 65535 65536 2.9 1e30", indexes));
    ASSERT_EQ(5u, indexes.count);
    EXPECT_EQ(0, indexes[0]);
    EXPECT_EQ(65535, indexes[1]);
    EXPECT_EQ(0, indexes[2]);  // wraps to 16 bits
    EXPECT_EQ(2, indexes[3]);  // truncated
    EXPECT_EQ(0, indexes[4]);  // too large for any integer
}

TEST(GeXml, ParseIntegerTextReadsHexadecimal)
{
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"0x1F", 31},       {"0X1f", 31},       {"10", 0},          {"100", 256},
        {"ff", 0},          {"fff", 0xFFF},     {"0xFFFFFFFF", -1}, {"12G4", 0x12},
        {"0xzz", 0},        {"", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.value, ParseIntegerText(c.text)) << c.text;
    EXPECT_EQ(0, ParseIntegerText(nullptr));
}

TEST(GeXml, ToUpperStringCutsAt1023Bytes)
{
    EXPECT_EQ(CGeString("ABC_1-Z\xE0"), ToUpperString(CGeString("aBc_1-z\xE0")));
    EXPECT_TRUE(ToUpperString(CGeString()).IsEmpty());
    const std::string longText(1500, 'q');
    const CGeString upper = ToUpperString(CGeString(longText.c_str()));
    EXPECT_EQ(1023u, upper.Length());
    EXPECT_EQ(std::string(1023, 'Q'), upper.c_str());
}

TEST(GeXml, ChildNodeValuesAndCounts)
{
    XmlElementFixture xml("<root><a>one</a><b/><a>two</a><c> spaced  text </c></root>");
    const TiXmlElement* root = xml.handle.element;
    EXPECT_STREQ("one", XmlGetNodeValue(root, "a"));
    EXPECT_STREQ("one", XmlGetNodeValue(root, nullptr));
    EXPECT_STREQ(" spaced  text ", XmlGetNodeValue(root, "c")); // white space kept
    EXPECT_EQ(nullptr, XmlGetNodeValue(root, "b"));
    EXPECT_EQ(nullptr, XmlGetNodeValue(root, "none"));
    EXPECT_EQ(nullptr, XmlGetNodeValue(nullptr, "a"));

    EXPECT_EQ(2u, XmlCountChildren(root, "a"));
    EXPECT_EQ(4u, XmlCountChildren(root, nullptr));
    EXPECT_EQ(0u, XmlCountChildren(root, "none"));
    EXPECT_EQ(0u, XmlCountChildren(nullptr, nullptr));
}

TEST(GeXml, ReportingMissingAttributesDoesNotChangeResults)
{
    // Reporting walks the element's ancestors; it must cope with any depth and
    // with a handle that has no element at all.
    XmlElementFixture xml("<a><b><c x='1'/></b></a>");
    XmlHandle h;
    h.reportMissing = 1;
    h.element = xml.handle.element->FirstChildElement("b")->FirstChildElement("c");
    EXPECT_EQ(0, XmlGetInt("y", h));
    EXPECT_EQ(1, XmlGetInt("x", h));
    XmlReportMissing(nullptr, "y");
    XmlReportMissing(h.element, nullptr);
}

// A broken data file is named in the log with what TinyXML found and where;
// the loaders' results stay what callers test for.
TEST(GeXml, BrokenFilesAreLoggedWithTinyXmlsErrorAndPosition)
{
    struct Case {
        const char* name;
        const char* text;
        bool loaded;        // the loaders' result
        const char* detail; // in the log line after the file's name; null: no line
    };
    const Case cases[] = {
        {"unclosed.xml", "<config>\n  <video windowed='true'/>\n", true,
         "broken: Error reading end tag. at row 3, column 1"},
        {"bad_attribute.xml", "<config>\n<video <bad/>\n</config>", true,
         "broken: Error reading Attributes. at row 2, column 8"},
        {"mismatched.xml", "<a><b></a>", true, "broken: Error reading end tag. at row 1, column 7"},
        // Text without an element has no position to give.
        {"garbage.xml", "\x01\x02 not xml at all", true, "broken: Error document empty."},
        {"empty.xml", "", false, "is empty"},
        {"good.xml", "<config><video/></config>", true, nullptr},
    };
    CTestTempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.Write(c.name, c.text);
        using Loader = bool (*)(const CGeString&, TiXmlDocument&);
        for (Loader load : {&XmlLoadDocument, &XmlLoadDocumentFromDisk}) {
            TiXmlDocument document;
            GeLogClearLast();
            EXPECT_EQ(c.loaded, load(CGeString(path.c_str()), document)) << c.name;
            const std::string logged = GeLogLastMessage().c_str();
            if (!c.detail) {
                EXPECT_EQ(0, GeLogLastLevel()) << c.name << ": " << logged;
                continue;
            }
            EXPECT_EQ(1, GeLogLastLevel()) << c.name;
            EXPECT_NE(std::string::npos, logged.find("'" + path + "'")) << c.name << ": " << logged;
            EXPECT_NE(std::string::npos, logged.find(c.detail)) << c.name << ": " << logged;
            EXPECT_EQ(std::string::npos, logged.find("row 0")) << c.name << ": " << logged;
        }
    }

    // A missing file is a question callers ask of optional data: no line.
    TiXmlDocument none;
    GeLogClearLast();
    EXPECT_FALSE(XmlLoadDocument(CGeString((dir / "none.xml").c_str()), none));
    EXPECT_EQ(0, GeLogLastLevel()) << GeLogLastMessage().c_str();
}

TEST(GeXml, LoadsDocumentsFromDisk)
{
    CTestTempDir dir;
    // The file has no terminator of its own and keeps its blanks.
    const std::string path =
        dir.Write("settings.xml", "<config><video windowed='true' caption='  two  blanks '/></config>");

    TiXmlDocument document;
    ASSERT_TRUE(XmlLoadDocumentFromDisk(CGeString(path.c_str()), document));
    XmlHandle h;
    h.element = document.FirstChildElement("config")->FirstChildElement("video");
    ASSERT_NE(nullptr, h.element);
    EXPECT_TRUE(XmlGetBool("windowed", h));
    EXPECT_STREQ("  two  blanks ", XmlGetText("caption", h));

    // A broken document still counts as loaded; a missing or empty file does not.
    const std::string broken = dir.Write("broken.xml", "<config><unclosed");
    TiXmlDocument brokenDocument;
    EXPECT_TRUE(XmlLoadDocumentFromDisk(CGeString(broken.c_str()), brokenDocument));
    EXPECT_TRUE(brokenDocument.Error());

    const std::string empty = dir.Write("empty.xml", "");
    TiXmlDocument none;
    EXPECT_FALSE(XmlLoadDocumentFromDisk(CGeString((dir / "none.xml").c_str()), none));
    EXPECT_FALSE(XmlLoadDocumentFromDisk(CGeString(empty.c_str()), none));

    // With no pack path, the general loader reads the same loose files.
    ASSERT_TRUE(g_packPath.IsEmpty());
    TiXmlDocument loose;
    EXPECT_TRUE(XmlLoadDocument(CGeString(path.c_str()), loose));
    EXPECT_NE(nullptr, loose.FirstChildElement("config"));
    EXPECT_FALSE(XmlLoadDocument(CGeString((dir / "none.xml").c_str()), none));
}
