// The pre-rendered background: tiling, near and far from the depth picture,
// picking against plain ray maths, the glow's timing, and by pixels on the
// headless device at 1280 x 1024 and smaller: the tiles, a 3D quad hidden by a
// painted pillar and drawn before a painted wall, the depth copied each frame
// and made again after a release.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Source/GameClasses/QmBackGround.h"
#include "Source/GameClasses/QmGameProcessor.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/TextureTestFixture.h"
#include "tests/Support/TestTempDir.h"
#include "tools/depthpic/DepthPictureWriter.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace {

// A raw image of floats, one per pixel.
CGmImage* FloatImage(uint32_t width, uint32_t height, const std::vector<float>& values)
{
    auto* image = new CGmImage;
    image->MakeRaw(width, height, GM_FMT_A8R8G8B8, width * 4);
    memcpy(image->data, values.data(), values.size() * 4);
    return image;
}

// A camera at eye looking at target over a width x height viewport.
void Aim(CGmPerspectiveCamera& camera, Vec3 eye, Vec3 target, uint32_t width, uint32_t height)
{
    camera.screenWidth = int32_t(width);
    camera.screenHeight = int32_t(height);
    camera.eye = eye;
    camera.target = target;
    camera.nearPlane = 10.0f;
    camera.farPlane = 1000.0f;
    camera.Apply({0, 0, width, height, 0.0f, 1.0f});
}

} // namespace

TEST(CQmBackGround, TilesArePowersOfTwoWithoutALimit)
{
    struct Case {
        uint32_t w, h, tiles;
    };
    for (const Case& c : {Case{1280, 1024, 2}, Case{1023, 767, 90}, Case{64, 64, 1}, Case{3, 5, 4}, Case{0, 5, 0}}) {
        CGeArray<QmTileRect> tiles;
        CQmBackGround::CutTiles(c.w, c.h, tiles);
        EXPECT_EQ(c.tiles, tiles.count) << c.w << " x " << c.h;
        uint64_t area = 0;
        std::vector<uint8_t> covered(size_t(c.w) * c.h, 0);
        for (const QmTileRect& r : tiles) {
            EXPECT_TRUE(r.w && !(r.w & (r.w - 1)) && r.h && !(r.h & (r.h - 1)));
            ASSERT_LE(r.x + r.w, c.w);
            ASSERT_LE(r.y + r.h, c.h);
            for (uint32_t y = r.y; y < r.y + r.h; ++y)
                for (uint32_t x = r.x; x < r.x + r.w; ++x)
                    ++covered[size_t(y) * c.w + x];
            area += uint64_t(r.w) * r.h;
        }
        EXPECT_EQ(uint64_t(c.w) * c.h, area);
        EXPECT_EQ(covered.end(), std::find_if(covered.begin(), covered.end(), [](uint8_t n) { return n != 1; }));
    }
    CGeArray<QmTileRect> tiles;
    CQmBackGround::CutTiles(1280, 1024, tiles);
    EXPECT_EQ(1024u, tiles[0].w);
    EXPECT_EQ(1024u, tiles[1].x);
    EXPECT_EQ(256u, tiles[1].w);
    EXPECT_EQ(1024u, tiles[1].h);
}

TEST(CQmBackGround, NearAndFarFromTheDepthPicture)
{
    std::unique_ptr<CGmImage> depth(FloatImage(2, 2, {50.0f, 1e20f, 5.0f, 700.0f}));
    struct Case {
        float nearIn, farIn, nearOut, farOut;
    };
    for (const Case& c : {Case{0, 0, 5, 700}, Case{10, 0, 10, 700}, Case{2, 0, 2, 700}, Case{0, 900, 5, 900},
                          Case{3, 800, 3, 800}}) {
        float n = c.nearIn, f = c.farIn;
        CQmBackGround::NearFarFromDepth(*depth, n, f);
        EXPECT_FLOAT_EQ(c.nearOut, n) << c.nearIn << " " << c.farIn;
        EXPECT_FLOAT_EQ(c.farOut, f) << c.nearIn << " " << c.farIn;
    }
    // Nothing but empty pixels leaves the far distance at -1e30.
    std::unique_ptr<CGmImage> empty(FloatImage(1, 1, {1e25f}));
    float n = 10.0f, f = 0.0f;
    CQmBackGround::NearFarFromDepth(*empty, n, f);
    EXPECT_FLOAT_EQ(10.0f, n);
    EXPECT_FLOAT_EQ(-1e30f, f);

    EXPECT_FLOAT_EQ(0.0f, CQmBackGround::ProjectedDepth(5.0f, 10.0f, 1000.0f));
    EXPECT_FLOAT_EQ(1.0f, CQmBackGround::ProjectedDepth(1000.0f, 10.0f, 1000.0f));
    EXPECT_FLOAT_EQ(1000.0f * 90.0f / (100.0f * 990.0f), CQmBackGround::ProjectedDepth(100.0f, 10.0f, 1000.0f));
}

