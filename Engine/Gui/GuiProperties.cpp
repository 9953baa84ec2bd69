// The property registry's look-ups and text conversions. Numbers are read and
// printed without the C library's locale: floats through std::to_chars and
// std::from_chars, so "%.3f" keeps its '.' under any LC_NUMERIC.
#include "Engine/Gui/GuiProperties.h"

#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeTextConvert.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <strings.h>

const CGeWString g_numericFilterChars(u"0123456789.abcdefABCDEFxX-");

namespace {

struct EnumTable {
    const char* const* names;
    uint32_t count;
};

const char* const kAlignment[] = {"LEFT", "RIGHT", "CENTER"};
const char* const kBlendMode[] = {"NOTEXTURE",           "COPY",         "ADD", "MODULATE", "MODULATE2X", "ALPHA_BLEND",
                                  "ALPHA_BLEND_NO_TEST", "ALPHA_STENCIL"};
const char* const kWrap[] = {"NONE", "SYMBOL", "WORD", "FULL WIDTH"};
const char* const kCharCase[] = {"Normal", "Lower", "Upper"};
const char* const kCursor[] = {"None",       "Default",  "Text", "Move", "ResizeNS", "ResizeWE", "ResizeNWSE",
                               "ResizeSWNE", "Pointing", "Wait", "Help", "Cross",    "Deny"};
const char* const kDirection[] = {"Horizontal", "Vertical"};
const char* const kBool[] = {"False", "True"};
const char* const kPartSys[] = {"QUADS"};
const char* const kEmitter[] = {"POINT", "CUBOID", "SPHEROID"};
const char* const kAutosize[] = {"None", "Both", "Vertical"};

template <size_t N>
constexpr EnumTable Table(const char* const (&names)[N])
{
    return {names, (uint32_t)N};
}

// The table of an enumeration type; count 0 for the types that are none.
EnumTable EnumTableOf(int32_t type)
{
    switch (type) {
    case PT_EnTextAlignment: return Table(kAlignment);
    case PT_EnGmSpriteBlendMode: return Table(kBlendMode);
    case PT_EnTextWrap: return Table(kWrap);
    case PT_EnCharCase: return Table(kCharCase);
    case PT_EnCursorType: return Table(kCursor);
    case PT_EnDirectionType: return Table(kDirection);
    case PT_EnBool: return Table(kBool);
    case PT_EnGcPartSysType: return Table(kPartSys);
    case PT_EnGcEmitterType: return Table(kEmitter);
    case PT_EnTextAutosize: return Table(kAutosize);
    default: return {nullptr, 0};
    }
}

bool IsEnumType(int32_t type)
{
    return (type >= PT_EnTextAlignment && type <= PT_EnTextAutosize);
}

// The C runtime's 64-bit decimal reading: leading white space and a sign,
// digits up to the first other character, clamped at the limits; 0 without
// digits.
int64_t ReadInt64(const char* text)
{
    errno = 0;
    return strtoll(text, nullptr, 10);
}

const char* SkipSpace(const char* text)
{
    while (*text == ' ' || (*text >= '\t' && *text <= '\r'))
        ++text;
    return text;
}

// A decimal floating-point number at the start of the text (white space and a
// sign allowed), independent of the locale; 0 when there is none.
float ReadFloat(const char* text)
{
    text = SkipSpace(text);
    bool negative = false;
    if (*text == '+' || *text == '-') {
        negative = (*text == '-');
        ++text;
    }
    double value = 0.0;
    std::from_chars_result result = std::from_chars(text, text + strlen(text), value);
    if (result.ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone on overflow; strtod's answer is the
        // signed infinity or zero, which the float conversion gives as well.
        value = strtod(text, nullptr);
    } else if (result.ec != std::errc()) {
        value = 0.0;
    }
    return (float)(negative ? -value : value);
}

uint32_t ReadUInt(const char* text)
{
    return (uint32_t)(uint64_t)ReadInt64(text);
}

CGeWString Widen(const char* text)
{
    return AnsiStringToWide(CGeString(text));
}

} // namespace

void RegisterProperty(int32_t type, uint32_t number, const char* identifier, const char* shortName, uint8_t flag)
{
    if (number >= GUI_PROPERTY_COUNT)
        return;
    snprintf(g_propertyIdNames[number], sizeof(g_propertyIdNames[number]), "%s", identifier ? identifier : "");
    snprintf(g_propertyShortNames[number], sizeof(g_propertyShortNames[number]), "%s", shortName ? shortName : "");
    g_propertyTypes[number] = type;
    g_propertyFlags[number] = flag;
}

CGeString GetPropertyIdName(uint32_t number)
{
    if (number >= GUI_PROPERTY_COUNT)
        return CGeString();
    return CGeString(g_propertyIdNames[number]);
}

