#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"

#include <gtest/gtest.h>

using namespace imagefixture;

namespace {

// Block data for every level the upload walks (while neither side is 1).
Bytes LevelData(uint32_t format, uint32_t width, uint32_t height, uint32_t levels)
{
    Bytes out;
    for (uint32_t i = 0; i < levels && width != 1 && height != 1; ++i) {
        out.resize(out.size() + DdsLevelBytes(format, width, height), static_cast<uint8_t>(i + 1));
        width /= 2;
        height /= 2;
    }
    return out;
}

}  // namespace

TEST(GmImageDds, DxtFilesAreKeptWholeWithTheirFormatAndLevelCount)
{
    const struct {
        const char* fourCc;
        uint32_t format;
        bool mipFlag;
        uint32_t mipCount;
        uint32_t levels;
    } cases[] = {
        {"DXT1", GM_FMT_DXT1, false, 5, 1}, {"DXT2", GM_FMT_DXT2, true, 3, 3}, {"DXT3", GM_FMT_DXT3, true, 0, 1},
        {"DXT4", GM_FMT_DXT4, true, 1, 1},  {"DXT5", GM_FMT_DXT5, true, 6, 6},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fourCc);
        DdsSpec spec;
        spec.width = 64;
        spec.height = 32;
        spec.fourCc = c.fourCc;
        spec.mipCountFlag = c.mipFlag;
        spec.mipCount = c.mipCount;
        spec.levelData = LevelData(c.format, 64, 32, 8);
        const Bytes file = MakeDds(spec);
        EXPECT_EQ(DetectImageType(FileOver("x.dds", file)), GM_IMAGE_TYPE_DDS);
        CGmImage image;
        ASSERT_TRUE(image.ReadPacked(FileOver("x.dds", file)));
        EXPECT_EQ(image.kind, GM_IMAGE_DDS);
        EXPECT_EQ(image.pixelCode, kDdsPixelCode);
        EXPECT_EQ(image.format, c.format);
        EXPECT_EQ(image.width, 64u);
        EXPECT_EQ(image.height, 32u);
        EXPECT_EQ(image.pitch, c.levels);
        EXPECT_EQ(image.storedSize, file.size());
        EXPECT_EQ(Bytes(image.data, image.data + image.storedSize), file);
    }
}

TEST(GmImageDds, LevelSizesFollowTheBlockSize)
{
    EXPECT_EQ(DdsLevelBytes(GM_FMT_DXT1, 256, 256), 64u * 64 * 8);
    EXPECT_EQ(DdsLevelBytes(GM_FMT_DXT5, 256, 256), 64u * 64 * 16);
    EXPECT_EQ(DdsLevelBytes(GM_FMT_DXT3, 2, 2), 16u);
    EXPECT_EQ(DdsLevelBytes(GM_FMT_DXT1, 8, 2), 16u);
}

TEST(GmImageDds, FilesWithoutDxtDataAreRefused)
{
    DdsSpec other;
    other.width = other.height = 8;
    other.fourCc = "ATI2";
    other.levelData = Bytes(64, 0);
    DdsSpec noFlag = other;
    noFlag.fourCc = "DXT1";
    noFlag.fourCcFlag = false;
    for (const DdsSpec& spec : {other, noFlag}) {
        CGmImage image;
        EXPECT_FALSE(image.ReadDds(FileOver("x.dds", MakeDds(spec))));
        EXPECT_EQ(image.data, nullptr);
    }
    // DDS files are never decoded to raw pixels: LoadImage leaves the image.
    DdsSpec good = other;
    good.fourCc = "DXT1";
    CGmImage image;
    EXPECT_TRUE(LoadImage(FileOver("x.dds", MakeDds(good)), image));
    EXPECT_EQ(image.data, nullptr);
}

// The upload copies levels straight out of the file: the level count is cut
// to the levels stored, and a file without its first level is refused.
TEST(GmImageDds, LevelCountIsCutToTheLevelsStored)
{
    DdsSpec spec;
    spec.width = 256;
    spec.height = 256;
    spec.fourCc = "DXT5";
    spec.mipCountFlag = true;
    spec.mipCount = 9;
    spec.levelData = LevelData(GM_FMT_DXT5, 256, 256, 9);
    CGmImage image;
    ASSERT_TRUE(image.ReadDds(FileOver("x.dds", MakeDds(spec))));
    EXPECT_EQ(image.pitch, 9u) << "the count as stored, though 1 by 1 is never uploaded";

    spec.levelData = LevelData(GM_FMT_DXT5, 256, 256, 3);
    spec.levelData.resize(spec.levelData.size() + 10);
    ASSERT_TRUE(image.ReadDds(FileOver("x.dds", MakeDds(spec))));
    EXPECT_EQ(image.pitch, 3u);

    spec.levelData.resize(DdsLevelBytes(GM_FMT_DXT5, 256, 256) - 1);
    EXPECT_FALSE(image.ReadDds(FileOver("x.dds", MakeDds(spec))));

    Bytes shortHeader = MakeDds(spec);
    shortHeader.resize(100);
    EXPECT_FALSE(image.ReadDds(FileOver("x.dds", shortHeader)));
    EXPECT_EQ(DetectImageType(FileOver("x.dds", shortHeader)), GM_IMAGE_TYPE_DDS);
}
