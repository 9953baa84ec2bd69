// Glyph tables cut from font textures of known sizes, at the reference screen
// size and at a smaller back buffer.
#include "Engine/Core/Gm/GuiFont.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVisual2D.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class GuiFont : public ::testing::Test {
protected:
    void SetUp() override
    {
        // 100 by 60 pixels in a 128 by 64 texture.
        texture = new CGmTexture();
        texture->Create(100, 60, GM_FMT_A8R8G8B8, false);
    }
    void TearDown() override
    {
        g_gm2dScale[CGeHub::s_currentSlot][0] = 1.0f;
        g_gm2dScale[CGeHub::s_currentSlot][1] = 1.0f;
        texture->Release();
    }

    void Scale(float x, float y)
    {
        g_gm2dScale[CGeHub::s_currentSlot][0] = x;
        g_gm2dScale[CGeHub::s_currentSlot][1] = y;
    }

    CGmTexture* texture = nullptr;
};

const float kUCell = 100.0f / (128.0f * 4.0f); // four cells to a row of the padded texture
const float kVCell = 60.0f / (64.0f * 3.0f);   // three rows
const float kV768 = 1024.0f / 768.0f;          // the vertical scale pair at 1024 by 768

} // namespace

TEST_F(GuiFont, GlyphsOfTheGrid)
{
    // Ten characters four to a row: three rows of 25 by 20 pixel cells.
    const char16_t* codes = u"0123456789";
    const uint16_t shortWidths[] = {10, 20, 25};
    struct Case {
        const char* name;
        float scaleX, scaleY;
        const uint16_t* widths;
        uint32_t widthCount;
        uint8_t centered;
        char16_t code;
        CGuiGlyph expected;
    } cases[] = {
        {"row 2, column 1", 1, 1, nullptr, 0, 0, u'9', {kUCell, 2 * kVCell, kUCell, kVCell, 25, 20}},
        {"full cells centred stay put", 1, 1, nullptr, 0, 1, u'6', {2 * kUCell, kVCell, kUCell, kVCell, 25, 20}},
        {"narrow glyph", 1, 1, shortWidths, 3, 0, u'0', {0, 0, kUCell * 10 / 25, kVCell, 10, 20}},
        {"beyond the short widths", 1, 1, shortWidths, 3, 0, u'3', {3 * kUCell, 0, kUCell, kVCell, 25, 20}},
        {"1024 by 768", 1.25f, kV768, shortWidths, 3, 0, u'1', {kUCell, 0, kUCell * 20 / 25, kVCell, 25, 80.0f / 3}},
        {"1024 by 768, full", 1.25f, kV768, nullptr, 0, 0, u'5', {kUCell, kVCell, kUCell, kVCell, 31.25f, 80.0f / 3}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Scale(c.scaleX, c.scaleY);
        CGuiFont font;
        const CGuiGlyph& expected = c.expected;
        ASSERT_TRUE(font.Init(texture, 10, 4, codes, c.widths, c.widthCount, c.centered));
        const CGuiGlyph* g = font.FindGlyph(c.code);
        ASSERT_NE(g, nullptr);
        EXPECT_FLOAT_EQ(g->u, expected.u);
        EXPECT_FLOAT_EQ(g->v, expected.v);
        EXPECT_FLOAT_EQ(g->du, expected.du);
        EXPECT_FLOAT_EQ(g->dv, expected.dv);
        EXPECT_FLOAT_EQ(g->width, expected.width);
        EXPECT_FLOAT_EQ(g->height, expected.height);
    }
}

TEST_F(GuiFont, HalfCellCentredStartsAQuarterCellIn)
{
    CGuiFont font;
    texture->Create(96, 60, GM_FMT_A8R8G8B8, false); // 24-pixel cells
    const uint16_t widths[] = {12};
    ASSERT_TRUE(font.Init(texture, 4, 4, u"abcd", widths, 1, 1));
    const float uCell = 96.0f / (128.0f * 4.0f);
    EXPECT_FLOAT_EQ(font.FindGlyph(u'a')->u, 0.25f * uCell);
    EXPECT_FLOAT_EQ(font.FindGlyph(u'a')->du, 0.5f * uCell);
}

TEST_F(GuiFont, LookAlikesMissingCodesAndRepeats)
{
    CGuiFont font;
    // Latin A and C, Cyrillic O without Latin O, and 'x' twice: the later wins.
    ASSERT_TRUE(font.Init(texture, 6, 4, u" AC\u041Exx", nullptr, 0, 0));
    ASSERT_NE(font.glyphs.Find(0x0410), nullptr);
    EXPECT_FLOAT_EQ(font.FindGlyph(0x0410)->u, font.FindGlyph(u'A')->u);
    EXPECT_FLOAT_EQ(font.FindGlyph(0x0421)->u, font.FindGlyph(u'C')->u);
    EXPECT_EQ(font.glyphs.Find(u'O'), nullptr);                         // never copied back to Latin
    EXPECT_FLOAT_EQ(font.FindGlyph(0x0445)->u, kUCell);                 // Cyrillic x from entry 5: column 1
    EXPECT_FLOAT_EQ(font.FindGlyph(0x0445)->v, 60.0f / (64.0f * 2.0f)); // six entries: two rows
    EXPECT_EQ(font.glyphs.Find(0x0412), nullptr);                       // no Latin B, no Cyrillic Ve
    // A missing character is drawn with the smallest code present: the space.
    EXPECT_EQ(font.FindGlyph(u'Q'), font.FindGlyph(u' '));
    EXPECT_EQ(font.glyphs.Count(), 8u);
}

TEST_F(GuiFont, DegenerateTables)
{
    {
        // An empty code table counts one line and gets the unit space glyph.
        CGuiFont font;
        ASSERT_TRUE(font.Init(texture, 0, 4, u"", nullptr, 0, 0));
        ASSERT_EQ(font.glyphs.Count(), 1u);
        const CGuiGlyph* space = font.FindGlyph(u'z');
        ASSERT_NE(space, nullptr);
        EXPECT_EQ(space, &font.glyphs.Find(u' ')->value);
        EXPECT_FLOAT_EQ(space->width, 1.0f);
        EXPECT_FLOAT_EQ(space->height, 1.0f);
    }
    {
        // No cells per row, or cells narrower than a pixel: refused.
        CGuiFont font;
        EXPECT_FALSE(font.Init(texture, 3, 0, u"abc", nullptr, 0, 0));
        EXPECT_EQ(font.FindGlyph(u'a'), nullptr);
        EXPECT_FALSE(font.Init(texture, 3, 101, u"abc", nullptr, 0, 0));
        EXPECT_EQ(font.glyphs.Count(), 0u);
    }
    // The font held its own reference and gave it back.
    EXPECT_EQ(texture->refCount, 1);
}
