// The two IDCTs against a double-precision reference, the AAN scale table,
// the fast path's fallback for wide quantisation tables, and streams that
// libjpeg-turbo writes in forms the decoder refuses.
#include "JpegTestSupport.h"

#include "Engine/Core/Gm/GmJpegDecoder.h"
#include "Engine/Core/Gm/GmJpegIdct.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

// kCosine[i][u] = cos((2i + 1) u pi / 16)
const struct CosineTable {
    double values[8][8];
    CosineTable()
    {
        for (int i = 0; i < 8; i++)
            for (int u = 0; u < 8; u++)
                values[i][u] = std::cos((2 * i + 1) * u * M_PI / 16);
    }
    const double* operator[](int i) const { return values[i]; }
} kCosine;

struct Block {
    int16_t coefficients[64];
    uint16_t quant[64];
};

// Forward DCT of a random 8x8 picture, quantised with a table whose values
// grow with frequency (q = 1 gives the picture's exact transform).
Block MakeBlock(uint32_t& state, int quantStep)
{
    auto next = [&state]() {
        state = state * 214013u + 2531011u;
        return (int)((state >> 16) & 0x7FFF);
    };
    double pixels[64];
    int base = next() % 256;
    for (double& p : pixels)
        p = std::min(255, std::max(0, base + next() % 161 - 80)) - 128.0;
    Block block;
    for (int v = 0; v < 8; v++) {
        for (int u = 0; u < 8; u++) {
            double sum = 0;
            for (int y = 0; y < 8; y++)
                for (int x = 0; x < 8; x++)
                    sum += pixels[y * 8 + x] * kCosine[x][u] * kCosine[y][v];
            double cu = u ? 1.0 : M_SQRT1_2;
            double cv = v ? 1.0 : M_SQRT1_2;
            int q = 1 + (u + v) * quantStep;
            block.quant[v * 8 + u] = (uint16_t)q;
            block.coefficients[v * 8 + u] = (int16_t)std::lround(0.25 * cu * cv * sum / q);
        }
    }
    return block;
}

void ReferenceIdct(const Block& block, uint8_t* out)
{
    for (int y = 0; y < 8; y++) {
        for (int x = 0; x < 8; x++) {
            double sum = 0;
            for (int v = 0; v < 8; v++) {
                for (int u = 0; u < 8; u++) {
                    double cu = u ? 1.0 : M_SQRT1_2;
                    double cv = v ? 1.0 : M_SQRT1_2;
                    double value = (double)block.coefficients[v * 8 + u] * block.quant[v * 8 + u];
                    sum += cu * cv * value * kCosine[x][u] * kCosine[y][v];
                }
            }
            long sample = std::lround(sum / 4 + 128);
            out[y * 8 + x] = (uint8_t)std::min(255L, std::max(0L, sample));
        }
    }
}

int WorstError(bool fast, int quantStep, double* meanError)
{
    uint32_t state = 99;
    int worst = 0;
    long total = 0;
    const int kBlocks = 2000;
    for (int i = 0; i < kBlocks; i++) {
        Block block = MakeBlock(state, quantStep);
        uint8_t expected[64];
        uint8_t actual[64];
        ReferenceIdct(block, expected);
        if (fast) {
            uint16_t scaled[64];
            EXPECT_TRUE(JpegScaleQuantTable(block.quant, scaled));
            JpegIdctFast(block.coefficients, scaled, actual, 8);
        } else {
            JpegIdctInteger(block.coefficients, block.quant, actual, 8);
        }
        for (int k = 0; k < 64; k++) {
            int error = abs((int)expected[k] - (int)actual[k]);
            worst = std::max(worst, error);
            total += error;
        }
    }
    *meanError = (double)total / (kBlocks * 64);
    return worst;
}

TEST(GmJpegIdct, IntegerIsWithinOneOfTheExactTransform)
{
    for (int step : { 0, 2, 6 }) {
        double mean = 0;
        EXPECT_LE(WorstError(false, step, &mean), 1) << step;
        EXPECT_LT(mean, 0.1) << step;
    }
}

// The vector form of the integer IDCT sums the same products exactly.
TEST(GmJpegIdct, IntegerVectorFormEqualsTheScalarForm)
{
    uint32_t state = 5;
    for (int i = 0; i < 3000; i++) {
        Block block = MakeBlock(state, i % 7);
        uint8_t vector[64];
        uint8_t scalar[64];
        JpegIdctInteger(block.coefficients, block.quant, vector, 8);
        JpegIdctIntegerScalar(block.coefficients, block.quant, scalar, 8);
        ASSERT_EQ(0, memcmp(vector, scalar, 64)) << i;
    }
}

TEST(GmJpegIdct, FastIsWithinThreeOfTheExactTransform)
{
    for (int step : { 2, 6 }) {
        double mean = 0;
        EXPECT_LE(WorstError(true, step, &mean), 3) << step;
        EXPECT_LT(mean, 0.35) << step;
    }
}

