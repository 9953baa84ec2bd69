// Little-endian field access for the image readers. Callers check the bounds.
#pragma once

#include <cstdint>

inline uint32_t ReadLe16(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
}

inline uint32_t ReadLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// The first word of a file, 0 when the file is shorter than a word.
inline uint32_t FirstWord(const uint8_t* data, uint32_t size)
{
    return data && size >= 4 ? ReadLe32(data) : 0;
}
