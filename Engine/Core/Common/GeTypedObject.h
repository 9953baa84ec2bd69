// The type word that objects carry for the dispatcher's type filters.
#pragma once

#include <cstdint>

// Derived classes hold this as a virtual base; the most-derived constructor
// writes the word. Classes with sub-types keep the type identifier in the low
// 16 bits and the sub-type in the high 16 bits; comparisons use the whole word.
class CGeTypedObject {
public:
    static constexpr uint32_t kUntyped = 0xFFFF;

    uint32_t typeId = kUntyped;

    uint32_t GetTypeId() const { return typeId; }
    void SetTypeId(uint32_t id) { typeId = id; }
};
