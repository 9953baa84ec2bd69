#include "Engine/Core/Common/GeCrc32.h"
#include "Engine/Core/Common/GeRandom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Bit by bit, without a table: an independent statement of the same checksum.
uint32_t SlowCrc32(const std::vector<uint8_t>& bytes)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

TEST(GeCrc32, MatchesTheStandardCheckValues)
{
    const struct { const char* text; uint32_t crc; } cases[] = {
        {"123456789", 0xCBF43926u},
        {"a", 0xE8B7BE43u},
        {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Crc32(uint32_t(std::strlen(c.text)), c.text), c.crc) << c.text;
    EXPECT_EQ(Crc32(0, nullptr), 0u);
    EXPECT_EQ(Crc32(0, "ignored"), 0u);
}

TEST(GeCrc32, AgreesWithTheBitwiseFormOverEveryByteValue)
{
    std::vector<uint8_t> bytes;
    for (int round = 0; round < 3; ++round) {
        for (int value = 0; value < 256; ++value)
            bytes.push_back(uint8_t(value * (round + 1) + round));
        EXPECT_EQ(Crc32(uint32_t(bytes.size()), bytes.data()), SlowCrc32(bytes));
    }
}

TEST(GeCrc32, AgreesWithTheBitwiseFormAtEveryLengthAndAlignment)
{
    std::vector<uint8_t> bytes(80);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = uint8_t(i * 37 + 11);
    for (size_t start = 0; start < 8; ++start) {
        for (size_t length = 1; length <= 40; ++length) {
            std::vector<uint8_t> part(bytes.begin() + start, bytes.begin() + start + length);
            EXPECT_EQ(Crc32(uint32_t(length), bytes.data() + start), SlowCrc32(part)) << start << " " << length;
        }
    }
}

TEST(GeRandom, ReproducesTheCRuntimeSequence)
{
    GeSrand(1);
    const int expected[] = {41, 18467, 6334, 26500, 19169};
    for (int value : expected)
        EXPECT_EQ(GeRand(), value);

    GeSrand(1);  // a seed restarts the sequence
    EXPECT_EQ(GeRand(), 41);

    GeSrand(0);
    EXPECT_EQ(GeRand(), int((2531011u >> 16) & 0x7FFF));
}

TEST(GeRandom, StaysWithinRange)
{
    GeSrand(0xDEADBEEFu);
    int highest = 0;
    for (int i = 0; i < 100000; ++i) {
        const int value = GeRand();
        ASSERT_GE(value, 0);
        ASSERT_LE(value, kGeRandMax);
        highest = std::max(highest, value);
    }
    EXPECT_GT(highest, kGeRandMax - 100);
}

}  // namespace
