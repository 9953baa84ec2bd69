// Sprites placed and drawn on the headless device and checked by pixels, at
// the reference screen size and at a smaller back buffer where the 2D camera
// scales reference pixels down; and the scene sprite's projection.
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmVideoDecoder.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/Screen2dFixture.h"
#include "tests/Engine/Core/Gm/VideoFixtures.h"
#include "tests/Support/TestTempDir.h"

#include <functional>

namespace {

constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kGreen = 0xFF00FF00;
constexpr uint32_t kBlue = 0xFF0000FF;
constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBackground = Screen2dTest::kBackground;

// 64 by 64 pixels: red, green, blue and white quarters (top-left,
// top-right, bottom-left, bottom-right), or one colour.
CGmTexture* QuarterTexture(uint32_t single = 0)
{
    CGmTexture* texture = new CGmTexture();
    texture->Create(64, 64, GM_FMT_A8R8G8B8, false);
    uint32_t pitch = 0;
    uint8_t* pixels = texture->GetFrameImage(&pitch);
    for (uint32_t y = 0; y < 64; ++y)
        for (uint32_t x = 0; x < 64; ++x) {
            const uint32_t quarter = (y >= 32 ? 2 : 0) + (x >= 32 ? 1 : 0);
            const uint32_t colours[4] = {kRed, kGreen, kBlue, kWhite};
            reinterpret_cast<uint32_t*>(pixels + y * pitch)[x] = single ? single : colours[quarter];
        }
    return texture;
}

CGmImageSet SetOf(CGmTexture* texture)
{
    CGmImageSet set;
    set.Init(texture, 1, 1);
    texture->Release();
    return set;
}

class GmSprite : public Screen2dTest {};

struct Probe {
    uint32_t x, y, colour;
};

// The sampler filters linearly: a texel beside a colour edge may take 1 of
// its neighbour.
void ExpectProbes(const GmSprite& test, std::initializer_list<Probe> probes, int tolerance = 2)
{
    for (const Probe& p : probes) {
        EXPECT_LE(ColourDistance(p.colour, test.At(p.x, p.y)), tolerance)
            << "at " << p.x << ", " << p.y << ": " << std::hex << test.At(p.x, p.y) << " for " << p.colour;
    }
}

} // namespace

TEST_F(GmSprite, HotPointSubRectangleAndMirroringAtTheReferenceSize)
{
    // The sprite's top-left texel lands at its position minus its hot point.
    CGmSprite sprite(SetOf(QuarterTexture()));
    sprite.hotPoints[0] = {16.0f, 16.0f};
    sprite.frame.SetPosition({100.0f, 50.0f, 0.0f});
    Frame(1280, 1024, [&] { sprite.Render(); });
    ExpectProbes(*this, {{84, 34, kRed},
                         {83, 34, kBackground},
                         {84, 33, kBackground},
                         {115, 65, kRed},
                         {116, 34, kGreen},
                         {84, 66, kBlue},
                         {147, 97, kWhite},
                         {148, 97, kBackground},
                         {147, 98, kBackground}});

    // The right half only, at its own place.
    sprite.SetSubRect({0.5f, 0.0f, 0.5f, 1.0f});
    Frame(1280, 1024, [&] { sprite.Render(); });
    ExpectProbes(*this, {{115, 40, kBackground}, {116, 34, kGreen}, {147, 97, kWhite}, {148, 60, kBackground}});

    // Mirrored both ways: the white quarter comes first.
    sprite.SetSubRect({0.0f, 0.0f, 1.0f, 1.0f});
    sprite.SetUVMode(3);
    Frame(1280, 1024, [&] { sprite.Render(); });
    ExpectProbes(*this, {{84, 34, kWhite}, {147, 34, kBlue}, {84, 97, kGreen}, {147, 97, kRed}});

    // A mirrored hot point is taken from the other side of the frame.
    sprite.mirrorChanged = 1;
    sprite.quadDirty = 1;
    Frame(1280, 1024, [&] { sprite.Render(); });
    ExpectProbes(*this, {{52, 2, kWhite}, {51, 2, kBackground}, {115, 65, kRed}, {116, 65, kBackground}});

    // Invisible: nothing drawn.
    sprite.visible = 0;
    Frame(1280, 1024, [&] { sprite.Render(); });
    ExpectProbes(*this, {{60, 10, kBackground}, {100, 50, kBackground}});
}

