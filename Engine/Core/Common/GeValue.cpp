#include "Engine/Core/Common/GeValue.h"

#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeWideFormat.h"

#include <cstring>

namespace {

// The bytes of the scalar that a kind uses; 0 for the other kinds.
size_t ScalarWidth(uint32_t kind)
{
    switch (kind) {
    case GE_VALUE_BOOL:
    case GE_VALUE_INT8:
    case GE_VALUE_UINT8: return 1;
    case GE_VALUE_INT16:
    case GE_VALUE_UINT16: return 2;
    case GE_VALUE_INT32:
    case GE_VALUE_UINT32:
    case GE_VALUE_FLOAT: return 4;
    case GE_VALUE_DOUBLE: return 8;
    default: return 0;
    }
}

bool IsValueKind(uint32_t kind)
{
    return kind >= GE_VALUE_BOOL && kind <= GE_VALUE_DOUBLE;
}

// The numeric text forms are made here and copied out.
char16_t g_textBuffer[512];

} // namespace

CGeValue::CGeValue(const char* text) : kind(GE_VALUE_STRING), str(text)
{
}

CGeValue::CGeValue(const CGeString& text) : kind(GE_VALUE_STRING), str(text)
{
}

CGeValue::CGeValue(const CGeWString& text) : kind(GE_VALUE_WSTRING), wstr(text)
{
}

CGeString CGeValue::CopyString() const
{
    return str;
}

void CGeValue::Assign(const CGeValue& source)
{
    if (!IsValueKind(source.kind))
        return;
    if (source.kind == GE_VALUE_STRING)
        str = source.str;
    else if (source.kind == GE_VALUE_WSTRING)
        wstr = source.wstr;
    else
        memcpy(&scalar, &source.scalar, ScalarWidth(source.kind));
    kind = source.kind;
}

bool CGeValue::operator==(const CGeValue& other) const
{
    if (kind != other.kind)
        return false;
    switch (kind) {
    case GE_VALUE_FLOAT: return scalar.f32 == other.scalar.f32;
    case GE_VALUE_DOUBLE: return scalar.f64 == other.scalar.f64;
    case GE_VALUE_STRING: return str == other.str;
    case GE_VALUE_WSTRING: return wstr == other.wstr;
    default:
        // Bitwise over the kind's width; kinds without payload are equal.
        return memcmp(&scalar, &other.scalar, ScalarWidth(kind)) == 0;
    }
}

CGeWString CGeValue::ToWideString() const
{
    switch (kind) {
    case GE_VALUE_BOOL:
        FormatWideBuffer(g_textBuffer, u"%s", scalar.b ? u"true" : u"false");
        break;
    case GE_VALUE_INT16: FormatWideBuffer(g_textBuffer, u"%d", (int)scalar.i16); break;
    case GE_VALUE_UINT16: FormatWideBuffer(g_textBuffer, u"%u", (unsigned)scalar.u16); break;
    case GE_VALUE_INT32: FormatWideBuffer(g_textBuffer, u"%d", scalar.i32); break;
    case GE_VALUE_UINT32: FormatWideBuffer(g_textBuffer, u"%u", scalar.u32); break;
    case GE_VALUE_FLOAT: FormatWideBuffer(g_textBuffer, u"%.*f", 4, (double)scalar.f32); break;
    case GE_VALUE_INT8: FormatWideBuffer(g_textBuffer, u"%d", (int)scalar.i8); break;
    case GE_VALUE_UINT8: FormatWideBuffer(g_textBuffer, u"%u", (unsigned)scalar.u8); break;
    case GE_VALUE_DOUBLE: FormatWideBuffer(g_textBuffer, u"%.*Lf", 8, scalar.f64); break;
    case GE_VALUE_STRING: return AnsiStringToWide(str);
    case GE_VALUE_WSTRING: return wstr;
    default: return CGeWString();
    }
    return CGeWString(g_textBuffer);
}

CGeValue CGeValue::FromBinding(const GeValueBinding& binding)
{
    CGeValue value;
    if (!binding.variable)
        return value;
    switch (binding.kind) {
    case GE_VALUE_STRING:
        value.str = *(const CGeString*)binding.variable;
        break;
    case GE_VALUE_WSTRING:
        value.wstr = *(const CGeWString*)binding.variable;
        break;
    case GE_VALUE_REFERENCE:
        return *(const CGeValue*)binding.variable;
    default:
        if (!IsValueKind(binding.kind))
            return value;
        memcpy(&value.scalar, binding.variable, ScalarWidth(binding.kind));
        break;
    }
    value.kind = binding.kind;
    return value;
}
