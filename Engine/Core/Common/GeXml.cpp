#include "Engine/Core/Common/GeXml.h"

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeXmlNesting.h"

XmlHandle* g_xmlHandle = nullptr;

// Debug traces are compiled out; the call sites stay to show what would be said.
static void XmlTrace(const CGeString&) {}

// Loading -----------------------------------------------------------------------

// No game file nests its elements anywhere near this deep; TinyXML's
// recursion would run out of stack some ten times deeper.
static const uint32_t kMaxXmlNesting = 1000;

bool XmlParseDocumentText(const uint8_t* bytes, uint32_t size, TiXmlDocument& document)
{
    // TinyXML wants a terminated text; the file data has no terminator. The
    // zeros after it catch TinyXML's steps past the end (see GeXmlNesting.h).
    const size_t allocated = size_t(size) + 1 + kXmlTextPadding;
    char* text = static_cast<char*>(std::malloc(allocated));
    if (!text)
        return true;
    if (size)
        std::memcpy(text, bytes, size);
    std::memset(text + size, 0, allocated - size);
    const bool fits = XmlNestingWithin(text, kMaxXmlNesting);
    if (fits) {
        TiXmlBase::SetCondenseWhiteSpace(false);
        document.Parse(text, nullptr, TIXML_DEFAULT_ENCODING);
    }
    std::free(text);
    return fits;
}

// Reporting ---------------------------------------------------------------------

void XmlReportMissing(const TiXmlElement* element, const char* name)
{
    // The path reads from the root down: "root -> child -> attribute".
    CGeString path(name ? name : "");
    for (const TiXmlNode* node = element; node && node->ToElement(); node = node->Parent())
        path = CGeString(node->Value()) + " -> " + path;
    XmlTrace(path);
}

static const char* FindAttribute(const char* name, const XmlHandle& handle)
{
    const char* value = handle.element ? handle.element->Attribute(name) : nullptr;
    if (!value && handle.reportMissing)
        XmlReportMissing(handle.element, name);
    return value;
}

// Attribute getters ---------------------------------------------------------------

bool XmlHasAttribute(const char* name, const XmlHandle& handle)
{
    return FindAttribute(name, handle) != nullptr;
}

const char* XmlGetText(const char* name, const XmlHandle& handle)
{
    return FindAttribute(name, handle);
}

bool XmlGetBool(const char* name, const XmlHandle& handle)
{
    const char* value = FindAttribute(name, handle);
    if (!value)
        return false;
    return ToLowerString(CGeString(value)) == "true";
}

