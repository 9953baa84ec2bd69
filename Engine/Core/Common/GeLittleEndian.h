// Little-endian fields of our file formats (packs, images, walk grids), read
// byte by byte so that neither the host's byte order nor the field's alignment
// matters. Callers check the bounds.
#pragma once

#include <cstdint>
#include <cstring>

inline uint32_t ReadLe16(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

inline uint32_t ReadLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// Two's complement, as the formats store signed words.
inline int32_t ReadLeI32(const uint8_t* p)
{
    const uint32_t word = ReadLe32(p);
    int32_t value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}

// An IEEE single, bit for bit (NaNs and infinities included: the caller judges them).
inline float ReadLeF32(const uint8_t* p)
{
    const uint32_t word = ReadLe32(p);
    float value;
    std::memcpy(&value, &word, sizeof value);
    return value;
}
