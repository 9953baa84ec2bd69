// 10,000 screen sprites a frame (four textures, four blend modes mixed)
// through CGmSprite and the shared quad buffer, against the same quads
// written straight into one vertex buffer and drawn through the platform's
// Direct3D-shaped device, in the same run.
//
// Every sprite is placed again each frame (the 2D camera counts as moved), so
// the sprite side pays for its placement, the render-state cache's set-up and
// one draw per sprite; standing sprites upload nothing, moving ones (the
// second run) upload their four vertices between draws. The reference writes
// all quads in one lock each frame and sends a state only when it changes. The
// back buffer is 64 by 64 pixels and the quads cover a few pixels each, so
// the rasteriser's share is small on both sides.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Platform/D3d9/D3d9Gl.h"
#include "bench/Support/Bench2dScene.h"
#include "bench/Support/BenchDevice.h"
#include "bench/Support/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kSpriteCount = 10000;
constexpr int kTextureCount = 4;
constexpr uint32_t kBlendModes[] = {1, 0, 2, 5};
constexpr float kSpriteSide = 48.0f; // reference pixels: 2.4 device pixels at 64 / 1280

struct SpritePlan {
    float x, y;
    int texture;
    uint32_t blend;
};

std::vector<SpritePlan> MakePlan()
{
    std::vector<SpritePlan> plan(kSpriteCount);
    uint32_t seed = 12345;
    for (int i = 0; i < kSpriteCount; ++i) {
        seed = seed * 1103515245u + 12345u;
        plan[i].x = float((seed >> 8) % 1200);
        seed = seed * 1103515245u + 12345u;
        plan[i].y = float((seed >> 8) % 1000);
        plan[i].texture = (i / 3) % kTextureCount;
        plan[i].blend = kBlendModes[(i / 5) % 4];
    }
    return plan;
}

CGmTexture* MakeTexture(int index)
{
    CGmTexture* texture = new CGmTexture();
    texture->Create(8, 8, GM_FMT_A8R8G8B8, false);
    uint32_t pitch = 0;
    uint8_t* pixels = texture->GetFrameImage(&pitch);
    for (uint32_t y = 0; y < 8; ++y)
        for (uint32_t x = 0; x < 8; ++x)
            reinterpret_cast<uint32_t*>(pixels + y * pitch)[x] = 0x80000000u | (0x3F << (index * 6)) | (x * 16 + y);
    return texture;
}

// The 2D scene of slot 0 with the benchmark's textures.
class CSpriteScene : public CBench2dScene {
public:
    CSpriteScene()
    {
        for (int t = 0; t < kTextureCount; ++t)
            textures[t] = MakeTexture(t);
    }
    ~CSpriteScene()
    {
        for (CGmTexture* texture : textures)
            texture->Release();
    }

    CGmTexture* textures[kTextureCount] = {};
};

void BM_Sprites(benchmark::State& state)
{
    CBenchDevice device;
    CSpriteScene scene;
    const std::vector<SpritePlan> plan = MakePlan();
    std::vector<std::unique_ptr<CGmSprite>> sprites;
    for (const SpritePlan& p : plan) {
        CGmImageSet images;
        images.Init(scene.textures[p.texture], 1, 1);
        sprites.emplace_back(new CGmSprite(images));
        CGmSprite& sprite = *sprites.back();
        sprite.SetSize(kSpriteSide, kSpriteSide);
        sprite.hotPoints[0] = {4.0f, 4.0f};
        sprite.SetBlendMode(p.blend);
        sprite.frame.SetPosition({p.x, p.y, 0.0f});
    }
    const bool moving = state.range(0) != 0;
    int frameNumber = 0;
    auto frame = [&]() {
        g_pGmDevice->Clear(GE_CLEAR_TARGET, 0xFF000000, 1.0f);
        g_pGmDevice->BeginScene();
        // Moving sprites step one reference pixel to and fro: every quad is
        // uploaded again each frame.
        const float step = moving ? float(++frameNumber & 1) : 0.0f;
        for (size_t i = 0; i < sprites.size(); ++i) {
            if (moving)
                sprites[i]->frame.SetPosition({plan[i].x + step, plan[i].y, 0.0f});
            sprites[i]->Render();
        }
        g_pGmDevice->EndScene();
        glFinish();
    };
    frame();
    for (auto _ : state)
        frame();
    state.SetItemsProcessed(state.iterations() * kSpriteCount);
}
BENCHMARK(BM_Sprites)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void SetBlend(IDirect3DDevice9* d3d, uint32_t mode)
{
    const bool opaque = mode == 1;
    d3d->SetRenderState(D3DRS_ALPHABLENDENABLE, opaque ? FALSE : TRUE);
    d3d->SetRenderState(D3DRS_SRCBLEND, opaque ? D3DBLEND_ONE : D3DBLEND_SRCALPHA);
    d3d->SetRenderState(D3DRS_DESTBLEND, opaque ? D3DBLEND_ZERO : (mode == 2 ? D3DBLEND_ONE : D3DBLEND_INVSRCALPHA));
    d3d->SetRenderState(D3DRS_ALPHATESTENABLE, mode == 5);
    d3d->SetTextureStageState(0, D3DTSS_ALPHAOP, opaque ? D3DTOP_DISABLE : D3DTOP_MODULATE);
}