// atoi's reading (blanks, sign, digits up to the first other character),
// saturated instead of overflowing.
static int32_t TextToInt(const char* text)
{
    const long long value = std::strtoll(text, nullptr, 10);
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t XmlGetInt(const char* name, const XmlHandle& handle)
{
    const char* value = FindAttribute(name, handle);
    return value ? TextToInt(value) : 0;
}

// atof as the game's files are written for: blanks, then a decimal number
// (sign, digits, point, exponent), 0 when there is none. The C library here
// would also read "0x1A", "inf" and "nan", which no file means and which
// would put non-numbers into positions and sizes.
static double TextToDouble(const char* text)
{
    auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    const char* p = text;
    while (*p == ' ' || (*p >= '\t' && *p <= '\r'))
        ++p;
    const char* start = p;
    if (*p == '+' || *p == '-')
        ++p;
    const char* digits = p;
    while (isDigit(*p))
        ++p;
    bool anyDigit = p != digits;
    if (*p == '.') {
        const char* fraction = ++p;
        while (isDigit(*p))
            ++p;
        anyDigit = anyDigit || p != fraction;
    }
    if (!anyDigit)
        return 0.0;
    if (*p == 'e' || *p == 'E') {
        const char* exponent = p + 1;
        if (*exponent == '+' || *exponent == '-')
            ++exponent;
        if (isDigit(*exponent)) {
            p = exponent;
            while (isDigit(*p))
                ++p;
        }
    }
    return std::strtod(std::string(start, p).c_str(), nullptr);
}

const char* XmlGetDouble(const char* name, const XmlHandle& handle, double* out)
{
    const char* value = FindAttribute(name, handle);
    if (out)
        *out = value ? TextToDouble(value) : 0.0;
    return value;
}

float XmlGetFloat(const char* name, const XmlHandle& handle)
{
    double value = 0.0;
    XmlGetDouble(name, handle, &value);
    return static_cast<float>(value);
}

CGeWString XmlGetWideText(const char* name, const XmlHandle& handle)
{
    const char* value = FindAttribute(name, handle);
    if (!value)
        return CGeWString();
    return Utf8StringToWide(CGeString(value));
}

// Reads up to `wanted` numbers of an attribute into out (which starts as
// zeros); returns how many the attribute holds, reporting a short list.
static uint32_t ReadNumbers(const char* name, const XmlHandle& handle, uint32_t wanted, double* out)
{
    for (uint32_t i = 0; i < wanted; ++i)
        out[i] = 0.0;
    const char* value = FindAttribute(name, handle);
    if (!value)
        return 0;
    CGeArray<double> numbers;
    const uint32_t count = XmlParseNumber(value, numbers);
    for (uint32_t i = 0; i < wanted && i < count; ++i)
        out[i] = numbers[i];
    if (count < wanted && handle.reportMissing)
        XmlReportMissing(handle.element, name);
    return count;
}

Vec2 XmlGetVector2(const char* name, const XmlHandle& handle)
{
    double n[2];
    Vec2 out{0.0f, 0.0f};
    if (ReadNumbers(name, handle, 2, n) >= 2)
        out = Vec2{float(n[0]), float(n[1])};
    return out;
}

Vec4 XmlGetVector3(const char* name, const XmlHandle& handle)
{
    double n[3];
    Vec4 out{0.0f, 0.0f, 0.0f, 0.0f};
    const uint32_t count = ReadNumbers(name, handle, 3, n);
    if (count >= 2) {
        out.x = float(n[0]);
        out.y = float(n[1]);
    }
    if (count >= 3)
        out.z = float(n[2]);
    return out;
}

Vec4 XmlGetVector4(const char* name, const XmlHandle& handle)
{
    double n[4];
    Vec4 out{0.0f, 0.0f, 0.0f, 0.0f};
    if (ReadNumbers(name, handle, 4, n) >= 4)
        out = Vec4{float(n[0]), float(n[1]), float(n[2]), float(n[3])};
    return out;
}

Vec4 XmlGetColor(const char* name, const XmlHandle& handle)
{
    const Vec4 argb = XmlGetVector4(name, handle);
    return Vec4{argb.y, argb.z, argb.w, argb.x};
}

void XmlGetVector4Ex(const char* name, Vec4& out)
{
    static const XmlHandle kNoHandle;
    out = XmlGetVector4(name, g_xmlHandle ? *g_xmlHandle : kNoHandle);
}

const char* XmlGetNodeValue(const TiXmlElement* element, const char* name)
{
    const TiXmlElement* child = nullptr;
    if (element)
        child = name ? element->FirstChildElement(name) : element->FirstChildElement();
    const char* text = child ? child->GetText() : nullptr;
    if (!text)
        XmlTrace(CGeString("Node value: \n") + (name ? name : ""));
    return text;
}

uint32_t XmlCountChildren(const TiXmlElement* element, const char* name)
{
    if (!element)
        return 0;
    uint32_t count = 0;
    const TiXmlElement* child = name ? element->FirstChildElement(name) : element->FirstChildElement();
    while (child) {
        ++count;
        child = name ? child->NextSiblingElement(name) : child->NextSiblingElement();
    }
    return count;
}

// Enumeration words ---------------------------------------------------------------

struct WordValue {
    const char* word;
    uint32_t value;
};

static const WordValue kBlendModeWords[] = {
    {"NOTEXTURE", GE_BLEND_NOTEXTURE}, {"COPY", GE_BLEND_COPY},
    {"ADD", GE_BLEND_ADD},             {"MODULATE", GE_BLEND_MODULATE},
    {"MODULATE2X", GE_BLEND_MODULATE2X}, {"ALPHA", GE_BLEND_ALPHA},
    {"ALPHA_STENCIL", GE_BLEND_ALPHA_STENCIL},
};

static const WordValue kPlayModeWords[] = {
    {"FORWARD", 1},        {"BACKWARD", 2},        {"WIGWAG", 3},        {"WAGWIG", 4},
    {"FORWARD: LOOP", 0x11}, {"BACKWARD: LOOP", 0x12}, {"WIGWAG: LOOP", 0x13}, {"WAGWIG: LOOP", 0x14},
};

template <size_t N>
static CGeStringMap<uint32_t> BuildWordTable(const WordValue (&words)[N])
{
    CGeStringMap<uint32_t> table;
    for (const WordValue& entry : words)
        table[CGeString(entry.word)] = entry.value;
    return table;
}

// Looks an upper-case word up; false when the table does not hold it.
static bool FindWord(const CGeStringMap<uint32_t>& table, const CGeString& word, uint32_t& value)
{
    const auto* node = table.Find(word);
    if (!node)
        return false;
    value = node->value;
    return true;
}

static const CGeStringMap<uint32_t>& BlendModeTable()
{
    static const CGeStringMap<uint32_t> table = BuildWordTable(kBlendModeWords);
    return table;
}

static const CGeStringMap<uint32_t>& PlayModeTable()
{
    static const CGeStringMap<uint32_t> table = BuildWordTable(kPlayModeWords);
    return table;
}

uint32_t ParseBlendMode(const XmlHandle& handle)
{
    const char* value = FindAttribute("blendmode", handle);
    uint32_t mode = GE_BLEND_COPY;
    if (value)
        FindWord(BlendModeTable(), ToUpperString(CGeString(value)), mode);
    return mode;
}

uint32_t ParseAnimPlayMode(const XmlHandle& handle)
{
    const uint32_t kForward = 1;
    const char* value = FindAttribute("mode", handle);
    if (!value)
        return kForward;
    const CGeString word = ToUpperString(CGeString(value));
    uint32_t mode = kForward;
    if (FindWord(PlayModeTable(), word, mode))
        return mode;

    // "WORD:n" repeats the mode n times; n sits in the high 16 bits.
    const char* colon = std::strchr(word.c_str(), ':');
    if (!colon)
        return kForward;
    const uint32_t repeat = static_cast<uint32_t>(TextToInt(colon + 1));
    const CGeString head = word.Mid(0, static_cast<uint32_t>(colon - word.c_str()));
    if (!FindWord(PlayModeTable(), head, mode))
        return kForward;
    return (repeat << 16) | mode;
}

// Number lists ---------------------------------------------------------------------

static const bool* NumberCharacterTable()
{
    static bool table[256];
    static bool built = false;
    if (!built) {
        // Through the kernel fill once start-up has installed the kernels; a
        // document read before that clears with the C library.
        if (g_pGeSimd)
            g_pGeSimd->Memset(table, 0, sizeof table);
        else
            std::memset(table, 0, sizeof table);
        for (const char* c = "-0123456789.Ee"; *c; ++c)
            table[static_cast<unsigned char>(*c)] = true;
        built = true;
    }
    return table;
}

uint32_t XmlParseNumber(const char* text, CGeArray<double>& out)
{
    const bool* isNumberChar = NumberCharacterTable();
    out.Clear();
    if (!text)
        return 0;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        if (!isNumberChar[*p]) {
            ++p;
            continue;
        }
        // The number is read as much as it goes: "1-2" gives 1.
        out.Add(TextToDouble(reinterpret_cast<const char*>(p)));
        while (*p && isNumberChar[*p])
            ++p;
    }
    return out.count;
}

