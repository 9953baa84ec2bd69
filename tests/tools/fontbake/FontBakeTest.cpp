// fontbake run on DejaVu Sans: its texture and FONT element make a bitmap font
// whose glyphs are where the element says.
#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GuiFont.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

} // namespace

TEST(FontBake, BakedFontLoadsIntoGlyphs)
{
    if (!std::filesystem::exists(kDejaVu))
        GTEST_SKIP() << "fonts-dejavu-core is not installed";
    CTestTempDir dir;
    const std::string command = std::string("timeout 60 ") + FONTBAKE_EXECUTABLE + " " + kDejaVu + " 14 " +
                                (dir / "font.tga") + " TEST_FONT fonts/font.tga " + (dir / "font.xml");
    ASSERT_EQ(std::system(command.c_str()), 0);

    TiXmlDocument document;
    ASSERT_TRUE(document.Parse(CTestTempDir::Read(dir / "font.xml").c_str()));
    XmlHandle handle;
    handle.element = document.FirstChildElement("FONT");
    ASSERT_NE(handle.element, nullptr);
    EXPECT_STREQ(XmlGetText("Name", handle), "TEST_FONT");
    EXPECT_STREQ(XmlGetText("FileName", handle), "fonts/font.tga");
    const CGeWString codes = XmlGetWideText("CodeTable", handle);
    ASSERT_EQ(codes.Length(), 95u + 66u); // printable ASCII and the Cyrillic letters
    EXPECT_EQ(codes.c_str()[6], u'&');
    EXPECT_EQ(codes.c_str()[95], u'\u0410');
    CGeArray<uint16_t> widths;
    ASSERT_EQ(XmlParseIndexList(XmlGetText("SymbolWidths", handle), widths), codes.Length());

    GeSimdCreate();
    CGeFileData file = LoadFileData((dir / "font.tga").c_str());
    ASSERT_NE(file.data, nullptr);
    CGmTexture* texture = new CGmTexture(file, true);
    free(file.data);
    const CGmImage* image = texture->Image();
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width % 16, 0u);

    CGuiFont font;
    ASSERT_TRUE(font.Init(texture, codes.Length(), (uint32_t)XmlGetInt("FramesPerLine", handle), codes.c_str(),
                          &widths[0], widths.Count(), 0));
    EXPECT_EQ(font.glyphs.Count(), codes.Length());
    EXPECT_GT(font.FindGlyph(u'W')->width, font.FindGlyph(u'i')->width);
    EXPECT_GT(font.FindGlyph(u' ')->height, 10.0f);

    // The cell of 'H' holds opaque pixels; the cell of the space none.
    auto cellCoverage = [&](char16_t c) {
        const CGuiGlyph* g = font.FindGlyph(c);
        const uint32_t cellW = image->width / 16;
        const uint32_t x0 = (uint32_t)(g->u * (float)GetImageWidthPow2(texture) + 0.5f);
        const uint32_t y0 = (uint32_t)(g->v * (float)GetImageHeightPow2(texture) + 0.5f);
        uint32_t covered = 0;
        for (uint32_t y = y0; y < y0 + (uint32_t)g->height; ++y)
            for (uint32_t x = x0; x < x0 + cellW; ++x)
                covered += image->data[y * image->pitch + x * 4 + 3] > 128 ? 1 : 0;
        return covered;
    };
    EXPECT_GT(cellCoverage(u'H'), 20u);
    EXPECT_EQ(cellCoverage(u' '), 0u);
    texture->Release();
    GeSimdDestroy();
}
