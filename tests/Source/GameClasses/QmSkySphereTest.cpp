// The sky sphere: its geometry and colours, the scroll, and on the headless
// device: nothing drawn without its texture or while inactive, drawn behind
// the scene, and the states it leaves.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Source/GameClasses/QmSkySphere.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/TextureTestFixture.h"
#include "tests/Source/GameClasses/LocationFixtures.h"

#include <cmath>

namespace {

const Vec4 kCentre = {1.0f, 1.0f, 1.0f, 1.0f};
const Vec4 kRim = {0.0f, 0.0f, 1.0f, 1.0f};

} // namespace

TEST_F(LocationTest, CQmSkySphereGeometryColoursAndScroll)
{
    CQmSkySphere sky(kCentre, 0.5f, kRim, "");
    const QmSkyVertex* v = sky.Vertices();
    EXPECT_FLOAT_EQ(80.0f, v[0].y);
    EXPECT_FLOAT_EQ(0.0f, v[0].x);
    EXPECT_EQ(0xE6FFFFFFu, v[0].colour); // centre colour, alpha 0.9
    for (uint32_t ring = 1; ring <= 8; ++ring) {
        const float polar = ring * 0.4712389f * 0.125f;
        for (uint32_t j = 0; j < 24; j += 5) {
            const QmSkyVertex& p = v[24 * (ring - 1) + j + 1];
            EXPECT_NEAR(3000.0f * std::sin(polar), std::sqrt(p.x * p.x + p.z * p.z), 1e-2f) << ring;
            EXPECT_NEAR(3000.0f * std::cos(polar) - 2920.0f, p.y, 1e-2f) << ring;
            if (p.x * p.x + p.z * p.z > 900000.0f) {
                EXPECT_EQ(0x000000FFu, p.colour) << ring; // pure rim, alpha 0
            }
        }
    }
    // The rim ring lies past 948.7 from the axis.
    EXPECT_GT(std::sqrt(v[169].x * v[169].x + v[169].z * v[169].z), 948.7f);
    const uint16_t* index = sky.Indices();
    EXPECT_EQ(0, index[69]);
    EXPECT_EQ(24, index[70]);
    EXPECT_EQ(1, index[71]);
    for (uint32_t i = 0; i < 1080; ++i)
        EXPECT_LT(index[i], 193) << i;

    // No texture: no scroll, even when active.
    sky.active = 1;
    Frame(1.0);
    sky.Update();
    EXPECT_FLOAT_EQ(0.0f, sky.scroll);
}

TEST_F(LocationTest, CQmSkySphereScrollKeepsItsFraction)
{
    imagefixture::TgaSpec spec;
    spec.width = spec.height = 2;
    spec.pixels.assign(16, 0xFF);
    const imagefixture::Bytes bytes = imagefixture::MakeTga(spec);
    tree.dir.Write("sky/clouds.tga", std::string(bytes.begin(), bytes.end()));
    CQmSkySphere sky(kCentre, 0.5f, kRim, "sky/clouds.tga");
    ASSERT_NE(nullptr, sky.texture);
    Frame(0.4);
    sky.Update();
    EXPECT_FLOAT_EQ(0.0f, sky.scroll); // inactive
    sky.active = 1;
    for (int i = 0; i < 6; ++i) {
        Frame(0.4);
        sky.Update();
        EXPECT_GE(sky.scroll, 0.0f);
        EXPECT_LE(sky.scroll, 1.0f);
    }
    EXPECT_NEAR(std::fmod(6 * 0.4f * 0.5f, 1.0f), sky.scroll, 1e-5f);
    sky.speed = 7.3f;
    Frame(0.5);
    sky.Update();
    EXPECT_NEAR(std::fmod(0.2f + 0.5f * 7.3f, 1.0f), sky.scroll, 1e-4f);
}

