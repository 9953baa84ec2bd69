// A 2,000-character page of text (wrapped at the clip width, with line feeds
// and colour codes) in the demo's baked DejaVu font, through CGmText: laid
// out anew and drawn each iteration, and the unchanged page drawn again;
// against the same glyph quads drawn straight through the platform's
// Direct3D-shaped device with the same texture and states in one indexed
// draw, the vertex buffer refilled each iteration for the first comparison.
// Every iteration ends with one pixel read back, so both sides wait for the
// rasteriser. The back buffer is 64 by 64 pixels: the glyphs cover few
// pixels and the measure is the CPU side of text drawing.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GuiFont.h"
#include "Engine/Gui/GuiResources.h"
#include "Platform/D3d9/D3d9Gl.h"
#include "bench/Support/Bench2dScene.h"
#include "bench/Support/BenchDemoFont.h"
#include "bench/Support/BenchDevice.h"
#include "bench/Support/BenchRatio.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kPageLength = 2000;

// Words, a line feed now and then, and a coloured word every few words.
CGeWString MakePage()
{
    static const char16_t* const kWords[] = {u"kettle",  u"copper",  u"voyage", u"Qasimar", u"sail",
                                             u"harbour", u"lantern", u"map",    u"a",       u"of",
                                             u"the",     u"wind",    u"Tea,"};
    std::u16string page;
    uint32_t seed = 4321;
    uint32_t word = 0;
    while (page.size() < kPageLength) {
        seed = seed * 1103515245u + 12345u;
        const char16_t* w = kWords[(seed >> 8) % (sizeof(kWords) / sizeof(kWords[0]))];
        if (++word % 7 == 0)
            page += std::u16string(u"&0xFFFF8040") + w + u"&c";
        else
            page += w;
        page += (word % 23 == 0) ? u"\n" : u" ";
    }
    page.resize(kPageLength);
    return CGeWString(page.c_str());
}

// The 2D scene of slot 0 with the demo's font and the page.
class CTextScene : public CBench2dScene {
public:
    CTextScene()
    {
        g_pGmResCollector = new CGmResCollector();
        font = LoadDemoFont();
    }
    ~CTextScene()
    {
        CGuiResources::FreeAll();
        delete g_pGmResCollector;
        g_pGmResCollector = nullptr;
    }

    // A text visual of the page, wrapped at 1,200 reference pixels.
    void Prepare(CGmText& text) const
    {
        const float clip[2] = {1200.0f, 1000.0f};
        text.SetClipSize(clip, 0);
        text.frame.SetPosition({40.0f, 10.0f, 0.0f});
        text.Layout(page);
        text.Update();
    }

    CGuiFont* font = nullptr;
    CGeWString page = MakePage();
};

uint32_t ReadOnePixel()
{
    uint32_t pixel = 0;
    glReadPixels(32, 32, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, &pixel);
    return pixel;
}

// Arg 1: the page laid out anew each iteration; 0: the unchanged page redrawn.
void BM_Text(benchmark::State& state)
{
    CBenchDevice device;
    CTextScene scene;
    if (!scene.font) {
        state.SkipWithError("the demo font did not load");
        return;
    }
    CGmText text(scene.font);
    scene.Prepare(text);
    const bool anew = state.range(0) != 0;
    auto frame = [&]() {
        if (anew) {
            text.Layout(scene.page);
            text.Update();
        }
        g_pGmDevice->Clear(GE_CLEAR_TARGET, 0xFF000000, 1.0f);
        g_pGmDevice->BeginScene();
        text.Render();
        g_pGmDevice->EndScene();
        benchmark::DoNotOptimize(ReadOnePixel());
    };
    frame();
    for (auto _ : state)
        frame();
    state.SetItemsProcessed(state.iterations() * text.glyphCount);
}
BENCHMARK(BM_Text)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

