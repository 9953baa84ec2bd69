#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace imagefixture;

namespace {

// Distinct pixel bytes: pixel i of a bytesPerPixel image is i*16+1, i*16+2, ...
Bytes Numbered(uint32_t count, uint32_t bytesPerPixel)
{
    Bytes pixels(count * bytesPerPixel);
    for (uint32_t i = 0; i < pixels.size(); ++i)
        pixels[i] = static_cast<uint8_t>((i / bytesPerPixel) * 16 + i % bytesPerPixel + 1);
    return pixels;
}

// Checks every row of a decoded image against top-first source pixels,
// including the padding pixels that must repeat the row's last pixel.
void ExpectRows(const CGmImage& image, const Bytes& pixels, uint32_t width, uint32_t height, uint32_t bytesPerPixel)
{
    ASSERT_EQ(image.pitch, PaddedWidth(width) * bytesPerPixel);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = image.data + y * image.pitch;
        const uint8_t* expected = &pixels[y * width * bytesPerPixel];
        EXPECT_EQ(0, memcmp(row, expected, width * bytesPerPixel)) << "row " << y;
        for (uint32_t x = width; x < image.pitch / bytesPerPixel; ++x)
            EXPECT_EQ(0, memcmp(row + x * bytesPerPixel, expected + (width - 1) * bytesPerPixel, bytesPerPixel))
                << "padding of row " << y;
    }
}

}  // namespace

TEST(GmImageTga, PaddedWidthIsNextPowerOfTwoAtMostTwoWider)
{
    const uint32_t cases[][2] = {{1, 1}, {3, 4}, {30, 32}, {33, 35}, {100, 102}, {126, 128}, {128, 128}, {65, 67}, {65535, 65536}};
    for (const auto& c : cases)
        EXPECT_EQ(PaddedWidth(c[0]), c[1]) << c[0];
}

TEST(GmImageTga, BottomUpTwentyFourBitImageComesOutTopFirstAndPadded)
{
    TgaSpec spec;
    spec.width = 3;
    spec.height = 2;
    spec.bitsPerPixel = 24;
    spec.pixels = Numbered(6, 3);
    const Bytes file = MakeTga(spec);
    CGmImage image;
    ASSERT_TRUE(LoadImage(FileOver("pic.tga", file), image));
    EXPECT_EQ(image.kind, GM_IMAGE_RAW);
    EXPECT_EQ(image.format, GM_FMT_R8G8B8);
    EXPECT_EQ(image.pitch, 12u);
    ExpectRows(image, spec.pixels, 3, 2, 3);
}

// Every depth, both row orders, raw and run-length, with odd widths so that
// padding and packets across row ends are exercised.
TEST(GmImageTga, EveryDepthOrderAndCodingDecodesToTheSamePixels)
{
    const struct {
        uint32_t bits;
        uint32_t format;
    } depths[] = {{8, GM_FMT_A8}, {16, GM_FMT_X1R5G5B5}, {24, GM_FMT_R8G8B8}, {32, GM_FMT_A8R8G8B8}};
    for (const auto& depth : depths) {
        for (int topFirst = 0; topFirst < 2; ++topFirst) {
            for (int runLength = 0; runLength < 2; ++runLength) {
                TgaSpec spec;
                spec.width = 5;
                spec.height = 3;
                spec.bitsPerPixel = depth.bits;
                spec.topFirst = topFirst != 0;
                spec.runLength = runLength != 0;
                const uint32_t bytesPerPixel = depth.bits / 8;
                spec.pixels = Numbered(15, bytesPerPixel);
                // A run that crosses from the first row into the second.
                for (uint32_t i = 3; i < 8; ++i)
                    memcpy(&spec.pixels[i * bytesPerPixel], &spec.pixels[3 * bytesPerPixel], bytesPerPixel);
                if (spec.runLength)
                    spec.imageType = depth.bits == 8 ? 27 : 26;  // types 10 and 11 are not read
                const Bytes file = MakeTga(spec);
                CGmImage image;
                SCOPED_TRACE(testing::Message() << depth.bits << " bits, top first " << topFirst << ", rle "
                                                << runLength);
                ASSERT_TRUE(LoadImage(FileOver("a/b.TGA", file), image));
                EXPECT_EQ(image.format, depth.format);
                ExpectRows(image, spec.pixels, 5, 3, bytesPerPixel);
            }
        }
    }
}

