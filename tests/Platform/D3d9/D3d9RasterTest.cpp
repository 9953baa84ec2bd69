// Blending, alpha test, depth, stencil, write masks and Clear, read back.
#include "D3d9Fixture.h"

class D3d9Raster : public D3d9Fixture {
protected:
    void ClearTo(D3DCOLOR colour, float depth = 1.0f, DWORD stencil = 0)
    {
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, colour, depth, stencil);
    }
};

// Vertex colours are D3DCOLOR (bytes B, G, R, A) and targets read back in
// Direct3D's memory order.
TEST_P(D3d9Raster, ColoursKeepDirect3DByteOrder)
{
    FillPixels(0, 0, 8, 8, 0x80FF4020);
    uint32_t pixel = Pixel(3, 3);
    const uint8_t* bytes = (const uint8_t*)&pixel;
    EXPECT_EQ(0x20, bytes[0]);
    EXPECT_EQ(0x40, bytes[1]);
    EXPECT_EQ(0xFF, bytes[2]);
    EXPECT_EQ(0x80, bytes[3]);
}

TEST_P(D3d9Raster, BlendSetupsMatchDirect3DFormulas)
{
    struct Case {
        const char* name;
        DWORD src, dst, op;
        D3DCOLOR target, source;
        uint32_t expected;
    } cases[] = {
        {"alpha over", D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, 0xFF0000FF, 0x99FF0000, 0xC2990066},
        {"modulate 2x", D3DBLEND_DESTCOLOR, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD, 0xFF666666, 0xFF999999, 0xFF7A7A7A},
        {"multiply", D3DBLEND_ZERO, D3DBLEND_SRCCOLOR, D3DBLENDOP_ADD, 0xFF666666, 0xFF999999, 0xFF3D3D3D},
        {"additive", D3DBLEND_SRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD, 0xFF404040, 0x80FF2000, 0xFFC05040},
        {"subtract", D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_SUBTRACT, 0x10404040, 0xFFFF2000, 0xEFBF0000},
        {"reverse subtract", D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT, 0xFF404040, 0x00102030, 0xFF302010},
        {"min", D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_MIN, 0xFF40A040, 0x80FF2000, 0x80402000},
        {"max", D3DBLEND_ZERO, D3DBLEND_ZERO, D3DBLENDOP_MAX, 0xFF40A040, 0x80FF2000, 0xFFFFA040},
        {"both source alpha", D3DBLEND_BOTHSRCALPHA, D3DBLEND_ZERO, D3DBLENDOP_ADD, 0xFF0000FF, 0x99FF0000, 0xC2990066},
        {"both inverse", D3DBLEND_BOTHINVSRCALPHA, D3DBLEND_ONE, D3DBLENDOP_ADD, 0xFF0000FF, 0x66FF0000, 0xA3990066},
        {"destination alpha", D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA, D3DBLENDOP_ADD, 0x400000FF, 0xFFFF0000, 0x704000BF},
    };
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    for (const Case& c : cases) {
        ClearTo(c.target);
        d->SetRenderState(D3DRS_SRCBLEND, c.src);
        d->SetRenderState(D3DRS_DESTBLEND, c.dst);
        d->SetRenderState(D3DRS_BLENDOP, c.op);
        FillPixels(0, 0, 8, 8, c.source);
        EXPECT_TRUE(ArgbNear(c.expected, Pixel(2, 5))) << c.name;
    }
}

TEST_P(D3d9Raster, BlendFactorStateFeedsTheConstantFactors)
{
    ClearTo(0xFF000000);
    d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_BLENDFACTOR);
    d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ZERO);
    d->SetRenderState(D3DRS_BLENDFACTOR, 0x80408020);
    FillPixels(0, 0, 8, 8, 0xFFFFFFFF);
    EXPECT_TRUE(ArgbNear(0x80408020, Pixel(0, 0)));
}