int32_t GetPropertyType(uint32_t number)
{
    return (number < GUI_PROPERTY_COUNT) ? g_propertyTypes[number] : PT_None;
}

uint32_t FindPropertyByName(const CGeString& name)
{
    // Built on the first call, in number order, and kept until exit.
    static CGeStringMap<uint32_t> s_byName;
    static bool s_built = false;
    if (!s_built) {
        for (uint32_t i = 0; i < GUI_PROPERTY_COUNT; ++i)
            s_byName[CGeString(g_propertyIdNames[i])] = i;
        s_built = true;
    }
    auto* node = s_byName.Find(name);
    return node ? node->value : GUI_PROPERTY_COUNT;
}

CGeString GetEnumValueName(uint32_t value, int32_t type)
{
    EnumTable table = EnumTableOf(type);
    if (table.count == 0)
        return CGeString();
    if (value >= table.count) {
        // Beyond the named values: the cursor numbers of the game's own
        // pointers, or a value no table has; its number is the only honest name.
        char buffer[16];
        snprintf(buffer, sizeof(buffer), "%d", (int32_t)value);
        return CGeString(buffer);
    }
    return CGeString(table.names[value]);
}

int32_t GetEnumValueByName(const CGeString& text, int32_t type)
{
    EnumTable table = EnumTableOf(type);
    for (uint32_t i = 0; i < table.count; ++i) {
        if (strcasecmp(text.c_str(), table.names[i]) == 0)
            return (int32_t)i;
    }
    if (type == PT_EnCursorType)
        return (int32_t)ReadInt64(text.c_str());
    if (strcasecmp(text.c_str(), "False") == 0)
        return 0;
    if (strcasecmp(text.c_str(), "True") == 0)
        return 1;
    return -1;
}

CGeWString PropertyValueToText(const CGeValue& value, uint32_t number)
{
    int32_t type = GetPropertyType(number);
    char buffer[50];
    switch (type) {
    case PT_EnBool: return CGeWString(value.scalar.b ? u"True" : u"False");
    case PT_Float: {
        std::to_chars_result result =
            std::to_chars(buffer, buffer + sizeof(buffer) - 1, (double)value.scalar.f32, std::chars_format::fixed, 3);
        *result.ptr = '\0';
        return Widen(buffer);
    }
    case PT_Int: snprintf(buffer, sizeof(buffer), "%d", value.scalar.i32); return Widen(buffer);
    case PT_UInt: snprintf(buffer, sizeof(buffer), "%u", value.scalar.u32); return Widen(buffer);
    case PT_Color4b:
        if (value.scalar.u32 == 0)
            return CGeWString(u"0x00000000");
        snprintf(buffer, sizeof(buffer), "%#010x", value.scalar.u32);
        return Widen(buffer);
    case PT_WString: return value.wstr;
    case PT_String: return AnsiStringToWide(value.str);
    default:
        if (IsEnumType(type))
            return AnsiStringToWide(GetEnumValueName(value.scalar.u32, type));
        return CGeWString();
    }
}

CGeValue PropertyValueFromText(const CGeWString& text, uint32_t number)
{
    int32_t type = GetPropertyType(number);
    CGeValue result;
    if (type == PT_WString)
        return CGeValue(text);
    CGeString narrow = WideStringToAnsi(text);
    if (type == PT_String)
        return CGeValue(narrow);

    result.kind = GE_VALUE_UINT32;
    switch (type) {
    case PT_EnBool:
        result.kind = GE_VALUE_BOOL;
        result.scalar.b = (GetEnumValueByName(narrow, PT_EnBool) != 0) ? 1 : 0;
        break;
    case PT_Float:
        result.kind = GE_VALUE_FLOAT;
        result.scalar.f32 = ReadFloat(narrow.c_str());
        break;
    case PT_Int: {
        int64_t n = ReadInt64(narrow.c_str());
        result.kind = GE_VALUE_INT32;
        result.scalar.i32 = (int32_t)(n > INT32_MAX ? INT32_MAX : (n < INT32_MIN ? INT32_MIN : n));
        break;
    }
    case PT_UInt: result.scalar.u32 = ReadUInt(narrow.c_str()); break;
    case PT_Color4b: {
        const char* s = narrow.c_str();
        if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
            unsigned long long n = strtoull(s + 2, nullptr, 16);
            result.scalar.u32 = (n > 0xFFFFFFFFull) ? 0xFFFFFFFFu : (uint32_t)n;
        } else {
            result.scalar.u32 = ReadUInt(s);
        }
        break;
    }
    default:
        if (IsEnumType(type))
            result.scalar.u32 = (uint32_t)GetEnumValueByName(narrow, type);
        else
            result.scalar.u32 = 0;
        break;
    }
    return result;
}
