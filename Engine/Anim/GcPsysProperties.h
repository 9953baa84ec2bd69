// The properties of a particle-system description: their wide names, the kind
// of value each takes, the text conversions of the description files, and the
// map of a system's "PROPERTY" entries that a system is built from.
//
// The conversions are those of particle files, chosen by the property and not
// by the text: floats read with "%f" (empty text 0), unsigned decimal numbers
// (beyond 32 bits saturated), colours in "0x"/"0X" hexadecimal or decimal,
// booleans true only for exactly "True", and the blend, system and emitter
// names with their fall-backs.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeString.h"

#include <cstdint>

enum GcPsysValueKind : uint32_t {
    GC_VALUE_FLOAT = 0,
    GC_VALUE_UNSIGNED = 1,
    GC_VALUE_COLOUR = 2,
    GC_VALUE_STRING = 3,
    GC_VALUE_BOOL = 4,
    GC_VALUE_BLEND = 5,
    GC_VALUE_SYSTEM_TYPE = 6,
    GC_VALUE_EMITTER_TYPE = 7,
};

// A converted property value: the number in `number` (float kind) or
// `integer` (every other kind but string), the text in `text`.
struct GcPsysValue {
    uint32_t kind = GC_VALUE_FLOAT;
    float number = 0.0f;
    uint32_t integer = 0;
    CGeString text;
};

// The properties in the order SetProperty compares them.
enum GcPsysPropertyId : uint32_t {
    GC_P_PARTICLE_COUNT,
    GC_P_IMAGE,
    GC_P_FRAMES_TOTAL,
    GC_P_FRAMES_PER_LINE,
    GC_P_ANIMATED,
    GC_P_SYNCHRONIZED,
    GC_P_PRECALCULATED,
    GC_P_INCREASABLE,
    GC_P_BORN_COUNT,
    GC_P_BORN_GRANULARITY,
    GC_P_SPEED_COLINEAR,
    GC_P_LOD_AUTO,
    GC_P_LOD_DISTANCE,
    GC_P_COLOUR1,
    GC_P_COLOUR2,
    GC_P_BLEND,
    GC_P_SECOND_BLEND,
    GC_P_SYSTEM_TYPE,
    GC_P_EMITTER_TYPE,
    GC_P_EMITTER_W,
    GC_P_EMITTER_H,
    GC_P_EMITTER_D,
    GC_P_MIN_SIZE_X,
    GC_P_MIN_SIZE_Y,
    GC_P_MIN_SIZE_Z,
    GC_P_MAX_SIZE_X,
    GC_P_MAX_SIZE_Y,
    GC_P_MAX_SIZE_Z,
    GC_P_DIRECTION_X,
    GC_P_DIRECTION_Y,
    GC_P_DIRECTION_Z,
    GC_P_OUTER_ANGLE,
    GC_P_INNER_ANGLE,
    GC_P_MIN_SPEED,
    GC_P_MAX_SPEED,
    GC_P_SPIN_RANGE,
    GC_P_SPIN_AXIS_X,
    GC_P_SPIN_AXIS_Y,
    GC_P_SPIN_AXIS_Z,
    GC_P_MIN_LIFE,
    GC_P_MAX_LIFE,
    GC_P_APPEAR_TIME,
    GC_P_TIME_SCALE,
    GC_P_ANIMATION_SPEED,
    GC_P_X,
    GC_P_Y,
    GC_P_Z,
    GC_P_PIVOT_X,
    GC_P_PIVOT_Y,
    GC_P_NORMAL_X,
    GC_P_NORMAL_Y,
    GC_P_NORMAL_Z,
    GC_P_COUNT,
};

struct GcPsysPropertyInfo {
    const char16_t* name;
    GcPsysValueKind kind;
};

// The row of a property id.
const GcPsysPropertyInfo& GcPsysProperty(uint32_t id);
// The id of a wide property name, or GC_P_COUNT.
uint32_t FindPsysProperty(const char16_t* name);
// Converts a property's text by its kind.
GcPsysValue ConvertPsysValue(GcPsysValueKind kind, const CGeWString& text);

// A system's "PROPERTY" entries: wide name to wide text, kept in the order of
// the names' UTF-16 units; setting a name again replaces its text.
class CGcPsysPropertyMap {
public:
    struct Entry {
        CGeWString name;
        CGeWString text;
    };

    void Set(const CGeWString& name, const CGeWString& text);
    // The entry of a name, or null.
    const Entry* Find(const char16_t* name) const;
    uint32_t Count() const { return entries.Count(); }
    const Entry& operator[](uint32_t i) const { return entries[i]; }

private:
    CGeArray<Entry> entries;
};