TEST(CQmBackGround, HitTestAndPickPointAgainstRayMaths)
{
    CGmPerspectiveCamera camera;
    Aim(camera, {10.0f, 20.0f, -30.0f}, {10.0f, 20.0f, 70.0f}, 4, 4);
    CQmBackGround background("", "", "", &camera);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    background.picking = FloatImage(4, 4, {1000.0f, 1000.5f, -500.0f, nan, 200.0f, 200.0f, 200.0f, 200.0f, 200.0f,
                                           200.0f, 300.0f, 200.0f, 1e20f, 200.0f, 200.0f, 200.0f});
    struct Case {
        float x, y;
        bool hit;
    };
    for (const Case& c : {Case{0.5f, 0.5f, true}, Case{1.9f, 0.0f, false}, Case{2.0f, 0.2f, true},
                          Case{3.0f, 0.0f, true}, Case{0.0f, 3.0f, false}, Case{-0.5f, 1.0f, false},
                          Case{4.0f, 1.0f, false}, Case{1.0f, 4.0f, false}, Case{nan, 1.0f, false}}) {
        EXPECT_EQ(c.hit, background.HitTest(c.x, c.y)) << c.x << ", " << c.y;
    }

    // The centre of a camera looking straight ahead: eye + forward x d.
    Vec3 point;
    ASSERT_TRUE(background.PickPoint(2.0f, 2.0f, point));
    EXPECT_NEAR(10.0f, point.x, 1e-3f);
    EXPECT_NEAR(20.0f, point.y, 1e-3f);
    EXPECT_NEAR(-30.0f + 300.0f, point.z, 1e-3f);
    // Off the centre: along the pixel's ray to the plane d ahead of the eye.
    ASSERT_TRUE(background.PickPoint(0.0f, 1.0f, point));
    const float dx = (2.0f * 0.0f / 4.0f - 1.0f) / camera.projection.At(0, 0);
    const float dy = -(2.0f * 1.0f / 4.0f - 1.0f) / camera.projection.At(1, 1);
    EXPECT_NEAR(10.0f + dx * 200.0f, point.x, 1e-2f);
    EXPECT_NEAR(20.0f + dy * 200.0f, point.y, 1e-2f);
    EXPECT_NEAR(-30.0f + 200.0f, point.z, 1e-2f);
    EXPECT_FALSE(background.PickPoint(4.0f, 0.0f, point));
    EXPECT_FALSE(background.PickPoint(0.0f, -0.01f, point));

    // Without a picking picture nothing is hit.
    CQmBackGround bare("", "", "", &camera);
    EXPECT_FALSE(bare.HitTest(1.0f, 1.0f));
    EXPECT_FALSE(bare.PickPoint(1.0f, 1.0f, point));
}

TEST(CQmBackGround, GlowRisesAndFadesOverThreeTenths)
{
    QmGlowRecord glow;
    const float steps[][2] = {{1, 0.1f}, {1, 0.05f}, {1, 0.15f}, {1, 0.1f}, {0, 0.15f}, {0, 0.2f}, {0, 0.1f}};
    const float phases[] = {0.1f, 0.15f, 0.3f, 0.3f, 0.15f, 0.0f, 0.0f};
    for (size_t i = 0; i < 7; ++i) {
        CQmBackGround::StepGlow(glow, steps[i][0] != 0, steps[i][1]);
        EXPECT_NEAR(phases[i], glow.phase, 1e-6f) << i;
    }
}