namespace {

class CQmSkySpherePixels : public TextureTest {
protected:
    void SetUp() override
    {
        backBufferWidth = 64;
        backBufferHeight = 64;
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        if (!g_pGeSimd)
            GeSimdCreate();
        TextureTest::SetUp();
        g_pGmRenderStateCache = states.get();
        camera.screenWidth = camera.screenHeight = 64;
        camera.eye = {0.0f, 0.0f, 0.0f};
        camera.target = {0.0f, 1.0f, 0.0f}; // looking up into the dome
        camera.up = {0.0f, 0.0f, 1.0f};
        camera.Apply({0, 0, 64, 64, 0.0f, 1.0f});
        CGeHub::s_currentSlot = 0;
        CGeHub::s_cameras3d[0] = &camera;
        imagefixture::TgaSpec spec;
        spec.width = spec.height = 4;
        spec.pixels.resize(64);
        for (size_t i = 0; i < 16; ++i) {
            const uint32_t red = 0xFFFF0000;
            memcpy(&spec.pixels[i * 4], &red, 4);
        }
        const imagefixture::Bytes bytes = imagefixture::MakeTga(spec);
        dir.Write("clouds.tga", std::string(bytes.begin(), bytes.end()));
        g_dataRoot = (dir.Path() + "/").c_str();
    }
    void TearDown() override
    {
        g_dataRoot = "";
        CGeHub::s_cameras3d[0] = nullptr;
        g_pGmRenderStateCache = nullptr;
        TextureTest::TearDown();
    }
    uint32_t Centre(CQmSkySphere& sky, bool drawQuadAfter)
    {
        std::vector<uint32_t> pixels(64 * 64, 0);
        wrapper->Clear(GE_CLEAR_TARGET | GE_CLEAR_ZBUFFER, 0xFF000000, 1.0f);
        wrapper->BeginScene();
        camera.ApplyViewProjection(wrapper.get());
        sky.Render();
        if (drawQuadAfter) {
            // The scene drawn after the sky covers it wherever it draws.
            struct Vertex {
                float x, y, z, rhw;
                uint32_t colour;
            };
            const Vertex quad[4] = {{-0.5f, -0.5f, 0.9f, 1, 0xFF00FF00}, {63.5f, -0.5f, 0.9f, 1, 0xFF00FF00},
                                    {-0.5f, 63.5f, 0.9f, 1, 0xFF00FF00}, {63.5f, 63.5f, 0.9f, 1, 0xFF00FF00}};
            wrapper->SetZEnable(1);
            wrapper->SetZWriteEnable(1);
            wrapper->GetDevice()->SetTexture(0, nullptr);
            wrapper->GetDevice()->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
            wrapper->GetDevice()->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
            wrapper->SetFVF(0x103);
            wrapper->GetDevice()->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
        }
        wrapper->EndScene();
        D3d9CaptureNextPresent(wrapper->GetDevice(), pixels.data(), 64, 64);
        wrapper->Present();
        return pixels[32 * 64 + 32];
    }
    CTestTempDir dir;
    CGmPerspectiveCamera camera;
};

} // namespace

TEST_F(CQmSkySpherePixels, DrawsOnlyWithTextureWhileActiveAndBehindTheScene)
{
    CQmSkySphere bare(kCentre, 0.0f, kRim, "missing.tga");
    bare.active = 1;
    EXPECT_EQ(0xFF000000u, Centre(bare, false));

    CQmSkySphere sky(kCentre, 0.0f, kRim, "clouds.tga");
    EXPECT_EQ(0xFF000000u, Centre(sky, false)); // inactive
    sky.active = 1;
    const uint32_t top = Centre(sky, false);
    EXPECT_NE(0xFF000000u, top);
    // At the top the texture shows through nine tenths: mostly red.
    EXPECT_GT((top >> 16) & 0xFF, 200u);
    EXPECT_EQ(0xFF00FF00u, Centre(sky, true));

    // The states it leaves: depth test and writes off, lighting off, blending
    // source alpha over inverse source alpha, modulate, no texture transform.
    IDirect3DDevice9* device = wrapper->GetDevice();
    Centre(sky, false);
    DWORD value = 0;
    device->GetRenderState(D3DRS_ZENABLE, &value);
    EXPECT_EQ(0u, value);
    device->GetRenderState(D3DRS_ZWRITEENABLE, &value);
    EXPECT_EQ(0u, value);
    device->GetRenderState(D3DRS_LIGHTING, &value);
    EXPECT_EQ(0u, value);
    device->GetRenderState(D3DRS_SRCBLEND, &value);
    EXPECT_EQ(DWORD(D3DBLEND_SRCALPHA), value);
    device->GetRenderState(D3DRS_DESTBLEND, &value);
    EXPECT_EQ(DWORD(D3DBLEND_INVSRCALPHA), value);
    device->GetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, &value);
    EXPECT_EQ(DWORD(D3DMCS_MATERIAL), value);
    device->GetTextureStageState(0, D3DTSS_COLOROP, &value);
    EXPECT_EQ(DWORD(D3DTOP_MODULATE), value);
    device->GetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, &value);
    EXPECT_EQ(DWORD(D3DTTFF_DISABLE), value);
}
