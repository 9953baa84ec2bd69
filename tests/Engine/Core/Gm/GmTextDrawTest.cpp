// Text visuals drawn on the headless device and checked by pixels: glyph
// shapes from a generated font texture, colour codes and line breaks, at the
// reference screen size and at a back buffer half as large, where the 2D
// camera scales reference pixels down and the scale pair makes the glyphs
// keep their texture size on screen.
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Core/Gm/GuiFont.h"
#include "tests/Engine/Core/Gm/Screen2dFixture.h"

namespace {

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBackground = Screen2dTest::kBackground;

// Four 16 by 16 cells: ' ' empty, 'A' solid, 'B' its top half, 'C' its left
// half; white where solid, transparent elsewhere.
CGmTexture* FontTexture()
{
    CGmTexture* texture = new CGmTexture();
    texture->Create(64, 16, GM_FMT_A8R8G8B8, false);
    uint32_t pitch = 0;
    uint8_t* pixels = texture->GetFrameImage(&pitch);
    for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t x = 0; x < 64; ++x) {
            const uint32_t cell = x / 16, cx = x % 16;
            const bool solid = cell == 1 || (cell == 2 && y < 8) || (cell == 3 && cx < 8);
            reinterpret_cast<uint32_t*>(pixels + y * pitch)[x] = solid ? 0xFFFFFFFF : 0x00000000;
        }
    }
    return texture;
}

class GmTextDraw : public Screen2dTest {
protected:
    // Probes at (x, y) + origin, in device pixels.
    struct Probe {
        uint32_t x, y, colour;
    };
    void ExpectProbes(uint32_t ox, uint32_t oy, std::initializer_list<Probe> probes)
    {
        for (const Probe& p : probes) {
            const uint32_t got = At(ox + p.x, oy + p.y);
            EXPECT_LE(ColourDistance(p.colour, got), 2)
                << "at " << ox + p.x << ", " << oy + p.y << ": " << std::hex << got << " for " << p.colour;
        }
    }
};

} // namespace

TEST_F(GmTextDraw, GlyphsColourCodesAndLinesByPixels)
{
    struct Case {
        uint32_t w, h;
    } cases[] = {{1280, 1024}, {640, 512}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.w);
        ScaleFor(c.w, c.h);
        CGuiFont font;
        CGmTexture* texture = FontTexture();
        ASSERT_TRUE(font.Init(texture, 4, 4, u" ABC", nullptr, 0, 0));
        texture->Release();

        CGmText text(&font);
        text.color = 0xFF0000;
        text.UpdateColor();
        text.frame.SetPosition({200.0f, 100.0f, 0.0f});
        text.Layout(CGeWString(u"A&0xFF00FF00B&cC\nA A"));
        text.Update();
        Frame(c.w, c.h, [&] { text.Render(); });

        // The text's origin in device pixels; every glyph is 16 device pixels.
        const uint32_t ox = 200 * c.w / 1280, oy = 100 * c.h / 1024;
        EXPECT_LE(ColourDistance(kBackground, At(ox - 3, oy + 8)), 2) << "left of the text";
        ExpectProbes(ox, oy,
                     {
                         {2, 2, kRed},
                         {13, 13, kRed},
                         {8, 18, kRed}, // A, and A on line 2
                         {20, 3, kGreen},
                         {28, 5, kGreen},
                         {24, 12, kBackground}, // B's two halves
                         {35, 12, kRed},
                         {44, 4, kBackground},  // C's two halves
                         {24, 24, kBackground}, // the space on line 2
                         {40, 20, kRed},
                         {40, 34, kBackground}, // the last A, then nothing
                     });
    }
}

TEST_F(GmTextDraw, UnchangedTextRedrawsTheSameAndMovesWithItsFrame)
{
    CGuiFont font;
    CGmTexture* texture = FontTexture();
    ASSERT_TRUE(font.Init(texture, 4, 4, u" ABC", nullptr, 0, 0));
    texture->Release();
    CGmText text(&font);
    text.frame.SetPosition({300.0f, 300.0f, 0.0f});
    text.Layout(CGeWString(u"AA"));
    text.pixelExact = 1;
    wrapper->SetSamplerFilters(0, D3DTEXF_LINEAR, D3DTEXF_LINEAR);

    Frame(1280, 1024, [&] { text.Render(); });
    ExpectProbes(300, 300, {{1, 1, 0xFFFFFFFF}, {30, 14, 0xFFFFFFFF}, {33, 8, kBackground}});
    // Point sampling was only for the text's own draw.
    EXPECT_EQ((uint32_t)D3DTEXF_LINEAR, wrapper->m_filters[0][0]);

    // Drawn again unchanged, then moved: the glyphs follow the frame.
    Frame(1280, 1024, [&] { text.Render(); });
    ExpectProbes(300, 300, {{30, 14, 0xFFFFFFFF}});
    text.frame.SetPosition({500.0f, 300.0f, 0.0f});
    text.Update();
    Frame(1280, 1024, [&] { text.Render(); });
    ExpectProbes(300, 300, {{30, 14, kBackground}});
    ExpectProbes(500, 300, {{1, 1, 0xFFFFFFFF}, {30, 14, 0xFFFFFFFF}});

    // Hidden: nothing is drawn.
    text.visible = 0;
    Frame(1280, 1024, [&] { text.Render(); });
    ExpectProbes(500, 300, {{8, 8, kBackground}});
}