// The alpha test compares the fragment's 8-bit alpha with the reference.
TEST_P(D3d9Raster, AlphaTestComparesEightBitAlpha)
{
    struct Case {
        DWORD func, ref;
        uint8_t alpha;
        bool drawn;
    } cases[] = {
        {D3DCMP_GREATER, 0x80, 0x80, false}, {D3DCMP_GREATER, 0x80, 0x81, true},
        {D3DCMP_GREATEREQUAL, 0x00, 0x00, true}, {D3DCMP_GREATEREQUAL, 0x80, 0x7F, false},
        {D3DCMP_LESS, 0x80, 0x7F, true}, {D3DCMP_EQUAL, 0x42, 0x42, true}, {D3DCMP_NEVER, 0, 0xFF, false},
        {D3DCMP_NOTEQUAL, 0x142, 0x42, false},  // only the low 8 bits of the reference count
    };
    d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    for (const Case& c : cases) {
        ClearTo(0xFF000000);
        d->SetRenderState(D3DRS_ALPHAFUNC, c.func);
        d->SetRenderState(D3DRS_ALPHAREF, c.ref);
        FillPixels(0, 0, 8, 8, ((D3DCOLOR)c.alpha << 24) | 0x00FFFFFF);
        EXPECT_EQ(c.drawn, (Pixel(4, 4) & 0xFFFFFF) == 0xFFFFFF) << "func " << c.func << " alpha " << (int)c.alpha;
    }
}

TEST_P(D3d9Raster, DepthFunctionsCompareWithTheStoredDepth)
{
    struct Case {
        DWORD func;
        float z;
        bool drawn;
    } cases[] = {
        {D3DCMP_LESS, 0.25f, true}, {D3DCMP_LESS, 0.5f, false}, {D3DCMP_LESSEQUAL, 0.5f, true},
        {D3DCMP_EQUAL, 0.5f, true}, {D3DCMP_EQUAL, 0.75f, false}, {D3DCMP_GREATER, 0.75f, true},
        {D3DCMP_GREATER, 0.5f, false}, {D3DCMP_GREATEREQUAL, 0.5f, true}, {D3DCMP_NOTEQUAL, 0.5f, false},
        {D3DCMP_NEVER, 0.0f, false}, {D3DCMP_ALWAYS, 1.0f, true},
    };
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    for (const Case& c : cases) {
        ClearTo(0xFF000000, 0.5f);
        d->SetRenderState(D3DRS_ZFUNC, c.func);
        FillPixels(0, 0, 8, 8, 0xFFFFFFFF, c.z);
        EXPECT_EQ(c.drawn, Pixel(4, 4) == 0xFFFFFFFF) << "func " << c.func << " z " << c.z;
    }
}

// Nearer wins with LESS; transformed geometry lands at Direct3D's depth.
TEST_P(D3d9Raster, DepthOrdersOverlappingQuads)
{
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    d->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    FillPixels(0, 0, 8, 8, 0xFFFF0000, 0.25f);
    FillPixels(0, 0, 8, 8, 0xFF00FF00, 0.30f);
    EXPECT_EQ(0xFFFF0000u, Pixel(1, 1));
    FillPixels(0, 0, 8, 8, 0xFF00FF00, 0.20f);
    EXPECT_EQ(0xFF00FF00u, Pixel(1, 1));

    // A transformed quad at clip z 0.6 (w 1) with viewport depth 0..1 stores
    // 0.6: it passes against 0.65 and fails against 0.55.
    struct Vertex {
        float x, y, z;
        D3DCOLOR diffuse;
    } quad[4] = {{-1, 1, 0.6f, 0xFF0000FF}, {1, 1, 0.6f, 0xFF0000FF}, {-1, -1, 0.6f, 0xFF0000FF},
                 {1, -1, 0.6f, 0xFF0000FF}};
    d->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    for (float stored : {0.65f, 0.55f}) {
        ClearTo(0xFF000000, stored);
        d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
        EXPECT_EQ(stored > 0.6f, Pixel(4, 4) == 0xFF0000FF) << "stored " << stored;
    }
}

