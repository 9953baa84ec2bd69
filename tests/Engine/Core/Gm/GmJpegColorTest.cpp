// The vector colour converter against the tables, for every chroma pair.
#include "Engine/Core/Gm/GmJpegColor.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(GmJpegColor, TablesHoldTheJfifConstants)
{
    GmJpegColorTables tables;
    JpegBuildColorTables(&tables);
    EXPECT_EQ(0, tables.crToRed[128]);
    EXPECT_EQ((91882 * 127 + 32768) >> 16, tables.crToRed[255]);  // 178
    EXPECT_EQ(-179, tables.crToRed[0]);
    EXPECT_EQ(-227, tables.cbToBlue[0]);
    EXPECT_EQ(-46802 * 127, tables.crToGreen[255]);
    EXPECT_EQ(-22554 * -128 + 32768, tables.cbToGreen[0]);
}

TEST(GmJpegColor, VectorConversionEqualsTheTables)
{
    GmJpegColorTables tables;
    JpegBuildColorTables(&tables);
    // One row per Cr value: 256 pixels with every Cb value, for a spread of
    // luma values, with and without horizontal replication.
    const int kWidth = 256;
    for (int shift = 0; shift <= 1; shift++) {
        std::vector<uint8_t> cb(kWidth), cr(kWidth), y(kWidth);
        std::vector<uint8_t> expected(kWidth * 4), actual(kWidth * 4);
        for (int luma : { 0, 1, 77, 128, 200, 254, 255 }) {
            for (int red = 0; red < 256; red++) {
                for (int x = 0; x < kWidth; x++) {
                    y[x] = (uint8_t)((luma + x * 7 * (luma & 1)) & 255);
                    cb[x] = (uint8_t)x;
                    cr[x] = (uint8_t)(shift ? (red + x) & 255 : red);
                }
                JpegConvertRowWithTables(tables, y.data(), cb.data(), cr.data(), kWidth, shift, expected.data());
                JpegConvertRow(tables, y.data(), cb.data(), cr.data(), kWidth, shift, actual.data());
                for (int x = 0; x < kWidth; x++) {
                    for (int c = 0; c < 3; c++)
                        ASSERT_EQ(expected[x * 4 + c], actual[x * 4 + c]) << "luma " << luma << " cr " << red << " x " << x << " channel " << c;
                }
            }
        }
    }
}

} // namespace
