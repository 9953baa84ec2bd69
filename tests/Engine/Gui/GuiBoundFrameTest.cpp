// Bound frames built from frame sets: the geometry of both layouts, what
// Reload keeps, rebuilds and lays out again, sprites made and freed, and a
// mirrored SimpleRect and a tiled EnhancedRect checked by pixels.
#include "Engine/Gui/GuiBoundFrame.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GeFrame3D.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "tests/Engine/Core/Gm/Screen2dFixture.h"

#include <functional>

namespace {

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlue = 0xFF0000FF;
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kYellow = 0xFFFFFF00;
constexpr uint32_t kCyan = 0xFF00FFFF;
constexpr uint32_t kMagenta = 0xFFFF00FF;

// A schema of one frame over a w by h texture coloured by `pixel`.
CGmImageSet* Picture(uint32_t w, uint32_t h, const std::function<uint32_t(uint32_t, uint32_t)>& pixel)
{
    CGmTexture* texture = new CGmTexture();
    texture->Create(w, h, GM_FMT_A8R8G8B8, false);
    uint32_t pitch = 0;
    uint8_t* pixels = texture->GetFrameImage(&pitch);
    for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x)
            reinterpret_cast<uint32_t*>(pixels + y * pitch)[x] = pixel(x, y);
    CGmImageSet* set = new CGmImageSet();
    set->Init(texture, 1, 1);
    texture->Release();
    return set;
}

CGmImageSet* Solid(uint32_t w, uint32_t h, uint32_t colour)
{
    return Picture(w, h, [colour](uint32_t, uint32_t) { return colour; });
}

class GuiBoundFrame : public Screen2dTest {
protected:
    void SetUp() override
    {
        if (!g_pGeSimd)
            GeSimdCreate();
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        Screen2dTest::SetUp();
        corner = Solid(10, 10, kWhite);
        topBottom = Solid(4, 3, kWhite);
        leftRight = Solid(3, 4, kWhite);
        bg = Solid(8, 8, kWhite);
        simple.cornerPic.schema = corner;
        simple.topBottomBorderPic.schema = topBottom;
        simple.leftRightBorderPic.schema = leftRight;
        simple.bgPic.schema = bg;
        for (uint32_t i = 0; i < 4; ++i) {
            enhanced.corners[i].schema = corner;
            enhanced.borders[i].schema = i < 2 ? topBottom : leftRight;
        }
        enhanced.bgPic.schema = bg;
    }
    void TearDown() override
    {
        for (CGmImageSet* set : {corner, topBottom, leftRight, bg}) {
            set->Release();
            delete set;
        }
        Screen2dTest::TearDown();
    }

    static Vec3 At(const CGmSprite* s) { return s->frame.position; }
    static void ExpectPlace(const CGmSprite* s, float x, float y, float w, float h)
    {
        ASSERT_NE(s, nullptr);
        EXPECT_FLOAT_EQ(s->frame.position.x, x);
        EXPECT_FLOAT_EQ(s->frame.position.y, y);
        EXPECT_FLOAT_EQ(s->size[0], w);
        EXPECT_FLOAT_EQ(s->size[1], h);
    }

    void ExpectProbes(std::initializer_list<std::pair<std::pair<uint32_t, uint32_t>, uint32_t>> probes)
    {
        for (const auto& p : probes) {
            const uint32_t got = Screen2dTest::At(p.first.first, p.first.second);
            EXPECT_LE(ColourDistance(p.second, got), 2)
                << "at " << p.first.first << ", " << p.first.second << ": " << std::hex << got << " for " << p.second;
        }
    }

    CGmImageSet* corner = nullptr;
    CGmImageSet* topBottom = nullptr;
    CGmImageSet* leftRight = nullptr;
    CGmImageSet* bg = nullptr;
    CGuiBoundFrameSetSimple simple;
    CGuiBoundFrameSetEnhanced enhanced;
    CGeFrame3D owner;
};

} // namespace

