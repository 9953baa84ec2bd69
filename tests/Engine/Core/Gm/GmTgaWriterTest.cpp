#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTgaWriter.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace imagefixture;

namespace {

Bytes ReadBytes(const std::string& path)
{
    const std::string text = CTestTempDir::Read(path);
    return Bytes(text.begin(), text.end());
}

}  // namespace

TEST(GmTgaWriter, HeaderAndPixelsOfAThirtyTwoBitImage)
{
    CTestTempDir dir;
    CGmImage image;
    ASSERT_TRUE(image.MakeRaw(4, 2, GM_FMT_A8R8G8B8, 16));
    for (uint32_t i = 0; i < 32; ++i)
        image.data[i] = static_cast<uint8_t>(i);
    const std::string path = dir / "shot.tga";
    ASSERT_TRUE(WriteImageTga(image, path.c_str()));
    const Bytes file = ReadBytes(path);
    ASSERT_EQ(file.size(), 18u + 32u);
    const Bytes header = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 2, 0, 32, 0x20};
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 18), header);
    EXPECT_EQ(Bytes(file.begin() + 18, file.end()), Bytes(image.data, image.data + 32));
}

// Padded rows lose their padding; the loader reads the file back as the same
// pixels, top row first.
TEST(GmTgaWriter, PaddedRowsAreWrittenWithoutPaddingAndReadBack)
{
    CTestTempDir dir;
    for (uint32_t format : {GM_FMT_A8R8G8B8, GM_FMT_R8G8B8, GM_FMT_X1R5G5B5, GM_FMT_A8}) {
        const uint32_t bytesPerPixel = GetFormatBytesPerPixel(format);
        CGmImage image;
        ASSERT_TRUE(image.MakeRaw(3, 3, format, 5 * bytesPerPixel));
        for (uint32_t i = 0; i < image.RawBytes(); ++i)
            image.data[i] = static_cast<uint8_t>(i * 7 + 1);
        const std::string path = dir / "preview.tga";
        ASSERT_TRUE(WriteImageTga(image, path.c_str()));
        const Bytes file = ReadBytes(path);
        EXPECT_EQ(file.size(), 18u + 9 * bytesPerPixel) << format;

        CGmImage back;
        ASSERT_TRUE(LoadImage(FileOver(path, file), back)) << format;
        EXPECT_EQ(back.format, format);
        for (uint32_t y = 0; y < 3; ++y)
            EXPECT_EQ(0, memcmp(back.data + y * back.pitch, image.data + y * image.pitch, 3 * bytesPerPixel))
                << "format " << format << " row " << y;
    }
}

TEST(GmTgaWriter, OnlyRawImagesAreWritten)
{
    CTestTempDir dir;
    CGmImage packed(GM_IMAGE_PACKED);
    packed.width = packed.height = 2;
    packed.data = static_cast<uint8_t*>(malloc(16));
    packed.storedSize = 16;
    const std::string path = dir / "none.tga";
    EXPECT_FALSE(WriteImageTga(packed, path.c_str()));
    EXPECT_FALSE(std::filesystem::exists(path));

    CGmImage raw;
    ASSERT_TRUE(raw.MakeRaw(2, 2, GM_FMT_A8R8G8B8, 8));
    EXPECT_FALSE(WriteImageTga(raw, (dir / "missing-dir/x.tga").c_str()));
}
