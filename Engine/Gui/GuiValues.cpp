#include "Engine/Gui/GuiValues.h"

#include "Engine/Core/Common/GeTextConvert.h"

#include <cstdlib>

namespace {

double AsDouble(const CGeValue& v)
{
    switch (v.kind) {
    case GE_VALUE_BOOL: return v.scalar.b;
    case GE_VALUE_INT16: return v.scalar.i16;
    case GE_VALUE_UINT16: return v.scalar.u16;
    case GE_VALUE_INT32: return v.scalar.i32;
    case GE_VALUE_UINT32: return v.scalar.u32;
    case GE_VALUE_FLOAT: return v.scalar.f32;
    case GE_VALUE_INT8: return v.scalar.i8;
    case GE_VALUE_UINT8: return v.scalar.u8;
    case GE_VALUE_DOUBLE: return v.scalar.f64;
    case GE_VALUE_STRING: return strtod(v.str.c_str(), nullptr);
    case GE_VALUE_WSTRING: return strtod(WideStringToAnsi(v.wstr).c_str(), nullptr);
    default: return 0.0;
    }
}

} // namespace

float GuiValueFloat(const CGeValue& value)
{
    return value.kind == GE_VALUE_FLOAT ? value.scalar.f32 : (float)AsDouble(value);
}

int32_t GuiValueInt(const CGeValue& value)
{
    if (value.kind == GE_VALUE_INT32 || value.kind == GE_VALUE_UINT32)
        return value.scalar.i32;
    return (int32_t)(int64_t)AsDouble(value);
}

uint32_t GuiValueUInt(const CGeValue& value)
{
    if (value.kind == GE_VALUE_INT32 || value.kind == GE_VALUE_UINT32)
        return value.scalar.u32;
    return (uint32_t)(int64_t)AsDouble(value);
}

uint8_t GuiValueBool(const CGeValue& value)
{
    if (value.kind == GE_VALUE_BOOL || value.kind == GE_VALUE_UINT8 || value.kind == GE_VALUE_INT8)
        return value.scalar.b;
    return AsDouble(value) != 0.0 ? 1 : 0;
}

CGeString GuiValueString(const CGeValue& value)
{
    if (value.kind == GE_VALUE_WSTRING)
        return WideStringToAnsi(value.wstr);
    return value.str;
}

CGeWString GuiValueWideString(const CGeValue& value)
{
    if (value.kind == GE_VALUE_STRING)
        return AnsiStringToWide(value.str);
    return value.wstr;
}

CGeValue GuiMakeBool(uint8_t value)
{
    CGeValue v;
    v.kind = GE_VALUE_BOOL;
    v.scalar.b = value;
    return v;
}

CGeValue GuiMakeInt(int32_t value)
{
    CGeValue v;
    v.kind = GE_VALUE_INT32;
    v.scalar.i32 = value;
    return v;
}

CGeValue GuiMakeUInt(uint32_t value)
{
    CGeValue v;
    v.kind = GE_VALUE_UINT32;
    v.scalar.u32 = value;
    return v;
}

CGeValue GuiMakeFloat(float value)
{
    CGeValue v;
    v.kind = GE_VALUE_FLOAT;
    v.scalar.f32 = value;
    return v;
}
