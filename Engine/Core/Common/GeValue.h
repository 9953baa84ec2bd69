// The engine's tagged value: script-call arguments and results, GUI property
// values and debug-overlay values.
#pragma once

#include "Engine/Core/Common/GeString.h"

#include <cstdint>

enum EGeValueKind : uint32_t {
    GE_VALUE_EMPTY = 0,
    GE_VALUE_BOOL = 1,      // one byte, any non-zero value is true
    GE_VALUE_INT16 = 2,
    GE_VALUE_UINT16 = 3,
    GE_VALUE_INT32 = 4,
    GE_VALUE_UINT32 = 5,
    GE_VALUE_FLOAT = 6,
    GE_VALUE_STRING = 7,    // in str
    GE_VALUE_WSTRING = 8,   // in wstr
    GE_VALUE_INT8 = 9,
    GE_VALUE_UINT8 = 10,
    GE_VALUE_DOUBLE = 11,
    GE_VALUE_REFERENCE = 12,   // bindings only: the variable is another CGeValue
};

// The scalar kinds keep their value at the start of these 8 bytes.
union GeValueScalar {
    uint8_t b;
    int8_t i8;
    uint8_t u8;
    int16_t i16;
    uint16_t u16;
    int32_t i32;
    uint32_t u32;
    float f32;
    double f64;
    uint64_t bits;
};

// A program variable seen as a value: where it is and what kind it holds.
struct GeValueBinding {
    const void* variable;
    uint32_t kind;
};

class CGeValue {
public:
    uint32_t kind = GE_VALUE_EMPTY;
    GeValueScalar scalar = {};
    CGeString str;
    CGeWString wstr;

    CGeValue() = default;
    CGeValue(const char* text);          // kind 7
    CGeValue(const CGeString& text);     // kind 7
    CGeValue(const CGeWString& text);    // kind 8
    CGeValue(const CGeValue& other) = default;
    CGeValue& operator=(const CGeValue& other) = default;

    // A copy of str, whatever the kind.
    CGeString CopyString() const;

    // Takes the source's kind and the payload of that kind; the target's other
    // members keep their contents. A source of kind 0 or of an unknown kind
    // changes nothing.
    void Assign(const CGeValue& source);

    // Same kind and equal payloads; floats compare as numbers (NaN equals
    // nothing); two values of a kind without payload are equal.
    bool operator==(const CGeValue& other) const;
    bool operator!=(const CGeValue& other) const { return !(*this == other); }

    // The text form: "true"/"false", integers in decimal, floats with four
    // decimals, doubles with eight, strings converted from the code page.
    CGeWString ToWideString() const;

    // The variable's current value with the binding's kind; kind 12 copies the
    // CGeValue it points to. An unknown kind or no variable gives kind 0.
    static CGeValue FromBinding(const GeValueBinding& binding);
};