TEST_F(GuiBoundFrame, SimpleRectLayoutMirrorsItsSharedPictures)
{
    const int32_t before = CGmVisual2D::s_liveCount;
    {
        CGuiFrameSimpleRect frame(&simple, &owner, 100.0f, 40.0f);
        EXPECT_EQ(CGmVisual2D::s_liveCount, before + 9);
        EXPECT_EQ(frame.presentParts, 0x1FFu);
        ExpectPlace(frame.corners[0], 0, 0, 10, 10);
        ExpectPlace(frame.corners[1], 90, 0, 10, 10);
        ExpectPlace(frame.corners[2], 0, 30, 10, 10);
        ExpectPlace(frame.corners[3], 90, 30, 10, 10);
        ExpectPlace(frame.borders[0], 10, 0, 80, 3);
        ExpectPlace(frame.borders[1], 10, 37, 80, 3);
        ExpectPlace(frame.borders[2], 0, 10, 3, 20);
        ExpectPlace(frame.borders[3], 97, 10, 3, 20);
        ExpectPlace(frame.background, 0, 0, 100, 40);
        const uint32_t modes[8] = {0, 1, 2, 3, 0, 2, 0, 1};
        for (uint32_t part = 0; part < 8; ++part)
            EXPECT_EQ(frame.Part(part)->uvMode, modes[part]) << part;
        EXPECT_EQ(frame.minSize[0], 20.0f);
        EXPECT_EQ(frame.minSize[1], 20.0f);
        EXPECT_EQ(frame.Part(0)->frame.parent, &owner);
        EXPECT_EQ(frame.Part(0)->pixelSnapping, 1);

        // Narrower than two corners: the top and bottom borders are hidden,
        // and shown again once a layout gives them width.
        frame.SetSize(20.0f, 40.0f);
        EXPECT_EQ(frame.borders[0]->visible, 0);
        EXPECT_EQ(frame.borders[2]->visible, 1);
        frame.SetVisible(1);
        frame.SetSize(30.0f, 40.0f);
        EXPECT_EQ(frame.borders[0]->visible, 1);
    }
    EXPECT_EQ(CGmVisual2D::s_liveCount, before);
    EXPECT_EQ(owner.children.count, 0u);
}

TEST_F(GuiBoundFrame, EnhancedRectLayoutStandsOneUnitInFromTheRight)
{
    enhanced.borderTiled[0] = 1;
    enhanced.bgTiled = 1;
    enhanced.bgOffset[0] = 2.0f;
    CGuiFrameEnhancedRect frame(&enhanced, &owner, 100.0f, 40.0f);
    ExpectPlace(frame.corners[1], 89, 0, 10, 10);
    ExpectPlace(frame.corners[3], 89, 30, 10, 10);
    ExpectPlace(frame.borders[0], 10, 0, 79, 3);
    ExpectPlace(frame.borders[1], 10, 37, 79, 3);
    ExpectPlace(frame.borders[3], 96, 10, 3, 20);
    ExpectPlace(frame.background, 2, 0, 98, 40);
    // Tiled: the picture repeats over the part's size.
    EXPECT_FLOAT_EQ(frame.borders[0]->quad->uvSpan[0], 79.0f / 4.0f);
    EXPECT_FLOAT_EQ(frame.background->quad->uvSpan[1], 40.0f / 8.0f);
    EXPECT_FLOAT_EQ(frame.borders[1]->quad->uvSpan[0], 1.0f);
    EXPECT_EQ(frame.borders[1]->addressMode, 0u);

    // Minimum size from the corners present.
    CGuiBoundFrameSetEnhanced one;
    one.corners[0].schema = corner;
    CGuiFrameEnhancedRect single(&one, nullptr, 50.0f, 50.0f);
    EXPECT_EQ(single.minSize[0], 10.0f);
    EXPECT_EQ(single.minSize[1], 10.0f);
    CGuiFrameEnhancedRect none(nullptr, nullptr, 50.0f, 50.0f);
    EXPECT_EQ(none.minSize[0] + none.minSize[1], 0.0f);
    EXPECT_EQ(none.presentParts, 0u);
}

TEST_F(GuiBoundFrame, ReloadTouchesOnlyWhatChanged)
{
    CGuiFrameSimpleRect frame(&simple, &owner, 100.0f, 40.0f);
    CGmSprite* keptCorner = frame.corners[0];
    const int32_t sprites = CGmVisual2D::s_liveCount;
    auto moveCorner = [&] { frame.corners[1]->frame.SetPosition({5.0f, 5.0f, 0.0f}); };

    // The same set again, and the same size: nothing is touched.
    moveCorner();
    frame.Reload(&simple);
    frame.SetSize(100.0f, 40.0f);
    EXPECT_EQ(At(frame.corners[1]).x, 5.0f);

    // A client-area offset is copied without a layout; a background offset lays out.
    simple.clientAreaOffset[0] = 7.0f;
    frame.Reload(&simple);
    EXPECT_EQ(frame.clientAreaOffset[0], 7.0f);
    EXPECT_EQ(At(frame.corners[1]).x, 5.0f);
    simple.bgOffset[0] = 3.0f;
    frame.Reload(&simple);
    EXPECT_EQ(At(frame.corners[1]).x, 90.0f);
    ExpectPlace(frame.background, 3, 0, 97, 40);
    EXPECT_EQ(frame.Inset(0), 10.0f);

    // A new background picture replaces that part only; a colour reaches it.
    CGmImageSet* other = Solid(4, 4, kWhite);
    simple.bgPic.schema = other;
    simple.bgVertexColor = 0x80102030;
    CGmSprite* oldBackground = frame.background;
    frame.Reload(&simple);
    EXPECT_NE(frame.background, oldBackground);
    EXPECT_EQ(frame.corners[0], keptCorner);
    EXPECT_EQ(frame.background->color, 0x80102030u);
    EXPECT_EQ(frame.background->alpha, 0x80);
    EXPECT_EQ(CGmVisual2D::s_liveCount, sprites);

    // Without a corner picture the corners go; a null set changes nothing.
    simple.cornerPic.schema = nullptr;
    frame.Reload(&simple);
    EXPECT_EQ(frame.presentParts, 0x1F0u);
    EXPECT_EQ(CGmVisual2D::s_liveCount, sprites - 4);
    frame.Reload(nullptr);
    frame.Apply(&enhanced); // a set of the other kind is not this frame's
    EXPECT_EQ(frame.presentParts, 0x1F0u);
    other->Release();
    delete other;
}

