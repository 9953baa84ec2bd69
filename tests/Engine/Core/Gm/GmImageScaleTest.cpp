#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

void MakeImage(CGmImage& image, uint32_t width, uint32_t height, uint32_t format, uint32_t pitch)
{
    image.width = width;
    image.height = height;
    image.format = format;
    image.pitch = pitch;
}

void FillWords(CGmImage& image, const std::vector<uint32_t>& words)
{
    ASSERT_TRUE(image.MakeRaw(image.width, image.height, image.format, image.pitch));
    memcpy(image.data, words.data(), words.size() * 4);
}

uint32_t WordAt(const CGmImage& image, uint32_t x, uint32_t y)
{
    uint32_t value;
    memcpy(&value, image.data + y * image.pitch + x * 4, 4);
    return value;
}

}  // namespace

TEST(GmImageScale, LerpColorArgbFollowsItsIntegerFormula)
{
    uint32_t out = 0;
    LerpColorArgb(0, 0x11223344, 0xAABBCCDD, &out);
    EXPECT_EQ(out, 0x11223344u);
    LerpColorArgb(255, 0x11223344, 0xAABBCCDD, &out);
    EXPECT_EQ(out, 0xAABBCCDDu);
    // Only the low byte of t counts.
    LerpColorArgb(0x1FF, 0x11223344, 0xAABBCCDD, &out);
    EXPECT_EQ(out, 0xAABBCCDDu);
    // Half way from 0 to 255: (255 + 128 * 256 - 1 ... ) per channel:
    // ((1 * 128 - 1) >> 8) + ((129 * 256 - 1) >> 8) = 0 + 128.
    LerpColorArgb(128, 0x00000000, 0xFFFFFFFF, &out);
    EXPECT_EQ(out, 0x80808080u);
    // 255 to 255 half way: (255 * 128 ... ) = 127 + 128 = 255, no overflow.
    LerpColorArgb(128, 0xFFFFFFFF, 0xFFFFFFFF, &out);
    EXPECT_EQ(out, 0xFFFFFFFFu);
    // Saturation: t = 1 from 255 to 255 gives 254 + 1 = 255.
    LerpColorArgb(1, 0xFF00FF00, 0xFF00FF00, &out);
    EXPECT_EQ(out, 0xFF00FF00u);
}

TEST(GmImageScale, PixelConversionsToAndFromArgb)
{
    const struct {
        uint32_t format;
        uint32_t pixel;
        uint32_t argb;
        uint32_t back;
    } cases[] = {
        {GM_FMT_R8G8B8, 0x123456, 0xFF123456, 0x123456},
        {GM_FMT_X8R8G8B8, 0x7F123456, 0xFF123456, 0x123456},
        {GM_FMT_A8R8G8B8, 0x7F123456, 0x7F123456, 0x7F123456},
        {GM_FMT_R5G6B5, 0xFFFF, 0xFFF8FCF8, 0xFFFF},
        {GM_FMT_R5G6B5, 0xF800, 0xFFF80000, 0xF800},
        {GM_FMT_X1R5G5B5, 0x7C1F, 0xFFF800F8, 0xFC1F},
        {GM_FMT_A1R5G5B5, 0x0000, 0x00000000, 0x0000},
        {GM_FMT_A1R5G5B5, 0x03E0, 0xFF00F800, 0x83E0},
        {GM_FMT_A4R4G4B4, 0x8F0A, 0x80F000A0, 0x8F0A},
        {GM_FMT_X4R4G4B4, 0x0F0A, 0xFFF000A0, 0xFF0A},
        {GM_FMT_A8, 0x5A, 0x5A5A5A5A, 0x5A5A5A5A},
        {GM_FMT_DXT1, 0x1234, 0, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PixelToArgb(c.format, c.pixel), c.argb) << "format " << c.format;
        EXPECT_EQ(ArgbToPixel(c.format, c.argb), c.back) << "format " << c.format;
    }
    EXPECT_EQ(ArgbToPixel(GM_FMT_A8, 0x01020304), 0x01020304u);
}

TEST(GmImageScale, NearestDoublesPixelsAndPadsRows)
{
    CGmImage source;
    MakeImage(source, 2, 2, GM_FMT_A8R8G8B8, 8);
    FillWords(source, {1, 2, 3, 4});
    CGmImage destination;
    MakeImage(destination, 4, 3, GM_FMT_A8R8G8B8, 24);  // two padding pixels per row
    ASSERT_TRUE(CGmImage::ScaleNearest(destination, source));
    const uint32_t expected[3][6] = {{1, 1, 2, 2, 2, 2}, {1, 1, 2, 2, 2, 2}, {3, 3, 4, 4, 4, 4}};
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 6; ++x)
            EXPECT_EQ(WordAt(destination, x, y), expected[y][x]) << x << "," << y;

    CGmImage stretched;
    MakeImage(stretched, 1, 1, GM_FMT_A8R8G8B8, 4);
    ASSERT_TRUE(CGmImage::Stretch(stretched, source));
    EXPECT_EQ(WordAt(stretched, 0, 0), 1u);
}