// Arg 1: the vertex buffer refilled each iteration; 0: filled once.
void BM_GlyphsStraight(benchmark::State& state)
{
    CBenchDevice device;
    CTextScene scene;
    if (!scene.font) {
        state.SkipWithError("the demo font did not load");
        return;
    }
    // The glyph quads where CGmText puts them: through the camera, with the
    // half-pixel offset.
    CGmText text(scene.font);
    scene.Prepare(text);
    const uint32_t glyphs = text.glyphCount;
    std::vector<GmQuadVertex> quads(text.drawnVertices.size());
    const Matrix4 m = MatrixMultiply4x4(scene.camera.GetViewProjection(), text.frame.world);
    for (size_t i = 0; i < quads.size(); ++i) {
        const GmQuadVertex& v = text.drawnVertices[i];
        const Vec4 p = MatrixTransformVector4(m, {v.x, v.y, v.z, v.rhw});
        quads[i] = {p.x + g_halfPixelOffsetX, p.y + g_halfPixelOffsetY, p.z, p.w, v.color, v.u, v.v};
    }

    IDirect3DDevice9* d3d = g_pGmDevice->GetDevice();
    const DWORD fvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
    IDirect3DVertexBuffer9* vertices = nullptr;
    IDirect3DIndexBuffer9* indices = nullptr;
    d3d->CreateVertexBuffer((UINT)(quads.size() * sizeof(GmQuadVertex)), D3DUSAGE_WRITEONLY, fvf, D3DPOOL_DEFAULT,
                            &vertices, nullptr);
    d3d->CreateIndexBuffer((UINT)(text.glyphIndices.size() * 2), D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                           &indices, nullptr);
    auto fill = [&]() {
        void* locked = nullptr;
        vertices->Lock(0, 0, &locked, 0);
        memcpy(locked, quads.data(), quads.size() * sizeof(GmQuadVertex));
        vertices->Unlock();
    };
    fill();
    void* lockedIndices = nullptr;
    indices->Lock(0, 0, &lockedIndices, 0);
    memcpy(lockedIndices, text.glyphIndices.data(), text.glyphIndices.size() * 2);
    indices->Unlock();

    // The states of blend mode 5 (alpha blending with the alpha test) and a
    // modulating stage 0.
    scene.font->texture->Bind(0);
    d3d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    d3d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d3d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    d3d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    d3d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    d3d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    d3d->SetRenderState(D3DRS_ALPHAREF, 3);
    d3d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    d3d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
    d3d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    d3d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    d3d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    d3d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_TEXTURE);

    const bool refill = state.range(0) != 0;
    auto frame = [&]() {
        if (refill)
            fill();
        d3d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        d3d->BeginScene();
        d3d->SetFVF(fvf);
        d3d->SetStreamSource(0, vertices, 0, sizeof(GmQuadVertex));
        d3d->SetIndices(indices);
        d3d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, glyphs * 4, 0, glyphs * 2);
        d3d->EndScene();
        benchmark::DoNotOptimize(ReadOnePixel());
    };
    frame();
    for (auto _ : state)
        frame();
    state.SetItemsProcessed(state.iterations() * glyphs);
    d3d->SetTexture(0, nullptr);
    d3d->SetIndices(nullptr);
    d3d->SetStreamSource(0, nullptr, 0, 0);
    indices->Release();
    vertices->Release();
}
BENCHMARK(BM_GlyphsStraight)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv)
{
    CBenchDevice::PrepareProcess();
    if (chdir(QM_DEMO_DATA) != 0) {
        std::fprintf(stderr, "%s cannot be entered\n", QM_DEMO_DATA);
        return 1;
    }
    GeCpuProbeCreate();
    GeSimdCreate();
    benchmark::Initialize(&argc, argv);
    CBenchRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    CBenchRatioReporter::PrintRatios("A 2,000-character page through CGmText, against its glyph quads drawn straight "
                                     "in one indexed draw");
    reporter.PrintRatio("laid out anew (target: 1.5 or below)", "BM_Text/1", "BM_GlyphsStraight/1");
    reporter.PrintRatio("unchanged page (target: 1.1 or below)", "BM_Text/0", "BM_GlyphsStraight/0");
    benchmark::Shutdown();
    return 0;
}
