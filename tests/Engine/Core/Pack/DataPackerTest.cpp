#include "Engine/Core/Pack/DataPacker.h"

#include "Engine/Core/Common/GeCrc32.h"
#include "Engine/Core/Pack/PackScrambler.h"
#include "tests/Engine/Core/Pack/PackFixture.h"
#include "tests/Support/ErrorBoxRecorder.h"

#include <cstdlib>
#include <gtest/gtest.h>

static std::string Unpacked(std::vector<uint8_t> block, bool* ok)
{
    uint32_t length = static_cast<uint32_t>(block.size());
    uint8_t* data = DataPacker::Unpack(block.data(), length);
    *ok = data != nullptr;
    std::string bytes = data ? std::string(reinterpret_cast<char*>(data), length) : std::string();
    free(data);
    return bytes;
}

static void PutWord(uint8_t* at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<uint8_t>(value >> (8 * i));
}

// Rewrites the unpacked length U inside a block, keeping it well formed.
static void SetUnpackedLength(std::vector<uint8_t>& block, uint32_t unpacked)
{
    size_t body = block.size() - 8;
    uint32_t seed = block[body] | block[body + 1] << 8 | block[body + 2] << 16 | static_cast<uint32_t>(block[body + 3]) << 24;
    ScramblePackBody(block.data(), body, seed);
    PutWord(block.data() + body - 4, unpacked);
    ScramblePackBody(block.data(), body, seed);
}

TEST(DataPacker, UnpacksWhatTheWriterPacked)
{
    std::string text;
    for (int i = 0; i < 2000; ++i)
        text += "line " + std::to_string(i % 37) + " of the pack\n";
    for (const std::string& bytes : {std::string(), std::string("x"), text}) {
        bool ok = false;
        EXPECT_EQ(Unpacked(CRawPack::Block(bytes), &ok), bytes);
        EXPECT_TRUE(ok);
    }
}

TEST(DataPacker, ScramblingHidesTheStreamAndUndoesItself)
{
    std::vector<uint8_t> bytes(37, 0);
    ScramblePackBody(bytes.data(), bytes.size(), 1234);
    EXPECT_NE(bytes, std::vector<uint8_t>(37, 0));
    std::vector<uint8_t> other(37, 0);
    ScramblePackBody(other.data(), other.size(), 1235);
    EXPECT_NE(bytes, other);
    ScramblePackBody(bytes.data(), bytes.size(), 1234);
    EXPECT_EQ(bytes, std::vector<uint8_t>(37, 0));
}

TEST(DataPacker, RefusesDamagedBlocks)
{
    CErrorBoxRecorder boxes;
    const std::string text(5000, 'q');
    struct Case {
        const char* what;
        void (*damage)(std::vector<uint8_t>&);
        bool crcMessage;
    } cases[] = {
        {"flipped stream byte", [](std::vector<uint8_t>& b) { b[1] ^= 0x40; }, true},
        {"flipped CRC word", [](std::vector<uint8_t>& b) { b[b.size() - 1] ^= 1; }, true},
        {"wrong seed", [](std::vector<uint8_t>& b) { b[b.size() - 8] ^= 1; }, true},
        {"U larger than the output", [](std::vector<uint8_t>& b) { SetUnpackedLength(b, 5001); }, false},
        {"U smaller than the output", [](std::vector<uint8_t>& b) { SetUnpackedLength(b, 4999); }, false},
        {"U beyond anything LZO can make", [](std::vector<uint8_t>& b) { SetUnpackedLength(b, 0xFFFFFFF0u); }, false},
        {"shorter than the trailer", [](std::vector<uint8_t>& b) { b.resize(11); }, false},
    };
    for (const Case& c : cases) {
        boxes.Messages().clear();
        std::vector<uint8_t> block = CRawPack::Block(text);
        c.damage(block);
        bool ok = true;
        Unpacked(block, &ok);
        EXPECT_FALSE(ok) << c.what;
        EXPECT_EQ(boxes.Saw("CRC32 not equal!"), c.crcMessage) << c.what;
    }
}

TEST(DataPacker, RefusesAStreamThatIsNotLzoEvenWithAMatchingCrc)
{
    // A body of junk with a correct checksum over it: only the bounded
    // decompressor stands between it and the output buffer.
    std::vector<uint8_t> block(64 + 12);
    for (size_t i = 0; i < 64; ++i)
        block[i] = static_cast<uint8_t>(i * 7 + 200);
    PutWord(block.data() + 64, 100000);
    uint32_t crc = Crc32(64, block.data());
    ScramblePackBody(block.data(), 68, 9);
    PutWord(block.data() + 68, 9);
    PutWord(block.data() + 72, crc);
    bool ok = true;
    Unpacked(block, &ok);
    EXPECT_FALSE(ok);
}