// INCR and DECR wrap, INCRSAT saturates.
TEST_P(D3d9Raster, StencilOperationsWrapOrSaturateLikeDirect3D)
{
    struct Case {
        DWORD cleared, op, ref;
        bool drawn;
    } cases[] = {
        {255, D3DSTENCILOP_INCR, 0, true},
        {255, D3DSTENCILOP_INCRSAT, 0, false},
        {0, D3DSTENCILOP_DECR, 255, true},
        {0, D3DSTENCILOP_DECRSAT, 0, true},
        {0x0F, D3DSTENCILOP_INVERT, 0xF0, true},
        {7, D3DSTENCILOP_REPLACE, 0x33, true},
        {7, D3DSTENCILOP_ZERO, 0, true},
    };
    for (const Case& c : cases) {
        ClearTo(0xFF000000, 1.0f, c.cleared);
        d->SetRenderState(D3DRS_STENCILENABLE, TRUE);
        d->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
        d->SetRenderState(D3DRS_STENCILREF, c.ref);
        d->SetRenderState(D3DRS_STENCILPASS, c.op);
        d->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
        FillPixels(0, 0, 8, 8, 0xFFFFFFFF);
        d->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
        d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
        d->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_EQUAL);
        FillPixels(0, 0, 8, 8, 0xFFFF0000);
        d->SetRenderState(D3DRS_STENCILENABLE, FALSE);
        EXPECT_EQ(c.drawn, Pixel(5, 2) == 0xFFFF0000) << "op " << c.op;
    }
}

// The engine's shadow pass: ref 0, LESS draws where the stencil is above 0.
TEST_P(D3d9Raster, StencilLessPassesWhereTheStencilIsAboveTheReference)
{
    d->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
    FillPixels(0, 0, 4, 8, 0xFFFFFFFF);
    d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    d->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_LESS);
    d->SetRenderState(D3DRS_STENCILREF, 0);
    FillPixels(0, 0, 8, 8, 0xFFFF0000);
    EXPECT_EQ(0xFFFF0000u, Pixel(1, 1));
    EXPECT_EQ(0xFF000000u, Pixel(6, 1));
}

// Two-pass z-pass stencil shadows as the engine draws them: clockwise faces
// with INCR, counter-clockwise faces with DECR, then a sprite where the
// stencil is above 0. A volume that crosses the plane shadows it; a volume
// wholly in front of the plane cancels out.
TEST_P(D3d9Raster, StencilShadowVolumesMarkWhereTheyCrossThePlane)
{
    struct Vertex {
        float x, y, z;
        D3DCOLOR diffuse;
    };
    auto quad = [](float x0, float x1, float z, bool clockwise, Vertex* out) {
        Vertex tl = {x0, 1, z, 0xFF808080}, tr = {x1, 1, z, 0xFF808080};
        Vertex bl = {x0, -1, z, 0xFF808080}, br = {x1, -1, z, 0xFF808080};
        Vertex cw[6] = {tl, tr, bl, tr, br, bl};
        Vertex ccw[6] = {tl, bl, tr, tr, bl, br};
        std::memcpy(out, clockwise ? cw : ccw, sizeof cw);
    };
    Vertex plane[6], fronts[12], backs[12];
    quad(-1, 1, 0.5f, true, plane);
    quad(-1, 0, 0.3f, true, fronts);      // left volume: 0.3 .. 0.7, crosses the plane
    quad(0, 1, 0.1f, true, fronts + 6);   // right volume: 0.1 .. 0.2, in front of it
    quad(-1, 0, 0.7f, false, backs);
    quad(0, 1, 0.2f, false, backs + 6);

    d->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, plane, sizeof(Vertex));

    d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    d->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    d->SetRenderState(D3DRS_STENCILENABLE, TRUE);
    d->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_ALWAYS);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_INCR);
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 4, fronts, sizeof(Vertex));
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 4, backs, sizeof(Vertex));
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_DECR);
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 4, fronts, sizeof(Vertex));
    d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 4, backs, sizeof(Vertex));

    d->SetRenderState(D3DRS_STENCILPASS, D3DSTENCILOP_KEEP);
    d->SetRenderState(D3DRS_STENCILFUNC, D3DCMP_LESS);
    d->SetRenderState(D3DRS_STENCILREF, 0);
    d->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    d->SetFVF(kRhwFvf);
    FillPixels(0, 0, 8, 8, 0xFFFF0000);
    EXPECT_EQ(0xFFFF0000u, Pixel(1, 4));
    EXPECT_EQ(0xFFFF0000u, Pixel(3, 0));
    EXPECT_EQ(0xFF808080u, Pixel(4, 4));
    EXPECT_EQ(0xFF808080u, Pixel(7, 7));
}

