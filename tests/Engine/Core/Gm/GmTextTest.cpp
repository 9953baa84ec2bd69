// Text layout in a monospaced fixture font: 10 by 12 pixel glyphs, sixteen to
// a row of a 160 by 60 texture.
#include "Engine/Core/Gm/GmText.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GuiFont.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char16_t kCodes[] = u" abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789&.";

class GmText : public ::testing::Test {
protected:
    void SetUp() override
    {
        CGmTexture* texture = new CGmTexture();
        texture->Create(160, 60, GM_FMT_A8R8G8B8, false);
        ASSERT_TRUE(font.Init(texture, (uint32_t)(sizeof(kCodes) / 2 - 1), 16, kCodes, nullptr, 0, 0));
        texture->Release();
    }

    // The left edge of the quad of glyph n.
    static float GlyphX(const CGmText& t, uint32_t n) { return t.glyphVertices[n * 4 + 2].x; }
    static float GlyphY(const CGmText& t, uint32_t n) { return t.glyphVertices[n * 4].y; }

    CGuiFont font;
};

CGeWString W(const char16_t* s)
{
    return CGeWString(s);
}

} // namespace

TEST_F(GmText, PreparedTextAndLines)
{
    EXPECT_EQ(std::u16string(PrepareText(W(u"a\tb\r\nc\rd")).c_str()), u"a    b\nc\nd");

    CGmText t(&font);
    EXPECT_FLOAT_EQ(t.lineHeight, 12.0f);
    t.keepGlyphBoxes = 1;
    t.scrollOffset[0] = 5.0f;
    t.scrollOffset[1] = 3.0f;
    t.Layout(W(u"a\tb\r\ncd"));
    ASSERT_EQ(t.glyphCount, 4u);
    EXPECT_FLOAT_EQ(GlyphX(t, 1), -5.0f + 50.0f); // four spaces after 'a'
    EXPECT_FLOAT_EQ(GlyphX(t, 2), -5.0f);         // the second line starts again at -origin x
    EXPECT_FLOAT_EQ(GlyphY(t, 2), -3.0f + 12.0f); // one line lower
    EXPECT_EQ(t.glyphIndices.size(), 24u);
    EXPECT_EQ(t.dirty, 0);
}

TEST_F(GmText, ColourAndSlantCodes)
{
    CGmText t(&font);
    t.color = 0x102030;
    t.alpha = 0x80;
    t.UpdateColor();
    EXPECT_EQ(t.vertexColor, 0x80102030u);
    t.keepGlyphBoxes = 1;
    t.Layout(W(u"&0xFF00FF00ab&cd&ie&q"));
    ASSERT_EQ(t.glyphCount, 6u); // a b d e & q
    EXPECT_EQ(t.glyphVertices[0].color, 0xFF00FF00u);
    EXPECT_EQ(t.glyphVertices[4].color, 0xFF00FF00u);
    EXPECT_EQ(t.glyphVertices[8].color, 0x80102030u);
    // The slant moves the top of 'e' a quarter of its height to the right.
    EXPECT_FLOAT_EQ(t.glyphVertices[12].x - t.glyphVertices[14].x, 3.0f);
    EXPECT_FLOAT_EQ(t.glyphVertices[14].x, 30.0f);
    // Tags have no box; the '&' that starts no tag is drawn.
    EXPECT_EQ(t.glyphBoxes[0].x, CGmText::kNoBox);
    EXPECT_EQ(t.glyphBoxes[11].x, 0.0f);
    EXPECT_EQ(t.glyphBoxes[19].x, 40.0f);

    // A digit that is no hexadecimal digit counts 0.
    t.Layout(W(u"&0xFFzz00FFa"));
    EXPECT_EQ(t.glyphVertices[0].color, 0xFF0000FFu);

    // With the show-tags flag every character is drawn.
    t.showTags = 1;
    t.Layout(W(u"&0xFF00FF00ab&c"));
    EXPECT_EQ(t.glyphCount, 15u);
    EXPECT_EQ(t.glyphVertices[0].color, 0x80102030u);
}

