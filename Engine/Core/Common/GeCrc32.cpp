#include "Engine/Core/Common/GeCrc32.h"

#include <array>
#include <cstring>

namespace {

// The classic 256-entry table (row 0) and fifteen rows derived from it, which
// let the loop fold sixteen bytes per step ("slicing by 16") instead of one.
// Every pack block is checked with this, so its speed bounds pack reading.
constexpr int kRows = 16;

struct Crc32Table {
    std::array<std::array<uint32_t, 256>, kRows> rows{};

    constexpr Crc32Table()
    {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t value = i;
            for (int bit = 0; bit < 8; ++bit)
                value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
            rows[0][i] = value;
        }
        for (uint32_t i = 0; i < 256; ++i) {
            for (int row = 1; row < kRows; ++row)
                rows[row][i] = (rows[row - 1][i] >> 8) ^ rows[0][rows[row - 1][i] & 0xFF];
        }
    }
};

constexpr Crc32Table kCrc32Table;

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the sixteen-byte step reads little-endian words");

// Folds the four bytes of word through rows top .. top - 3.
inline uint32_t FoldWord(uint32_t word, int top)
{
    const auto& t = kCrc32Table.rows;
    return t[top][word & 0xFF] ^ t[top - 1][(word >> 8) & 0xFF] ^ t[top - 2][(word >> 16) & 0xFF] ^ t[top - 3][word >> 24];
}

}  // namespace

uint32_t Crc32(uint32_t count, const void* bytes)
{
    if (count == 0)
        return 0;
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    uint32_t crc = 0xFFFFFFFFu;
    for (; count >= 16; count -= 16, p += 16) {
        uint32_t words[4];
        memcpy(words, p, 16);
        crc = FoldWord(words[0] ^ crc, 15) ^ FoldWord(words[1], 11) ^ FoldWord(words[2], 7) ^ FoldWord(words[3], 3);
    }
    for (; count > 0; --count, ++p)
        crc = kCrc32Table.rows[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    return ~crc;
}
