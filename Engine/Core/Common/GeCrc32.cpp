#include "Engine/Core/Common/GeCrc32.h"

#include <array>

namespace {

struct Crc32Table {
    std::array<uint32_t, 256> entries{};

    constexpr Crc32Table()
    {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t value = i;
            for (int bit = 0; bit < 8; ++bit)
                value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
            entries[i] = value;
        }
    }
};

constexpr Crc32Table kCrc32Table;

}  // namespace

uint32_t Crc32(uint32_t count, const void* bytes)
{
    if (count == 0)
        return 0;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    uint32_t crc = 0xFFFFFFFFu;
    for (uint32_t i = 0; i < count; ++i)
        crc = kCrc32Table.entries[(crc ^ p[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