namespace {

constexpr uint32_t kWall = 0xFF2040A0;
constexpr uint32_t kQuad = 0xFFFF8000;
constexpr uint32_t kClear = 0xFF000000;

// The headless device at a back-buffer size, with the 2D and 3D cameras of
// slot 0 set on it and a data tree for the pictures.
class CQmBackGroundPixels : public TextureTest {
protected:
    void Start(uint32_t width, uint32_t height)
    {
        backBufferWidth = width;
        backBufferHeight = height;
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        if (!g_pGeSimd)
            GeSimdCreate();
        TextureTest::SetUp();
        g_pGmRenderStateCache = states.get();
        CGeHub::s_currentSlot = 0;
        screen.screenWidth = 1280;
        screen.screenHeight = 1024;
        screen.boundWidth = 1280.0f;
        screen.boundHeight = 1024.0f;
        screen.Apply({0, 0, width, height, 0.0f, 1.0f});
        CGeHub::s_cameras2d[0] = &screen;
        g_gm2dScale[0][0] = 1280.0f / float(width);
        g_gm2dScale[0][1] = 1024.0f / float(height);
        g_halfPixelOffsetX = g_halfPixelOffsetY = -0.5f;
        CGmVisual2D::s_pixelOffsetRead = 0;
        Aim(camera, {0.0f, 0.0f, 0.0f}, {0.0f, 0.0f, 1.0f}, width, height);
        CGeHub::s_cameras3d[0] = &camera;
        g_dataRoot = "";
    }

    void SetUp() override {}

    void TearDown() override
    {
        CGeHub::s_cameras2d[0] = nullptr;
        CGeHub::s_cameras3d[0] = nullptr;
        g_gm2dScale[0][0] = g_gm2dScale[0][1] = 1.0f;
        g_pGmRenderStateCache = nullptr;
        TextureTest::TearDown();
    }

    // A 1280 x 1024 colour picture: the wall colour with a red square at
    // the top left (0..127) and a green column from x 1024 on.
    std::string ColourPicture()
    {
        imagefixture::TgaSpec spec;
        spec.width = 1280;
        spec.height = 1024;
        spec.topFirst = true;
        spec.pixels.resize(size_t(1280) * 1024 * 4);
        for (uint32_t y = 0; y < 1024; ++y)
            for (uint32_t x = 0; x < 1280; ++x) {
                const uint32_t c = x < 128 && y < 128 ? 0xFFFF0000 : (x >= 1024 ? 0xFF00FF00 : kWall);
                memcpy(&spec.pixels[(size_t(y) * 1280 + x) * 4], &c, 4);
            }
        const imagefixture::Bytes bytes = imagefixture::MakeTga(spec);
        return dir.Write("colour.tga", std::string(bytes.begin(), bytes.end()));
    }

    // A wall at 500 with a pillar at 100 over the middle fifth of the width.
    std::string DepthPicture(uint32_t width, uint32_t height)
    {
        ::DepthPicture picture(width, height, 500.0f);
        picture.Fill(width * 2 / 5, 0, width * 3 / 5, height, 100.0f);
        const std::vector<uint8_t> bytes = picture.Serialize();
        return dir.Write("depth.tga", std::string(bytes.begin(), bytes.end()));
    }

    // A quad at view depth d filling the screen, drawn through the camera.
    void DrawQuadAt(float d, uint32_t colour)
    {
        struct Vertex {
            float x, y, z;
            uint32_t colour;
        };
        const float s = d * 2.0f;
        const Vertex vertices[4] = {{-s, s, d, colour}, {s, s, d, colour}, {-s, -s, d, colour}, {s, -s, d, colour}};
        IDirect3DDevice9* device = wrapper->GetDevice();
        wrapper->ResetWorldTransform();
        camera.ApplyViewProjection(wrapper.get());
        wrapper->SetLighting(0);
        wrapper->SetCullMode(0);
        wrapper->SetZEnable(1);
        device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        device->SetTexture(0, nullptr);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        wrapper->SetFVF(0x101);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, sizeof(Vertex));
    }