TEST_F(GmSprite, BlendModesMixWithTheTarget)
{
    // The target is 0x40 grey; the sprite is red at alpha 128.
    const struct {
        uint32_t mode;
        uint32_t expected;
    } cases[] = {
        {0, 0xFFA0A0A0}, // the vertex colour alone (white) half over the grey
        {1, kRed},       // opaque
        {2, 0xFFBF4040}, // 0x40 + 0xFF * 0.5
        {3, 0xFF400000}, // target x source colour
        {4, 0xFF800000}, // twice that
    };
    for (const auto& c : cases) {
        CGmSprite sprite(SetOf(QuarterTexture(kRed)));
        sprite.SetBlendMode(c.mode);
        sprite.SetAlpha(128);
        sprite.frame.SetPosition({10.0f, 10.0f, 0.0f});
        Frame(320, 256, [&] { sprite.Render(); });
        // 320 by 256 pixels: a quarter of the reference size in both directions.
        EXPECT_LE(ColourDistance(c.expected & 0xFFFFFF, At(12, 12) & 0xFFFFFF), 2)
            << "mode " << c.mode << ": " << std::hex << At(12, 12);
    }
}

TEST_F(GmSprite, SnappingRoundsCornersOutward)
{
    for (uint8_t snap : {0, 1}) {
        CGmSprite sprite(SetOf(QuarterTexture(kWhite)));
        sprite.pixelSnapping = snap;
        sprite.frame.SetPosition({10.3f, 20.3f, 0.0f});
        sprite.SetSize(10.0f, 10.0f);
        Frame(1280, 1024, [&] { sprite.Render(); });
        EXPECT_FLOAT_EQ(snap ? 10.0f : 10.3f, sprite.quad->vertices[0].x);
        EXPECT_FLOAT_EQ(snap ? 21.0f : 20.3f, sprite.quad->vertices[1].x);
        EXPECT_FLOAT_EQ(snap ? 31.0f : 30.3f, sprite.quad->vertices[3].y);
        ExpectProbes(
            *this, {{10, 20, kWhite}, {19, 29, kWhite}, {20, 30, snap ? kWhite : kBackground}, {21, 31, kBackground}});
    }
    // The global switch snaps every sprite.
    CGmSprite::s_globalPixelSnapping = 1;
    CGmSprite sprite(SetOf(QuarterTexture(kWhite)));
    sprite.frame.SetPosition({10.3f, 20.3f, 0.0f});
    Frame(1280, 1024, [&] { sprite.Render(); });
    CGmSprite::s_globalPixelSnapping = 0;
    EXPECT_FLOAT_EQ(10.0f, sprite.quad->vertices[0].x);
    EXPECT_FLOAT_EQ(75.0f, sprite.quad->vertices[3].x);
}

TEST_F(GmSprite, ASmallerBackBufferScalesPositionsButKeepsPixelSizes)
{
    // At 640 by 512 the 2D camera halves reference pixels, and a new sprite
    // is twice its frame's size in reference pixels: 64 by 64 on screen.
    Frame(640, 512, [] {});
    CGmSprite scaled(SetOf(QuarterTexture()));
    EXPECT_FLOAT_EQ(128.0f, scaled.size[0]);
    scaled.hotPoints[0] = {16.0f, 16.0f};
    scaled.frame.SetPosition({200.0f, 100.0f, 0.0f});
    Frame(640, 512, [&] { scaled.Render(); });
    ExpectProbes(*this, {{92, 42, kRed},
                         {91, 42, kBackground},
                         {123, 73, kRed},
                         {124, 42, kGreen},
                         {92, 74, kBlue},
                         {155, 105, kWhite},
                         {156, 105, kBackground},
                         {155, 106, kBackground}});

    // A clip rectangle in reference pixels cuts the sprite on the device.
    const CGeRect clip = {0.0f, 0.0f, 232.0f, 1024.0f};
    scaled.SetClipRect(&clip);
    Frame(640, 512, [&] { scaled.Render(); });
    ExpectProbes(*this, {{92, 42, kRed}, {115, 42, kRed}, {116, 42, kBackground}, {150, 100, kBackground}});
}