TEST_F(GuiBoundFrame, MirroredSimpleRectByPixels)
{
    // Corner quarters red, green, blue, white; border rows yellow above cyan.
    CGmImageSet* quarters = Picture(16, 16, [](uint32_t x, uint32_t y) {
        const uint32_t colours[4] = {kRed, kGreen, kBlue, kWhite};
        return colours[(y >= 8 ? 2 : 0) + (x >= 8 ? 1 : 0)];
    });
    CGmImageSet* rows = Picture(4, 4, [](uint32_t, uint32_t y) { return y < 2 ? kYellow : kCyan; });
    CGuiBoundFrameSetSimple set;
    set.cornerPic.schema = quarters;
    set.topBottomBorderPic.schema = rows;
    CGuiFrameSimpleRect frame(&set, &owner, 100.0f, 40.0f);
    owner.SetPosition({200.0f, 100.0f, 0.0f});
    frame.Update();
    Frame(1280, 1024, [&] { frame.Render(); });
    ExpectProbes({
        {{202, 102}, kRed},
        {{213, 102}, kGreen},
        {{202, 113}, kBlue},
        {{213, 113}, kWhite}, // as drawn
        {{286, 102}, kGreen},
        {{297, 102}, kRed},
        {{286, 113}, kWhite}, // left-right
        {{202, 126}, kBlue},
        {{202, 137}, kRed}, // top-bottom
        {{286, 126}, kWhite},
        {{297, 137}, kRed}, // both
        {{250, 100}, kYellow},
        {{250, 103}, kCyan}, // top border
        {{250, 136}, kCyan},
        {{250, 139}, kYellow}, // bottom, mirrored
        {{250, 120}, kBackground},
        {{300, 120}, kBackground},
    });
    for (CGmImageSet* s : {quarters, rows}) {
        s->Release();
        delete s;
    }
}

TEST_F(GuiBoundFrame, TiledEnhancedRectByPixels)
{
    CGuiBoundFrameSetEnhanced set;
    CGmImageSet* colours[4] = {Solid(8, 8, kRed), Solid(8, 8, kGreen), Solid(8, 8, kBlue), Solid(8, 8, kWhite)};
    CGmImageSet* stripes = Picture(4, 4, [](uint32_t x, uint32_t) { return x < 2 ? kYellow : kMagenta; });
    for (uint32_t i = 0; i < 4; ++i)
        set.corners[i].schema = colours[i];
    set.borders[0].schema = stripes;
    set.borderTiled[0] = 1;
    set.bgPic.schema = bg;
    set.bgVertexColor = kCyan;
    set.bgOffset[1] = 10.0f;
    CGuiFrameEnhancedRect frame(&set, &owner, 60.0f, 30.0f);
    owner.SetPosition({400.0f, 300.0f, 0.0f});
    frame.Update();
    Frame(1280, 1024, [&] { frame.Render(); });
    ExpectProbes({
        {{402, 302}, kRed},
        {{452, 302}, kGreen},
        {{458, 302}, kGreen},
        {{459, 302}, kBackground},
        {{402, 328}, kBlue},
        {{457, 328}, kWhite}, // corners
        {{420, 301}, kYellow},
        {{422, 301}, kMagenta},
        {{424, 301}, kYellow}, // tiled top border
        {{430, 308}, kBackground},
        {{430, 315}, kCyan}, // background below its offset
    });

    // The top border only: the render mask picks the parts.
    frame.renderMask = 0x010;
    Frame(1280, 1024, [&] { frame.Render(); });
    ExpectProbes({{{402, 302}, kBackground}, {{420, 301}, kYellow}, {{430, 315}, kBackground}});
    for (CGmImageSet* s : {colours[0], colours[1], colours[2], colours[3], stripes}) {
        s->Release();
        delete s;
    }
}