TEST(GmImageScale, NearestWorksOnAnyPixelSize)
{
    CGmImage source;
    MakeImage(source, 3, 1, GM_FMT_R8G8B8, 9);
    ASSERT_TRUE(source.MakeRaw(3, 1, GM_FMT_R8G8B8, 9));
    const uint8_t pixels[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    memcpy(source.data, pixels, 9);
    CGmImage destination;
    MakeImage(destination, 6, 1, GM_FMT_R8G8B8, 18);
    ASSERT_TRUE(CGmImage::ScaleNearest(destination, source));
    const uint8_t expected[18] = {1, 2, 3, 1, 2, 3, 4, 5, 6, 4, 5, 6, 7, 8, 9, 7, 8, 9};
    EXPECT_EQ(0, memcmp(destination.data, expected, 18));
}

TEST(GmImageScale, BilinearBlendsNeighboursAndClampsAtTheEdge)
{
    CGmImage source;
    MakeImage(source, 2, 1, GM_FMT_A8R8G8B8, 8);
    FillWords(source, {0x00000000, 0xFFFFFFFF});
    CGmImage destination;
    MakeImage(destination, 4, 1, GM_FMT_A8R8G8B8, 16);
    ASSERT_TRUE(CGmImage::ScaleBilinear(destination, source));
    // Positions 0, 0.5, 1, 1.5: t = 0, 127, 0 (next pixel is the edge), 127.
    uint32_t half = 0;
    LerpColorArgb(127, 0x00000000, 0xFFFFFFFF, &half);
    EXPECT_EQ(WordAt(destination, 0, 0), 0u);
    EXPECT_EQ(WordAt(destination, 1, 0), half);
    EXPECT_EQ(WordAt(destination, 2, 0), 0xFFFFFFFFu);
    EXPECT_EQ(WordAt(destination, 3, 0), 0xFFFFFFFFu);

    // 5-6-5 pixels go through A8R8G8B8 and back.
    CGmImage source565;
    MakeImage(source565, 2, 2, GM_FMT_R5G6B5, 4);
    ASSERT_TRUE(source565.MakeRaw(2, 2, GM_FMT_R5G6B5, 4));
    const uint16_t pixels[4] = {0xF800, 0xF800, 0xF800, 0xF800};
    memcpy(source565.data, pixels, 8);
    CGmImage out565;
    MakeImage(out565, 3, 3, GM_FMT_R5G6B5, 6);
    ASSERT_TRUE(CGmImage::ScaleBilinear(out565, source565));
    for (uint32_t i = 0; i < 9; ++i) {
        uint16_t p;
        memcpy(&p, out565.data + i * 2, 2);
        EXPECT_EQ(p, 0xF800) << i;
    }
}

TEST(GmImageScale, BilinearFloatInterpolatesValues)
{
    CGmImage source;
    MakeImage(source, 2, 2, 0, 8);
    ASSERT_TRUE(source.MakeRaw(2, 2, 0, 8));
    const float values[4] = {0.0f, 1.0f, 2.0f, 3.0f};
    memcpy(source.data, values, sizeof(values));
    CGmImage destination;
    MakeImage(destination, 4, 4, 0, 16);
    ASSERT_TRUE(CGmImage::ScaleBilinearFloat(destination, source));
    auto at = [&](uint32_t x, uint32_t y) {
        float v;
        memcpy(&v, destination.data + y * 16 + x * 4, 4);
        return v;
    };
    EXPECT_FLOAT_EQ(at(0, 0), 0.0f);
    EXPECT_FLOAT_EQ(at(1, 0), 0.5f);
    EXPECT_FLOAT_EQ(at(1, 1), 1.5f);
    EXPECT_FLOAT_EQ(at(3, 3), 3.0f);
}

TEST(GmImageScale, UnusableImagesAreRefused)
{
    CGmImage source;
    MakeImage(source, 2, 2, GM_FMT_A8R8G8B8, 8);
    CGmImage destination;
    MakeImage(destination, 2, 2, GM_FMT_A8R8G8B8, 8);
    EXPECT_FALSE(CGmImage::ScaleNearest(destination, source)) << "source without pixels";
    FillWords(source, {1, 2, 3, 4});
    MakeImage(destination, 2, 2, GM_FMT_R5G6B5, 4);
    EXPECT_FALSE(CGmImage::ScaleNearest(destination, source)) << "pixel sizes differ";
    MakeImage(destination, 4, 2, GM_FMT_A8R8G8B8, 8);
    EXPECT_FALSE(CGmImage::ScaleBilinear(destination, source)) << "rows narrower than the width";
    MakeImage(destination, 0, 2, GM_FMT_A8R8G8B8, 8);
    EXPECT_FALSE(CGmImage::Stretch(destination, source)) << "empty destination";
    source.pitch = 4;
    MakeImage(destination, 2, 2, GM_FMT_A8R8G8B8, 8);
    EXPECT_FALSE(CGmImage::Stretch(destination, source)) << "source rows narrower than its width";
}