    // A pre-transformed full-screen quad at window depth z.
    void DrawScreenQuadAt(float z, uint32_t colour)
    {
        struct Vertex {
            float x, y, z, rhw;
            uint32_t colour;
        };
        const float w = float(backBufferWidth), h = float(backBufferHeight);
        const Vertex vertices[4] = {{-0.5f, -0.5f, z, 1, colour}, {w - 0.5f, -0.5f, z, 1, colour},
                                    {-0.5f, h - 0.5f, z, 1, colour}, {w - 0.5f, h - 0.5f, z, 1, colour}};
        IDirect3DDevice9* device = wrapper->GetDevice();
        wrapper->SetZEnable(1);
        wrapper->SetZWriteEnable(0);
        device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESSEQUAL);
        device->SetTexture(0, nullptr);
        device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        wrapper->SetFVF(0x103);
        device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, vertices, sizeof(Vertex));
    }

    // Clears, runs draw inside a scene, presents, and keeps what was shown.
    void Frame(const std::function<void()>& draw)
    {
        wrapper->Clear(GE_CLEAR_TARGET | GE_CLEAR_ZBUFFER | GE_CLEAR_STENCIL, kClear, 1.0f);
        draw();
        wrapper->BeginScene();
        wrapper->EndScene();
        pixels.assign(size_t(backBufferWidth) * backBufferHeight, 0);
        D3d9CaptureNextPresent(wrapper->GetDevice(), pixels.data(), backBufferWidth, backBufferHeight);
        wrapper->Present();
    }

    uint32_t At(uint32_t x, uint32_t y) const { return pixels[size_t(y) * backBufferWidth + x]; }

    CTestTempDir dir;
    CGmStaticCamera screen;
    CGmPerspectiveCamera camera;
    std::vector<uint32_t> pixels;
};

} // namespace

TEST_F(CQmBackGroundPixels, TilesCoverTheScreenAtTheReferenceSizeAndSmaller)
{
    for (uint32_t width : {1280u, 320u}) {
        Start(width, width * 4 / 5);
        const uint32_t height = backBufferHeight;
        {
            CQmBackGround background(ColourPicture().c_str(), "", "", &camera);
            EXPECT_EQ(width == 1280 ? 2u : 2u, background.tileSprites.count);
            Frame([&] {
                wrapper->BeginScene();
                background.DrawColour();
                wrapper->EndScene();
            });
            const uint32_t red = width / 10, green = width * 4 / 5;
            EXPECT_EQ(0xFFFF0000, At(0, 0));
            EXPECT_EQ(0xFFFF0000, At(red - 2, red - 2));
            EXPECT_EQ(kWall, At(red + 2, red + 2));
            EXPECT_EQ(kWall, At(green - 2, height - 1));
            EXPECT_EQ(0xFF00FF00, At(green + 1, height / 2));
            EXPECT_EQ(0xFF00FF00, At(width - 1, height - 1));
        }
        TearDown();
    }
}

TEST_F(CQmBackGroundPixels, TheDepthHidesAQuadBehindThePillarAndShowsItBeforeTheWall)
{
    for (uint32_t width : {1280u, 256u}) {
        Start(width, width * 4 / 5);
        const uint32_t height = backBufferHeight;
        {
            CQmBackGround background("", DepthPicture(1280, 1024).c_str(), "", &camera);
            ASSERT_NE(nullptr, background.depth);
            EXPECT_EQ(width, background.depth->width);
            Frame([&] {
                background.RestoreDepth();
                wrapper->BeginScene();
                DrawQuadAt(300.0f, kQuad);
                wrapper->EndScene();
            });
            EXPECT_EQ(1, g_backgroundDepthSurfaces);
            EXPECT_EQ(kQuad, At(width / 10, height / 2));      // before the wall
            EXPECT_EQ(kClear, At(width / 2, height / 2));      // behind the pillar
            EXPECT_EQ(kQuad, At(width * 9 / 10, height / 4));

            // The copied depth is f (d - n) / (d (f - n)): a screen quad just in
            // front of it shows, one just behind does not.
            const float wall = CQmBackGround::ProjectedDepth(500.0f, 10.0f, 1000.0f);
            const float pillar = CQmBackGround::ProjectedDepth(100.0f, 10.0f, 1000.0f);
            for (float z : {wall, pillar}) {
                Frame([&] {
                    background.RestoreDepth();
                    wrapper->BeginScene();
                    DrawScreenQuadAt(z - 0.002f, 0xFF0000FF);
                    DrawScreenQuadAt(z + 0.002f, 0xFFFFFFFF);
                    wrapper->EndScene();
                });
                const uint32_t x = z == wall ? width / 10 : width / 2;
                EXPECT_EQ(0xFF0000FF, At(x, height / 2)) << z;
                // Behind the pillar both are hidden; before the wall both show.
                const uint32_t other = z == wall ? width / 2 : width / 10;
                EXPECT_EQ(z == wall ? kClear : 0xFFFFFFFF, At(other, height / 2)) << z;
            }

            // Released by the resource manager, it is made again before the copy.
            manager.ReleaseByType(GE_RES_BACKGROUND);
            EXPECT_EQ(nullptr, background.depthSurface);
            EXPECT_EQ(0, g_backgroundDepthSurfaces);
            Frame([&] {
                background.RestoreDepth();
                wrapper->BeginScene();
                DrawQuadAt(300.0f, kQuad);
                wrapper->EndScene();
            });
            EXPECT_NE(nullptr, background.depthSurface);
            EXPECT_EQ(kClear, At(width / 2, height / 2));
            EXPECT_EQ(kQuad, At(width / 10, height / 2));
        }
        EXPECT_EQ(0, g_backgroundDepthSurfaces);
        TearDown();
    }
}