// Scaled values need two fractional bits of headroom: a quantisation value
// of 1 at the highest frequency scales to 0.3, which would drop the
// coefficient, so such tables are left to the integer IDCT.
TEST(GmJpegIdct, FineQuantisationIsNotForTheFastIdct)
{
    uint16_t quant[64];
    uint16_t scaled[64];
    for (uint16_t& q : quant)
        q = 1;
    EXPECT_FALSE(JpegScaleQuantTable(quant, scaled));
    // The smallest AAN factor (1247, the highest frequency) decides.
    for (uint16_t& q : quant)
        q = 11; // 11 * 1247 / 4096 rounds to 3
    EXPECT_FALSE(JpegScaleQuantTable(quant, scaled));
    for (uint16_t& q : quant)
        q = 12; // rounds to 4
    EXPECT_TRUE(JpegScaleQuantTable(quant, scaled));
    EXPECT_EQ(4, scaled[63]);
}

// Blocks with only a DC term take a shortcut in both IDCTs.
TEST(GmJpegIdct, DcOnlyBlocksAreFlat)
{
    for (int dc = -130; dc <= 130; dc++) {
        Block block = {};
        for (uint16_t& q : block.quant)
            q = 16;
        block.coefficients[0] = (int16_t)dc;
        uint8_t expected[64];
        ReferenceIdct(block, expected);
        uint16_t scaled[64];
        ASSERT_TRUE(JpegScaleQuantTable(block.quant, scaled));
        uint8_t integer[64];
        uint8_t fast[64];
        JpegIdctInteger(block.coefficients, block.quant, integer, 8);
        JpegIdctFast(block.coefficients, scaled, fast, 8);
        for (int k = 0; k < 64; k++) {
            ASSERT_EQ(integer[0], integer[k]);
            ASSERT_EQ(fast[0], fast[k]);
        }
        EXPECT_LE(abs(integer[0] - expected[0]), 1) << dc;
        EXPECT_LE(abs(fast[0] - expected[0]), 1) << dc;
    }
}

TEST(GmJpegIdct, ExtremeCoefficientsStayInRange)
{
    // The largest values a corrupt stream can produce: no overflow (UBSan),
    // and every sample clamped.
    Block block;
    for (int i = 0; i < 64; i++) {
        block.coefficients[i] = (int16_t)(i & 1 ? -32768 : 32767);
        block.quant[i] = 65535;
    }
    uint8_t out[64];
    JpegIdctInteger(block.coefficients, block.quant, out, 8);
    for (uint16_t& q : block.quant)
        q = 1; // fits the vector lanes, overflows its sums
    JpegIdctInteger(block.coefficients, block.quant, out, 8);
    for (uint16_t& q : block.quant)
        q = 65535;
    uint16_t scaled[64];
    EXPECT_FALSE(JpegScaleQuantTable(block.quant, scaled));
    for (uint16_t& q : block.quant)
        q = 255;
    ASSERT_TRUE(JpegScaleQuantTable(block.quant, scaled));
    JpegIdctFast(block.coefficients, scaled, out, 8);
}

TEST(GmJpegIdct, AanScalesFollowTheCosineFactors)
{
    const uint16_t* scales = JpegAanScales();
    EXPECT_EQ(16384, scales[0]);
    EXPECT_EQ(22725, scales[1]);
    EXPECT_EQ(22725, scales[8]);
    EXPECT_EQ(31521, scales[9]);
    EXPECT_EQ(1247, scales[63]);
    uint16_t quant[64];
    uint16_t scaled[64];
    for (uint16_t& q : quant)
        q = 16;
    ASSERT_TRUE(JpegScaleQuantTable(quant, scaled));
    EXPECT_EQ(64, scaled[0]); // 16 * 16384 / 4096
    EXPECT_EQ(89, scaled[1]); // 16 * 22725 / 4096 = 88.8
    EXPECT_EQ(5, scaled[63]); // 16 * 1247 / 4096 = 4.9
}

// Tables the fast IDCT cannot carry take the integer IDCT even with the fast
// setting, so they decode like libjpeg-turbo's slow IDCT: quality 1 without
// the baseline limit (16-bit values too large for the fast lanes) and
// quality 97 (values too fine for its two fractional bits).
TEST(GmJpegIdctFastPath, TablesItCannotCarryTakeTheIntegerIdct)
{
    TestImage image = MakeTestImage(48, 32, 3);
    for (int quality : { 1, 97 }) {
        EncodeOptions options;
        options.quality = quality;
        options.lumaH = 2;
        options.lumaV = 2;
        std::vector<uint8_t> file = EncodeJpegWideQuant(image, options);
        TestImage reference = DecodeWithLibjpeg(file, false);
        OurDecode ours = DecodeWithOurs(file, true);
        ASSERT_EQ(0, ours.error);
        EXPECT_LE(MaxDifference(reference, ours.image), 1) << quality;
    }
}

TEST(GmJpegIdctLibjpegStreams, CmykAndArithmeticAreRefused)
{
    EncodeOptions options;
    std::vector<uint8_t> cmyk = EncodeJpeg(MakeTestImage(16, 16, 4), options);
    EXPECT_EQ(kJpegUnsupportedColorspace, DecodeWithOurs(cmyk, false).error);
    options.arithmetic = true;
    std::vector<uint8_t> arithmetic = EncodeJpeg(MakeTestImage(16, 16, 3), options);
    EXPECT_EQ(kJpegNoArithmeticSupport, DecodeWithOurs(arithmetic, false).error);
}

} // namespace
