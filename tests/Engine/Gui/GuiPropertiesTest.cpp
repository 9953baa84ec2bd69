// The property registry against its source table and the conversion rules the
// game's XML files rely on, quirks included.
#include "Engine/Gui/GuiProperties.h"

#include <gtest/gtest.h>

#include <clocale>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace {

struct TableRow {
    uint32_t number;
    std::string identifier;
    std::string shortName;
    std::string type;
};

// The rows of the committed table, read independently of the generator.
std::vector<TableRow> ReadTable()
{
    std::ifstream in(QM_GUI_TEST_DATA "/property_table.md");
    std::regex row(R"re(^\| (\d+) \| `([^`]+)` \| "([^"]*)" \| (\w+) \|$)re");
    std::vector<TableRow> rows;
    std::string line;
    std::smatch m;
    while (std::getline(in, line)) {
        if (std::regex_match(line, m, row))
            rows.push_back({(uint32_t)std::stoul(m[1]), m[2], m[3], m[4]});
    }
    return rows;
}

const char* const kTypeNames[] = {"None",
                                  "Float",
                                  "Int",
                                  "UInt",
                                  "Color4b",
                                  "WString",
                                  "String",
                                  "EnTextAlignment",
                                  "EnGmSpriteBlendMode",
                                  "EnTextWrap",
                                  "EnCharCase",
                                  "EnCursorType",
                                  "EnDirectionType",
                                  "EnBool",
                                  "EnGcPartSysType",
                                  "EnGcEmitterType",
                                  "EnTextAutosize"};

std::u16string U(const CGeWString& s)
{
    return std::u16string(s.c_str(), s.Length());
}

CGeValue Scalar(uint32_t kind, uint32_t bits)
{
    CGeValue v;
    v.kind = kind;
    v.scalar.u32 = bits;
    return v;
}

CGeValue Float(float f)
{
    CGeValue v;
    v.kind = GE_VALUE_FLOAT;
    v.scalar.f32 = f;
    return v;
}

} // namespace

TEST(GuiProperties, EveryRowOfTheTableIsRegistered)
{
    std::vector<TableRow> rows = ReadTable();
    ASSERT_EQ(rows.size(), GUI_PROPERTY_COUNT);
    for (uint32_t i = 0; i < rows.size(); ++i) {
        const TableRow& row = rows[i];
        SCOPED_TRACE(row.identifier);
        EXPECT_EQ(row.number, i);
        EXPECT_STREQ(g_propertyIdNames[i], row.identifier.c_str());
        EXPECT_STREQ(g_propertyShortNames[i], row.shortName.c_str());
        ASSERT_GE(g_propertyTypes[i], 0);
        ASSERT_LE(g_propertyTypes[i], 16);
        EXPECT_EQ(row.type, kTypeNames[g_propertyTypes[i]]);
        EXPECT_STREQ(GetPropertyIdName(i).c_str(), row.identifier.c_str());
        EXPECT_EQ(FindPropertyByName(CGeString(row.identifier.c_str())), i);
        bool flagged = (i == 81 || i == 87 || i == 89 || i == 128 || i == 131 || i == 148);
        EXPECT_EQ(g_propertyFlags[i], flagged ? 1 : 0);
    }
    EXPECT_STREQ(g_propertyIdNames[EP_TagsVisible], "EP_TagsVisible");
    EXPECT_STREQ(g_propertyShortNames[EP_TagsVisible], "TagsEnable");
}

TEST(GuiProperties, NamesAreLookedUpExactly)
{
    struct Case {
        const char* name;
        uint32_t number;
    } cases[] = {
        {"EP_X", 95}, {"X", 212},      {"ep_x", 212}, {"EP_PS_orientNormalZ", 211}, {"orientNormal Z", 212},
        {"", 212},    {"EP_Name", 90},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindPropertyByName(CGeString(c.name)), c.number) << c.name;
    EXPECT_STREQ(GetPropertyIdName(212).c_str(), "");
}

TEST(GuiProperties, EnumerationNames)
{
    EXPECT_STREQ(GetEnumValueName(5, PT_EnGmSpriteBlendMode).c_str(), "ALPHA_BLEND");
    EXPECT_STREQ(GetEnumValueName(3, PT_EnTextWrap).c_str(), "FULL WIDTH");
    EXPECT_STREQ(GetEnumValueName(12, PT_EnCursorType).c_str(), "Deny");
    EXPECT_STREQ(GetEnumValueName(13, PT_EnCursorType).c_str(), "13");
    // Beyond the table of any other type: the number, never a read past the end.
    EXPECT_STREQ(GetEnumValueName(3, PT_EnTextAlignment).c_str(), "3");
    EXPECT_STREQ(GetEnumValueName(1, PT_EnGcPartSysType).c_str(), "1");
    EXPECT_STREQ(GetEnumValueName(0, PT_Float).c_str(), "");

    struct Case {
        const char* text;
        int32_t type;
        int32_t value;
    } cases[] = {
        {"center", PT_EnTextAlignment, 2},
        {"Centre", PT_EnTextAlignment, -1},
        {"true", PT_EnTextAlignment, 1},
        {"FALSE", PT_EnTextWrap, 0},
        {"full width", PT_EnTextWrap, 3},
        {"Wait", PT_EnCursorType, 9},
        {" 17xyz", PT_EnCursorType, 17},
        {"-3", PT_EnCursorType, -3},
        {"True", PT_EnCursorType, 0},
        {"spheroid", PT_EnGcEmitterType, 2},
        {"", PT_EnBool, -1},
        {"yes", PT_EnBool, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GetEnumValueByName(CGeString(c.text), c.type), c.value) << c.text;
}

TEST(GuiProperties, ValuesToText)
{
    struct Case {
        uint32_t number;
        CGeValue value;
        std::u16string text;
    } cases[] = {
        {EP_CursorType, Scalar(GE_VALUE_UINT32, 8), u"Pointing"},
        {EP_CursorType, Scalar(GE_VALUE_UINT32, 20), u"20"},
        {EP_TextAlign, Scalar(GE_VALUE_UINT32, 2), u"CENTER"},
        {EP_Visible, Scalar(GE_VALUE_BOOL, 1), u"True"},
        {EP_Visible, Scalar(GE_VALUE_BOOL, 0), u"False"},
        // The registered type decides, not the value's kind: a bool value
        // with other bits above its byte is still read by its byte.
        {EP_Visible, Scalar(GE_VALUE_UINT32, 0x100), u"False"},
        {EP_X, Float(-2.5f), u"-2.500"},
        {EP_X, Float(1.5f), u"1.500"},
        {EP_X, Float(0.0005f), u"0.001"},
        {EP_X, Float(3.4028235e38f), u"340282346638528859811704183484516925440.000"},
        {EP_FontAlpha, Scalar(GE_VALUE_UINT32, 0xFFFFFFFF), u"4294967295"},
        {EP_FontMaskColor, Scalar(GE_VALUE_UINT32, 255), u"0x000000ff"},
        {EP_FontMaskColor, Scalar(GE_VALUE_UINT32, 0xFF00FF00), u"0xff00ff00"},
        {EP_FontMaskColor, Scalar(GE_VALUE_UINT32, 0x12), u"0x00000012"},
        {EP_FontMaskColor, Scalar(GE_VALUE_UINT32, 0), u"0x00000000"},
        {EP_Name, CGeValue("panel_1"), u"panel_1"},
        {EP_Text, CGeValue(CGeWString(u"\u0416x")), u"\u0416x"},
        {212, Scalar(GE_VALUE_UINT32, 7), u""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(U(PropertyValueToText(c.value, c.number)), c.text) << GetPropertyIdName(c.number).c_str();
}

TEST(GuiProperties, FloatsKeepTheirPointInAnyLocale)
{
    const char* previous = setlocale(LC_NUMERIC, nullptr);
    std::string saved = previous ? previous : "C";
    if (!setlocale(LC_NUMERIC, "de_DE.UTF-8") && !setlocale(LC_NUMERIC, "fr_FR.UTF-8"))
        GTEST_SKIP() << "no locale with a decimal comma";
    EXPECT_EQ(U(PropertyValueToText(Float(12.25f), EP_W)), u"12.250");
    EXPECT_FLOAT_EQ(PropertyValueFromText(CGeWString(u"12.5"), EP_W).scalar.f32, 12.5f);
    setlocale(LC_NUMERIC, saved.c_str());
}

TEST(GuiProperties, ValuesFromText)
{
    struct Case {
        uint32_t number;
        const char16_t* text;
        uint32_t kind;
        uint32_t bits;
    } cases[] = {
        {EP_TextAlign, u"left", GE_VALUE_UINT32, 0},
        {EP_TextAlign, u"True", GE_VALUE_UINT32, 1},
        {EP_TextAlign, u"Centre", GE_VALUE_UINT32, 0xFFFFFFFF},
        {EP_ButtonCursorType, u"7", GE_VALUE_UINT32, 7},
        {EP_ButtonCursorType, u"Wait", GE_VALUE_UINT32, 9},
        {EP_Visible, u"false", GE_VALUE_BOOL, 0},
        {EP_Visible, u"FALSE", GE_VALUE_BOOL, 0},
        {EP_Visible, u"0", GE_VALUE_BOOL, 1},
        {EP_Visible, u"", GE_VALUE_BOOL, 1},
        {EP_Visible, u"True", GE_VALUE_BOOL, 1},
        {EP_FontMaskColor, u"0xFF0000FF", GE_VALUE_UINT32, 0xFF0000FF},
        {EP_FontMaskColor, u"0Xff", GE_VALUE_UINT32, 0xFF},
        {EP_FontMaskColor, u"255", GE_VALUE_UINT32, 255},
        {EP_FontMaskColor, u"", GE_VALUE_UINT32, 0},
        {EP_FontAlpha, u"4294967295", GE_VALUE_UINT32, 0xFFFFFFFF},
        {EP_FontAlpha, u"-1", GE_VALUE_UINT32, 0xFFFFFFFF},
        {EP_FontAlpha, u"4294967296", GE_VALUE_UINT32, 0},
        {EP_FontAlpha, u"  42 px", GE_VALUE_UINT32, 42},
        {EP_FontAlpha, u"abc", GE_VALUE_UINT32, 0},
        {212, u"whatever", GE_VALUE_UINT32, 0},
    };
    for (const Case& c : cases) {
        CGeValue v = PropertyValueFromText(CGeWString(c.text), c.number);
        SCOPED_TRACE(std::string(GetPropertyIdName(c.number).c_str()));
        EXPECT_EQ(v.kind, c.kind);
        if (c.kind == GE_VALUE_BOOL)
            EXPECT_EQ(v.scalar.b, c.bits);
        else
            EXPECT_EQ(v.scalar.u32, c.bits);
    }

    struct FloatCase {
        const char16_t* text;
        float value;
    } floats[] = {{u"-2.5", -2.5f}, {u"", 0.0f}, {u" +7.25e1", 72.5f}, {u"12abc", 12.0f}, {u"x", 0.0f}};
    for (const FloatCase& c : floats) {
        CGeValue v = PropertyValueFromText(CGeWString(c.text), EP_X);
        EXPECT_EQ(v.kind, (uint32_t)GE_VALUE_FLOAT);
        EXPECT_FLOAT_EQ(v.scalar.f32, c.value);
    }

    CGeValue name = PropertyValueFromText(CGeWString(u"frame_a"), EP_BoundFrameSet);
    EXPECT_EQ(name.kind, (uint32_t)GE_VALUE_STRING);
    EXPECT_STREQ(name.str.c_str(), "frame_a");
    CGeValue text = PropertyValueFromText(CGeWString(u"Line\u0416"), EP_Text);
    EXPECT_EQ(text.kind, (uint32_t)GE_VALUE_WSTRING);
    EXPECT_EQ(U(text.wstr), u"Line\u0416");
}

TEST(GuiProperties, TextRoundTripsThroughEveryType)
{
    // A value printed and read back is the same value, for one property of
    // each type that carries a number.
    struct Case {
        uint32_t number;
        const char16_t* text;
    } cases[] = {{EP_X, u"-12.125"},
                 {EP_TabOrder, u"4000000000"},
                 {EP_BgVertexColor, u"0x80ff0102"},
                 {EP_TextWordWrap, u"FULL WIDTH"},
                 {EP_Autosize, u"Vertical"},
                 {EP_Visible, u"False"},
                 {EP_CursorType, u"19"}};
    for (const Case& c : cases)
        EXPECT_EQ(U(PropertyValueToText(PropertyValueFromText(CGeWString(c.text), c.number), c.number)), c.text);
    EXPECT_EQ(U(g_numericFilterChars), u"0123456789.abcdefABCDEFxX-");
}