TEST_F(GmSprite, AVideoSpriteShowsTheFrameItWasSetTo)
{
    CTestTempDir dir;
    videofixture::ClipSpec spec;
    spec.frames = 16;
    const videofixture::Clip clip = videofixture::MakeTheoraClip(spec);
    CGmVideoDecoder* video = new CGmVideoDecoder();
    ASSERT_TRUE(video->Open(imagefixture::FileOver(dir / "clip.ogv", clip.bytes)));
    CGmImageSet set;
    set.InitFromVideo(video);
    video->Release();
    CGmSprite sprite(set);
    sprite.frame.SetPosition({64.0f, 32.0f, 0.0f});
    for (uint32_t n : {11u, 4u}) {
        sprite.SetFrame(n);
        Frame(1280, 1024, [&] { sprite.Render(); });
        std::vector<uint32_t> picture(64 * 48);
        for (uint32_t y = 0; y < 48; ++y)
            for (uint32_t x = 0; x < 64; ++x)
                picture[y * 64 + x] = At(64 + x, 32 + y);
        EXPECT_EQ(int(n),
                  videofixture::ReadPictureIndex(reinterpret_cast<const uint8_t*>(picture.data()), 64 * 4, 64, 48));
    }
    EXPECT_EQ(kBackground, At(64 + 64, 40));
    EXPECT_EQ(kBackground, At(70, 32 + 48));
}

TEST_F(GmSprite, AnAnimSpriteStandsAtItsOriginsProjection)
{
    // Looking from (0, 0, -100) at the origin through a 640 by 512 viewport
    // of a 1280 by 1024 screen: c = 1, the y scale 1.25.
    CGmPerspectiveCamera scene;
    scene.screenWidth = 1280;
    scene.screenHeight = 1024;
    scene.eye = {0.0f, 0.0f, -100.0f};
    scene.Apply({0, 0, 640, 512, 0.0f, 1.0f});
    CGeHub::s_cameras3d[0] = &scene;
    CGmAnimSprite sprite(SetOf(QuarterTexture()));
    sprite.hotPoints[0] = {32.0f, 32.0f};
    const struct {
        Vec3 position;
        float scale;
        float x0, y0, x3, y3;
    } cases[] = {
        // The centre at the viewport's centre, 64 units at depth 100 over 640 pixels.
        {{0.0f, 0.0f, 0.0f}, 1.0f, 320 - 102.4f, 256 - 102.4f, 320 + 102.4f, 256 + 102.4f},
        {{0.0f, 0.0f, 0.0f}, 0.5f, 320 - 51.2f, 256 - 51.2f, 320 + 51.2f, 256 + 51.2f},
        // Twice as far: half the size; up in the world is up on the screen.
        {{0.0f, 50.0f, 100.0f}, 1.0f, 320 - 51.2f, 256 - 80 - 51.2f, 320 + 51.2f, 256 - 80 + 51.2f},
    };
    for (const auto& c : cases) {
        sprite.frame.SetPosition(c.position);
        sprite.frame.SetScale({c.scale, c.scale, c.scale});
        sprite.frame.UpdateWorldMatrix();
        sprite.PlaceQuad(3);
        EXPECT_NEAR(c.x0, sprite.quad->vertices[0].x, 1e-3f);
        EXPECT_NEAR(c.y0, sprite.quad->vertices[0].y, 1e-3f);
        EXPECT_NEAR(c.x3, sprite.quad->vertices[3].x, 1e-3f);
        EXPECT_NEAR(c.y3, sprite.quad->vertices[3].y, 1e-3f);
        EXPECT_FLOAT_EQ(1.0f, sprite.quad->vertices[0].rhw);
    }
    // Drawn: the red quarter top-left of the centre, white bottom-right.
    sprite.frame.SetPosition({0.0f, 0.0f, 0.0f});
    sprite.frame.SetScale({1.0f, 1.0f, 1.0f});
    // PlaceQuad called from outside locks the placement until the next draw.
    EXPECT_EQ(1, sprite.placementLocked);
    sprite.placementLocked = 0;
    Frame(640, 512, [&] { sprite.Render(); });
    ExpectProbes(*this, {{300, 230, kRed},
                         {340, 230, kGreen},
                         {300, 280, kBlue},
                         {340, 280, kWhite},
                         {210, 256, kBackground},
                         {430, 256, kBackground}});
    CGeHub::s_cameras3d[0] = nullptr;
}