TEST_P(D3d9Raster, ColourWriteMaskKeepsMaskedChannels)
{
    ClearTo(0x11223344);
    d->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    FillPixels(0, 0, 8, 8, 0xFFFFFFFF);
    EXPECT_EQ(0x11223344u, Pixel(0, 0));
    d->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_RED | D3DCOLORWRITEENABLE_GREEN |
                                                  D3DCOLORWRITEENABLE_BLUE);
    FillPixels(0, 0, 8, 8, 0x80AABBCC);
    EXPECT_EQ(0x11AABBCCu, Pixel(0, 0));
    d->SetRenderState(D3DRS_COLORWRITEENABLE, D3DCOLORWRITEENABLE_GREEN);
    FillPixels(0, 0, 8, 8, 0xFF000000);
    EXPECT_EQ(0x11AA00CCu, Pixel(0, 0));
}

// Clear fills the viewport whatever the write masks, and a new render target
// brings a viewport over all of it.
TEST_P(D3d9Raster, ClearCoversTheViewportIgnoringMasks)
{
    D3DVIEWPORT9 viewport = {2, 2, 4, 4, 0.0f, 1.0f};
    d->SetViewport(&viewport);
    d->SetRenderState(D3DRS_COLORWRITEENABLE, 0);
    d->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    d->SetRenderState(D3DRS_STENCILWRITEMASK, 0);
    ASSERT_EQ(D3D_OK, d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0));
    std::vector<uint32_t> pixels = ReadTarget();
    for (UINT y = 0; y < kSize; ++y)
        for (UINT x = 0; x < kSize; ++x) {
            bool inside = x >= 2 && x < 6 && y >= 2 && y < 6;
            EXPECT_EQ(inside ? 0xFF00FF00u : 0xFF000000u, pixels[y * kSize + x]) << x << "," << y;
        }

    // A rectangle is clipped to the viewport.
    D3DRECT rect = {0, 0, 3, 3};
    ASSERT_EQ(D3D_OK, d->Clear(1, &rect, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0));
    EXPECT_EQ(0xFFFFFFFFu, Pixel(2, 2));
    EXPECT_EQ(0xFF00FF00u, Pixel(3, 3));
    EXPECT_EQ(0xFF000000u, Pixel(1, 1));

    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, d->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture,
                                       nullptr));
    IDirect3DSurface9* surface = nullptr;
    texture->GetSurfaceLevel(0, &surface);
    ASSERT_EQ(D3D_OK, d->SetRenderTarget(0, surface));
    d->GetViewport(&viewport);
    EXPECT_EQ(4u, viewport.Width);
    EXPECT_EQ(0u, viewport.X);
    ASSERT_EQ(D3D_OK, d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF123456, 1.0f, 0));
    for (uint32_t pixel : ReadSurface(surface))
        EXPECT_EQ(0xFF123456u, pixel);
    surface->Release();
    texture->Release();
}

TEST_P(D3d9Raster, ClearRefusesBuffersThatAreMissing)
{
    EXPECT_EQ(D3DERR_INVALIDCALL, d->Clear(0, nullptr, 0, 0, 1.0f, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, d->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0));
    d->SetDepthStencilSurface(nullptr);
    EXPECT_EQ(D3DERR_INVALIDCALL, d->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
    IDirect3DSurface9* depthOnly = nullptr;
    ASSERT_EQ(D3D_OK, d->CreateDepthStencilSurface(8, 8, D3DFMT_D24X8, D3DMULTISAMPLE_NONE, 0, FALSE, &depthOnly,
                                                   nullptr));
    d->SetDepthStencilSurface(depthOnly);
    EXPECT_EQ(D3D_OK, d->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, d->Clear(0, nullptr, D3DCLEAR_STENCIL, 0, 1.0f, 0));
    depthOnly->Release();
}

D3D9_FIXTURE_PATHS(D3d9Raster);
