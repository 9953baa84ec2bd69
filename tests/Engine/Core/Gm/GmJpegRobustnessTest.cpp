// Damaged streams: cut short, bytes flipped, random mutations. Each must give
// an error code or decode; none may crash, hang or touch memory it does not
// own (the debug build runs these under ASan and UBSan).
#include "JpegTestSupport.h"

#include "Engine/Core/Gm/GmJpegDecoder.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

typedef std::vector<uint8_t> Bytes;

// Our own generator, so that every run mutates the same way.
struct Random {
    uint32_t state;
    explicit Random(uint32_t seed) : state(seed) {}
    int Next() // 0..32767
    {
        state = state * 214013u + 2531011u;
        return (int)((state >> 16) & 0x7FFF);
    }
    int Below(int n) { return (int)(((int64_t)Next() << 15 | Next()) % n); }
};

struct Sample {
    Bytes file;
    bool sequentialWithoutRestarts;
};

Sample MakeSample(int lumaH, int lumaV, bool progressive, int restartMcus, int channels = 3)
{
    EncodeOptions options;
    options.lumaH = lumaH;
    options.lumaV = lumaV;
    options.progressive = progressive;
    options.restartMcus = restartMcus;
    options.quality = 75;
    return { EncodeJpeg(MakeTestImage(37, 29, channels, 7), options), !progressive && restartMcus == 0 };
}

std::vector<Sample> Samples()
{
    return {
        MakeSample(2, 2, false, 0),
        MakeSample(1, 1, false, 2),
        MakeSample(2, 1, true, 0),
        MakeSample(1, 2, true, 3),
        MakeSample(1, 1, false, 0, 1),
        MakeSample(1, 1, true, 0, 1),
    };
}

// Where the first scan's entropy-coded data begins.
size_t ScanDataOffset(const Bytes& file)
{
    for (size_t i = 0; i + 3 < file.size(); i++) {
        if (file[i] == 0xFF && file[i + 1] == 0xDA)
            return i + 2 + (file[i + 2] << 8 | file[i + 3]);
    }
    return file.size();
}

bool Finished(const OurDecode& result)
{
    return result.error != 0 || (result.lastRowResult == 1 && result.rows == result.image.height);
}

TEST(GmJpegDecoderRobustness, EveryTruncationEndsCleanly)
{
    for (const Sample& sample : Samples()) {
        const Bytes& file = sample.file;
        size_t dataStart = ScanDataOffset(file);
        for (size_t length = 0; length < file.size(); length += 1 + length / 64) {
            Bytes cut(file.begin(), file.begin() + length);
            for (bool fast : { false, true }) {
                OurDecode result = DecodeWithOurs(cut, fast);
                ASSERT_TRUE(Finished(result)) << length;
                // Cut inside the only scan of a sequential stream without
                // restarts: EOI fill stands in for the rest, all rows come.
                if (sample.sequentialWithoutRestarts && length >= dataStart) {
                    EXPECT_EQ(0, result.error) << length;
                }
            }
        }
    }
}

TEST(GmJpegDecoderRobustness, FlippedBytesGiveAnErrorOrAnImage)
{
    Random random(12345);
    for (const Sample& sample : Samples()) {
        const Bytes& file = sample.file;
        for (size_t i = 0; i < file.size(); i += 1 + i / 40) {
            Bytes damaged = file;
            damaged[i] ^= (uint8_t)(1 + random.Below(255));
            OurDecode result = DecodeWithOurs(damaged, (i & 1) != 0);
            ASSERT_TRUE(Finished(result)) << i;
        }
    }
}

// Random damage: changed bytes, inserted markers, removed runs, cut ends.
TEST(GmJpegDecoderRobustness, RandomMutationsNeverCrash)
{
    Random random(2026);
    std::vector<Sample> samples = Samples();
    const uint8_t kMarkers[] = { 0xD0, 0xD3, 0xD9, 0xDA, 0xC4, 0xDB, 0xDD, 0xC0, 0xC2, 0x00, 0xFF };
    int errors = 0;
    const int kRounds = 6000;
    for (int round = 0; round < kRounds; round++) {
        Bytes damaged = samples[round % samples.size()].file;
        int edits = 1 + random.Below(6);
        for (int e = 0; e < edits && !damaged.empty(); e++) {
            size_t at = (size_t)random.Below((int)damaged.size());
            switch (random.Below(5)) {
            case 0:
                damaged[at] = (uint8_t)random.Below(256);
                break;
            case 1:
                damaged.insert(damaged.begin() + at, { 0xFF, kMarkers[random.Below(sizeof(kMarkers))] });
                break;
            case 2:
                damaged.erase(damaged.begin() + at, damaged.begin() + std::min(damaged.size(), at + 1 + random.Below(16)));
                break;
            case 3:
                damaged.resize(at);
                break;
            default:
                damaged[at] ^= 0x80;
                break;
            }
        }
        OurDecode result = DecodeWithOurs(damaged, (round & 1) != 0);
        ASSERT_TRUE(Finished(result)) << round;
        errors += result.error != 0;
    }
    // Most damage is found; some lands where any bytes decode.
    EXPECT_GT(errors, kRounds / 10);
    EXPECT_LT(errors, kRounds);
}

} // namespace