// The first copy is usually made in the middle of a game frame, after sprites
// left the alpha test on and a texture of transparent pixels in stage 0: the
// grid is drawn whatever they left, and their states stay as they were.
TEST_F(CQmBackGroundPixels, TheDepthIsFilledWhateverAlphaStatesTheFrameLeft)
{
    Start(256, 204);
    IDirect3DDevice9* device = wrapper->GetDevice();
    IDirect3DTexture9* clear = nullptr;
    ASSERT_EQ(D3D_OK, device->CreateTexture(1, 1, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &clear, nullptr));
    D3DLOCKED_RECT locked = {};
    ASSERT_EQ(D3D_OK, clear->LockRect(0, &locked, nullptr, 0));
    *static_cast<uint32_t*>(locked.pBits) = 0x00FFFFFF;
    clear->UnlockRect(0);
    {
        CQmBackGround background("", DepthPicture(1280, 1024).c_str(), "", &camera);
        Frame([&] {
            device->SetTexture(0, clear);
            device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
            device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
            device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
            device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
            device->SetRenderState(D3DRS_ALPHAREF, 3);
            background.RestoreDepth();
            DWORD alphaTest = FALSE, alphaOp = 0, alphaArg = 0;
            device->GetRenderState(D3DRS_ALPHATESTENABLE, &alphaTest);
            device->GetTextureStageState(0, D3DTSS_ALPHAOP, &alphaOp);
            device->GetTextureStageState(0, D3DTSS_ALPHAARG1, &alphaArg);
            EXPECT_EQ(DWORD(TRUE), alphaTest);
            EXPECT_EQ(DWORD(D3DTOP_MODULATE), alphaOp);
            EXPECT_EQ(DWORD(D3DTA_TEXTURE), alphaArg);
            device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
            wrapper->BeginScene();
            DrawQuadAt(300.0f, kQuad);
            wrapper->EndScene();
        });
        // Every pixel of the pillar hides the quad, not only some.
        for (uint32_t x = 256 * 2 / 5 + 1; x < 256 * 3 / 5 - 1; ++x)
            for (uint32_t y : {0u, 101u, 202u})
                ASSERT_EQ(kClear, At(x, y)) << x << ", " << y;
        EXPECT_EQ(kQuad, At(10, 102));
    }
    device->SetTexture(0, nullptr);
    clear->Release();
    TearDown();
}

TEST_F(CQmBackGroundPixels, MissingPicturesSkipTheirParts)
{
    Start(64, 64);
    CQmBackGround background("nowhere/colour.tga", "nowhere/depth.tga", "nowhere/pick.tga", &camera);
    EXPECT_EQ(0u, background.tileSprites.count);
    EXPECT_EQ(nullptr, background.depth);
    EXPECT_FALSE(background.HitTest(1.0f, 1.0f));
    Frame([&] {
        background.RestoreDepth();
        wrapper->BeginScene();
        background.DrawColour();
        background.DrawOverlays();
        DrawQuadAt(300.0f, kQuad);
        wrapper->EndScene();
    });
    EXPECT_EQ(nullptr, background.depthSurface);
    EXPECT_EQ(kQuad, At(32, 32));
}