TEST(GmImageTga, RecognitionNeedsTheNameAndATrueColourOrGreyType)
{
    TgaSpec spec;
    spec.width = 1;
    spec.height = 1;
    spec.pixels = Numbered(1, 4);
    const struct {
        const char* path;
        int type;
        bool tga;
    } cases[] = {
        {"x.tga", 2, true},      {"X.TGA", 3, true},   {"dir.tga/x", 2, true}, {"x.Tga", 2, false},
        {"x.png", 2, false},     {"x.tga", 1, false},  {"x.tga", 10, false},   {"x.tga", 11, false},
        {"x.tga", 9, false},     {"x.tga", 26, true},  {"x.tga", 0, false},
    };
    for (const auto& c : cases) {
        spec.imageType = c.type;
        const Bytes file = MakeTga(spec);
        EXPECT_EQ(IsTgaFile(FileOver(c.path, file)), c.tga) << c.path << " type " << c.type;
        EXPECT_EQ(DetectImageType(FileOver(c.path, file)), c.tga ? GM_IMAGE_TYPE_TGA : GM_IMAGE_TYPE_NONE);
    }
}

TEST(GmImageTga, UnsupportedDepthAndEmptyImagesAreRefused)
{
    for (uint32_t bits : {0u, 15u, 48u}) {
        TgaSpec spec;
        spec.width = 2;
        spec.height = 2;
        spec.bitsPerPixel = bits;
        Bytes file = MakeTga(spec);
        file.resize(file.size() + 64, 0);
        CGmImage image;
        EXPECT_FALSE(LoadImage(FileOver("x.tga", file), image)) << bits;
        EXPECT_EQ(image.format, GM_FMT_NONE);
        EXPECT_EQ(image.data, nullptr);
    }
    TgaSpec empty;
    empty.width = 0;
    empty.height = 4;
    CGmImage image;
    EXPECT_FALSE(LoadImage(FileOver("x.tga", MakeTga(empty)), image));
}

// A reload replaces the previous pixels and shape.
TEST(GmImageTga, ReadingAgainReplacesTheImage)
{
    TgaSpec big;
    big.width = 7;
    big.height = 5;
    big.pixels = Numbered(35, 4);
    TgaSpec small;
    small.width = 1;
    small.height = 1;
    small.bitsPerPixel = 8;
    small.pixels = {42};
    CGmImage image;
    ASSERT_TRUE(LoadImage(FileOver("big.tga", MakeTga(big)), image));
    ASSERT_TRUE(LoadImage(FileOver("small.tga", MakeTga(small)), image));
    EXPECT_EQ(image.width, 1u);
    EXPECT_EQ(image.format, GM_FMT_A8);
    EXPECT_EQ(image.data[0], 42);
}

// Files with an image-ID field or a colour map keep their pixels behind them.
TEST(GmImageTga, PixelsFollowTheIdFieldAndTheColourMap)
{
    TgaSpec spec;
    spec.width = 2;
    spec.height = 1;
    spec.bitsPerPixel = 24;
    spec.pixels = Numbered(2, 3);
    const Bytes plain = MakeTga(spec);
    const struct {
        const char* name;
        uint8_t idLength;
        uint8_t mapType;
        uint16_t mapEntries;
        uint8_t mapBits;
        size_t extraBytes;
    } cases[] = {
        {"id field", 5, 0, 0, 0, 5},
        {"colour map of 3 x 24 bits", 0, 1, 3, 24, 9},
        {"both, 15-bit map", 2, 1, 4, 15, 2 + 8},
        {"map entries without a map", 0, 0, 7, 32, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes file(plain.begin(), plain.begin() + 18);
        file[0] = c.idLength;
        file[1] = c.mapType;
        file[5] = c.mapEntries & 0xFF;
        file[6] = c.mapEntries >> 8;
        file[7] = c.mapBits;
        file.insert(file.end(), c.extraBytes, 0xEE);
        file.insert(file.end(), plain.begin() + 18, plain.end());
        CGmImage image;
        ASSERT_TRUE(LoadImage(FileOver("x.tga", file), image));
        ExpectRows(image, spec.pixels, 2, 1, 3);
        // The same header fields pointing past the end of the file.
        file.resize(18 + c.extraBytes - (c.extraBytes ? 1 : 0));
        EXPECT_FALSE(LoadImage(FileOver("x.tga", file), image));
    }
}
