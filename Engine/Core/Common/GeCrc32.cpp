#include "Engine/Core/Common/GeCrc32.h"

#include <array>
#include <cstring>

namespace {

// The classic 256-entry table (row 0) and seven rows derived from it, which
// let the loop fold eight bytes per step ("slicing by 8") instead of one.
// Every pack block is checked with this, so its speed bounds pack reading.
struct Crc32Table {
    std::array<std::array<uint32_t, 256>, 8> rows{};

    constexpr Crc32Table()
    {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t value = i;
            for (int bit = 0; bit < 8; ++bit)
                value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
            rows[0][i] = value;
        }
        for (uint32_t i = 0; i < 256; ++i) {
            for (int row = 1; row < 8; ++row)
                rows[row][i] = (rows[row - 1][i] >> 8) ^ rows[0][rows[row - 1][i] & 0xFF];
        }
    }
};

constexpr Crc32Table kCrc32Table;

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the eight-byte step reads little-endian words");

}  // namespace

uint32_t Crc32(uint32_t count, const void* bytes)
{
    if (count == 0)
        return 0;
    const auto& t = kCrc32Table.rows;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    uint32_t crc = 0xFFFFFFFFu;
    for (; count >= 8; count -= 8, p += 8) {
        uint32_t low, high;
        memcpy(&low, p, 4);
        memcpy(&high, p + 4, 4);
        low ^= crc;
        crc = t[7][low & 0xFF] ^ t[6][(low >> 8) & 0xFF] ^ t[5][(low >> 16) & 0xFF] ^ t[4][low >> 24] ^
              t[3][high & 0xFF] ^ t[2][(high >> 8) & 0xFF] ^ t[1][(high >> 16) & 0xFF] ^ t[0][high >> 24];
    }
    for (; count > 0; --count, ++p)
        crc = t[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