void BM_QuadsStraight(benchmark::State& state)
{
    CBenchDevice device;
    CSpriteScene scene;
    IDirect3DDevice9* d3d = g_pGmDevice->GetDevice();
    const std::vector<SpritePlan> plan = MakePlan();
    const DWORD fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
    IDirect3DVertexBuffer9* buffer = nullptr;
    d3d->CreateVertexBuffer(kSpriteCount * 4 * sizeof(GmQuadVertex), D3DUSAGE_WRITEONLY, fvf, D3DPOOL_DEFAULT, &buffer,
                            nullptr);
    for (int t = 0; t < kTextureCount; ++t)
        scene.textures[t]->Bind(0);
    d3d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d3d->SetRenderState(D3DRS_ZENABLE, FALSE);
    d3d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    d3d->SetRenderState(D3DRS_ALPHAREF, 3);
    d3d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d3d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    d3d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    d3d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    d3d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);
    const float scaleX = 64.0f / 1280.0f;
    const float scaleY = 64.0f / 1024.0f;

    auto frame = [&]() {
        d3d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        void* locked = nullptr;
        buffer->Lock(0, 0, &locked, 0);
        GmQuadVertex* out = static_cast<GmQuadVertex*>(locked);
        for (const SpritePlan& p : plan) {
            const float x0 = (p.x - 4.0f) * scaleX - 0.5f;
            const float y0 = (p.y - 4.0f) * scaleY - 0.5f;
            const float x1 = x0 + kSpriteSide * scaleX;
            const float y1 = y0 + kSpriteSide * scaleY;
            const uint32_t colour = 0xFFFFFFFF;
            out[0] = {x0, y0, 0, 1, colour, 0, 0};
            out[1] = {x1, y0, 0, 1, colour, 1, 0};
            out[2] = {x0, y1, 0, 1, colour, 0, 1};
            out[3] = {x1, y1, 0, 1, colour, 1, 1};
            out += 4;
        }
        buffer->Unlock();
        d3d->BeginScene();
        d3d->SetFVF(fvf);
        d3d->SetStreamSource(0, buffer, 0, sizeof(GmQuadVertex));
        const SpritePlan* previous = nullptr;
        for (int i = 0; i < kSpriteCount; ++i) {
            const SpritePlan& p = plan[i];
            if (!previous || p.texture != previous->texture)
                d3d->SetTexture(0, scene.textures[p.texture]->m_texture);
            if (!previous || p.blend != previous->blend)
                SetBlend(d3d, p.blend);
            d3d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 4 * i, 2);
            previous = &p;
        }
        d3d->EndScene();
        glFinish();
    };
    frame();
    for (auto _ : state)
        frame();
    state.SetItemsProcessed(state.iterations() * kSpriteCount);
    d3d->SetTexture(0, nullptr);
    buffer->Release();
}
BENCHMARK(BM_QuadsStraight)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    CBenchDevice::PrepareProcess();
    // Vertex buffers clear their memory through the SIMD kernels.
    GeCpuProbeCreate();
    GeSimdCreate();
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios(
        "10,000 sprites a frame (4 textures, 4 blend modes) through CGmSprite, against the same quads in one buffer");
    reporter.PrintRatio("standing sprites (target: 1.3 or below)", "BM_Sprites/0", "BM_QuadsStraight");
    reporter.PrintRatio("sprites moving every frame", "BM_Sprites/1", "BM_QuadsStraight");
    benchmark::Shutdown();
    return 0;
}