TEST_F(GmText, WrapAlignAndJustify)
{
    struct Case {
        const char* name;
        uint32_t wrap, align;
        float clip;
        const char16_t* text;
        std::vector<float> x, y; // of every glyph
    } cases[] = {
        {"no wrap", 0, 0, 50, u"aaa bbb", {0, 10, 20, 40, 50, 60}, {0, 0, 0, 0, 0, 0}},
        {"word wrap", 2, 0, 50, u"aaa bbb", {0, 10, 20, 0, 10, 20}, {0, 0, 0, 12, 12, 12}},
        {"breaks at the last space that fits", 2, 0, 75, u"aa bb cc", {0, 10, 30, 40, 0, 10}, {0, 0, 0, 0, 12, 12}},
        {"symbol wrap breaks at spaces too", 1, 0, 50, u"aaa bbb", {0, 10, 20, 0, 10, 20}, {0, 0, 0, 12, 12, 12}},
        {"centred", 0, 2, 100, u"abcd", {30, 40, 50, 60}, {0, 0, 0, 0}},
        {"right", 0, 1, 100, u"abcd", {60, 70, 80, 90}, {0, 0, 0, 0}},
        {"centred lines each", 2, 2, 60, u"abcd ef", {10, 20, 30, 40, 20, 30}, {0, 0, 0, 0, 12, 12}},
        // A broken line of width 50 in 75: its one space takes all 25 pixels;
        // the last line stays as it is.
        {"justified", 3, 0, 75, u"aa bb cc", {0, 10, 55, 65, 0, 10}, {0, 0, 0, 0, 12, 12}},
        {"a word longer than the line stays", 2, 0, 25, u"aaaa b", {0, 10, 20, 30, 0}, {0, 0, 0, 0, 12}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CGmText t(&font);
        t.wrapMode = c.wrap;
        t.alignment = c.align;
        const float clip[2] = {c.clip, 100.0f};
        t.SetClipSize(clip, 0);
        t.Layout(W(c.text));
        ASSERT_EQ(t.glyphCount, c.x.size());
        for (uint32_t g = 0; g < t.glyphCount; ++g) {
            EXPECT_FLOAT_EQ(GlyphX(t, g), c.x[g]) << "glyph " << g;
            EXPECT_FLOAT_EQ(GlyphY(t, g), c.y[g]) << "glyph " << g;
        }
    }
}

TEST_F(GmText, MeasureBoundsAndPitch)
{
    CGmText t(&font);
    float w = 0, h = 0;
    t.Measure(W(u"ab\ncde"), &w, &h);
    EXPECT_FLOAT_EQ(w, 30.0f);
    EXPECT_FLOAT_EQ(h, 24.0f);
    t.Measure(W(u"&0xFF00FF00ab&c"), &w, &h);
    EXPECT_FLOAT_EQ(w, 20.0f);
    EXPECT_FLOAT_EQ(h, 12.0f);

    t.Layout(W(u"abcdef\nab"));
    GmTextBox b = t.GetBounds();
    EXPECT_FLOAT_EQ(b.x, 0.0f);
    EXPECT_FLOAT_EQ(b.w, 60.0f);
    EXPECT_FLOAT_EQ(b.h, 24.0f);
    const float clip[2] = {45.0f, 20.0f};
    t.SetClipSize(clip, 1);
    t.wrapMode = 0;
    b = t.GetBounds();
    EXPECT_FLOAT_EQ(b.w, 45.0f);
    EXPECT_FLOAT_EQ(b.h, 20.0f);

    // Horizontal pitch goes between glyphs; (1e30, 1e30) is no spacing and one line.
    t.SetBoxWidth(2.0f);
    t.Layout(W(u"abc"));
    EXPECT_FLOAT_EQ(GlyphX(t, 2), 24.0f);
    t.SetBoxSize(CGmText::kNoBox, CGmText::kNoBox);
    EXPECT_FLOAT_EQ(t.letterSpacing, 0.0f);
    EXPECT_FLOAT_EQ(t.lineHeight, 12.0f);
    t.SetBoxSize(-4.0f, 22.0f);
    EXPECT_FLOAT_EQ(t.lineHeight, 22.0f);
    EXPECT_EQ(t.dirty, 1);

    CGmText none(nullptr);
    EXPECT_FLOAT_EQ(none.lineHeight, 0.0f);
    // Without a font, 1e30 keeps the height it had.
    none.SetBoxSize(-4.0f, 40.0f);
    none.SetBoxSize(CGmText::kNoBox, CGmText::kNoBox);
    EXPECT_FLOAT_EQ(none.lineHeight, 40.0f);
    EXPECT_FLOAT_EQ(none.letterSpacing, 0.0f);
    none.Layout(W(u"abc"));
    EXPECT_EQ(none.glyphCount, 0u);
}

TEST_F(GmText, CharacterAtPoint)
{
    CGmText t(&font);
    t.keepGlyphBoxes = 1;
    t.Layout(W(u"ab cd\nef"));
    struct Case {
        float x, y;
        uint32_t index;
    } cases[] = {
        {5, -1, 0}, {4, 5, 0},   {6, 5, 1},   {16, 5, 2}, {26, 5, 3},
        {49, 5, 4}, {200, 5, 4}, {12, 14, 7}, {3, 14, 6}, {0, 30, 7},
    };
    for (const Case& c : cases)
        EXPECT_EQ(t.LineAtPoint(c.x, c.y), c.index) << c.x << ", " << c.y;
    // The line feed is no place on a line.
    EXPECT_EQ(t.glyphBoxes[5].x, CGmText::kNoBox);
    EXPECT_EQ(t.glyphBoxes[2].w, 10.0f);
}

TEST_F(GmText, VertexHookWritesTheDrawnVertices)
{
    CGmText t(&font);
    t.Layout(W(u"ab"));
    t.Update();
    ASSERT_EQ(t.drawnVertices.size(), 8u);
    EXPECT_FLOAT_EQ(t.drawnVertices[4].x, 10.0f);

    t.vertexHook = [](const GmTextVertex* source, GmTextVertex* target, uint32_t glyphs, float* phase) {
        *phase += 0.5f;
        for (uint32_t i = 0; i < glyphs * 4; ++i) {
            target[i] = source[i];
            target[i].y += *phase;
        }
    };
    t.Update();
    t.Update();
    EXPECT_FLOAT_EQ(t.phase, 1.0f);
    EXPECT_FLOAT_EQ(t.drawnVertices[0].y, 1.0f);
    EXPECT_FLOAT_EQ(t.glyphVertices[0].y, 0.0f);

    t.ReserveGlyphBuffers(W(u"&cabc\n"));
    EXPECT_GE(t.glyphIndices.capacity(), 18u);
}

TEST_F(GmText, IndicesCountWithinEachDrawOf16384Glyphs)
{
    // 16-bit indices reach 16,384 glyphs; the next glyph starts the next draw's count.
    CGmText t(&font);
    t.wrapMode = 0;
    t.Layout(CGeWString(std::u16string(CGmText::kGlyphsPerDraw + 1, u'a').c_str()));
    ASSERT_EQ(t.glyphCount, CGmText::kGlyphsPerDraw + 1);
    EXPECT_EQ(t.glyphIndices[(CGmText::kGlyphsPerDraw - 1) * 6 + 5], 65535u);
    EXPECT_EQ(t.glyphIndices[CGmText::kGlyphsPerDraw * 6], 0u);
    EXPECT_EQ(t.glyphIndices[CGmText::kGlyphsPerDraw * 6 + 5], 3u);
}