uint32_t XmlParseFloatList(const char* text, CGeArray<float>& out)
{
    CGeArray<double> numbers;
    const uint32_t count = XmlParseNumber(text, numbers);
    for (double n : numbers)
        out.Add(static_cast<float>(n));
    return count;
}

// A list entry as an index: truncated toward zero and wrapped to 16 bits;
// values no integer can hold (NaN, overflow) give 0 instead of undefined
// conversions.
static uint16_t NumberToIndex(double n)
{
    if (!(std::fabs(n) < 2147483648.0))
        return 0;
    return static_cast<uint16_t>(static_cast<int32_t>(n));
}

uint32_t XmlParseIndexList(const char* text, CGeArray<uint16_t>& out)
{
    CGeArray<double> numbers;
    const uint32_t count = XmlParseNumber(text, numbers);
    for (double n : numbers)
        out.Add(NumberToIndex(n));
    return count;
}

int32_t ParseIntegerText(const char* text)
{
    if (!text || std::strlen(text) < 3)
        return 0;
    if (text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text += 2;
    const CGeString digits = ToUpperString(CGeString(text));
    uint32_t value = 0;
    for (const char* p = digits.c_str(); *p; ++p) {
        uint32_t digit;
        if (*p >= '0' && *p <= '9')
            digit = static_cast<uint32_t>(*p - '0');
        else if (*p >= 'A' && *p <= 'F')
            digit = static_cast<uint32_t>(*p - 'A' + 10);
        else
            break;
        value = (value << 4) | digit;
    }
    return static_cast<int32_t>(value);
}
