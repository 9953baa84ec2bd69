// Render targets, buffers, device life and the test switches.
#include "D3d9Fixture.h"

#include <algorithm>
#include <chrono>

class D3d9DeviceLife : public D3d9Fixture {};

// Images stay top-down everywhere: what is drawn into row 0 of a render
// texture is row 0 when read back and when drawn onto the back buffer.
TEST_P(D3d9DeviceLife, RenderTexturesKeepTheirRowsTheRightWayUp)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, d->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture,
                                       nullptr));
    IDirect3DSurface9* surface = nullptr;
    IDirect3DSurface9* backBuffer = nullptr;
    texture->GetSurfaceLevel(0, &surface);
    d->GetRenderTarget(0, &backBuffer);
    ASSERT_EQ(D3D_OK, d->SetRenderTarget(0, surface));
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    FillPixels(0, 0, 4, 1, 0xFFFF0000);
    std::vector<uint32_t> rows = ReadSurface(surface);
    EXPECT_EQ(0xFFFF0000u, rows[0]);
    EXPECT_EQ(0xFF000000u, rows[4]);

    ASSERT_EQ(D3D_OK, d->SetRenderTarget(0, backBuffer));
    UseTexture(texture);
    FillPixels(0, 0, 4, 4, 0xFFFFFFFF);
    EXPECT_EQ(0xFFFF0000u, Pixel(3, 0));
    EXPECT_EQ(0xFF000000u, Pixel(3, 1));

    // StretchRect copies without turning the image over.
    d->SetTexture(0, nullptr);
    RECT half = {0, 0, 4, 2};
    RECT dest = {4, 4, 8, 6};
    ASSERT_EQ(D3D_OK, d->StretchRect(surface, &half, backBuffer, &dest, D3DTEXF_NONE));
    RECT outside = {2, 0, 6, 2};
    EXPECT_EQ(D3DERR_INVALIDCALL, d->StretchRect(surface, &outside, backBuffer, &dest, D3DTEXF_NONE));
    EXPECT_EQ(0xFFFF0000u, Pixel(5, 4));
    EXPECT_EQ(0xFF000000u, Pixel(5, 5));
    surface->Release();
    backBuffer->Release();
    texture->Release();
}

TEST_P(D3d9DeviceLife, DepthSurfacesCopyWhole)
{
    IDirect3DSurface9* saved = nullptr;
    IDirect3DSurface9* current = nullptr;
    ASSERT_EQ(D3D_OK, d->CreateDepthStencilSurface(8, 8, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &saved, nullptr));
    d->GetDepthStencilSurface(&current);
    d->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 0.25f, 0);
    ASSERT_EQ(D3D_OK, d->StretchRect(current, nullptr, saved, nullptr, D3DTEXF_NONE));
    d->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    ASSERT_EQ(D3D_OK, d->StretchRect(saved, nullptr, current, nullptr, D3DTEXF_NONE));
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    FillPixels(0, 0, 8, 8, 0xFFFFFFFF, 0.5f);
    EXPECT_EQ(0xFF000000u, Pixel(4, 4)) << "restored depth 0.25 hides z 0.5";
    RECT part = {0, 0, 4, 4};
    EXPECT_EQ(D3DERR_INVALIDCALL, d->StretchRect(saved, &part, current, nullptr, D3DTEXF_NONE));
    saved->Release();
    current->Release();
}

TEST_P(D3d9DeviceLife, IndexedDrawsReadSixteenAndThirtyTwoBitIndices)
{
    RhwVertex vertices[5] = {{0, 0, 0, 1, 0, 0, 0}, {-0.5f, -0.5f, 0.5f, 1, 0xFF00FF00, 0, 0},
                             {7.5f, -0.5f, 0.5f, 1, 0xFF00FF00, 0, 0}, {-0.5f, 7.5f, 0.5f, 1, 0xFF00FF00, 0, 0},
                             {7.5f, 7.5f, 0.5f, 1, 0xFF00FF00, 0, 0}};
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(D3D_OK, d->CreateVertexBuffer(sizeof vertices, D3DUSAGE_WRITEONLY, kRhwFvf, D3DPOOL_DEFAULT, &vb, nullptr));
    void* data = nullptr;
    ASSERT_EQ(D3D_OK, vb->Lock(0, 0, &data, 0));
    std::memcpy(data, vertices, sizeof vertices);
    vb->Unlock();
    d->SetStreamSource(0, vb, 0, sizeof(RhwVertex));

    for (D3DFORMAT format : {D3DFMT_INDEX16, D3DFMT_INDEX32}) {
        UINT size = format == D3DFMT_INDEX16 ? 2 : 4;
        IDirect3DIndexBuffer9* ib = nullptr;
        ASSERT_EQ(D3D_OK, d->CreateIndexBuffer(8 * size, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, format,
                                               D3DPOOL_DEFAULT, &ib, nullptr));
        // Two unused indices first; triangles (0,1,3) and (1,2,3) from base vertex 1.
        const uint32_t indices[8] = {9, 9, 0, 1, 3, 1, 2, 3};
        ASSERT_EQ(D3D_OK, ib->Lock(0, 0, &data, D3DLOCK_DISCARD));
        for (int i = 0; i < 8; ++i) {
            if (size == 2)
                ((uint16_t*)data)[i] = (uint16_t)indices[i];
            else
                ((uint32_t*)data)[i] = indices[i];
        }
        ib->Unlock();
        d->SetIndices(ib);
        d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        ASSERT_EQ(D3D_OK, d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 2, 2));
        EXPECT_EQ(0xFF00FF00u, Pixel(1, 6));
        EXPECT_EQ(0xFF00FF00u, Pixel(6, 1));
        EXPECT_EQ(D3DERR_INVALIDCALL, d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 4, 6, 2)) << "past the indices";
        EXPECT_EQ(D3DERR_INVALIDCALL, d->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 1, 0, 5, 2, 2)) << "past the vertices";
        d->SetIndices(nullptr);
        ib->Release();
    }
    EXPECT_EQ(D3DERR_INVALIDCALL, d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 2, 2)) << "past the vertices";
    EXPECT_EQ(D3DERR_INVALIDCALL, d->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0x55555556)) << "count overflows";
    EXPECT_EQ(D3DERR_INVALIDCALL, d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0xFFFFFFFF, 1)) << "start overflows";
    EXPECT_EQ(D3D_OK, d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 1, 2));
    d->SetStreamSource(0, nullptr, 0, 0);
    vb->Release();
    EXPECT_EQ(D3DERR_INVALIDCALL, d->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2)) << "no stream";
}

// A lost device cannot happen on GL; the switch walks the recovery path.
TEST_P(D3d9DeviceLife, SimulatedLossFailsPresentAndResetsUntilItEnds)
{
    D3DPRESENT_PARAMETERS params = D3d9WindowedParameters(kSize, kSize, D3DFMT_X8R8G8B8);
    d->SetRenderState(D3DRS_CULLMODE, D3DCULL_CW);
    EXPECT_EQ(D3D_OK, d->Present(nullptr, nullptr, nullptr, nullptr));

    D3d9SimulateDeviceLost(d, 2);
    EXPECT_EQ(D3DERR_DEVICELOST, d->Present(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(D3DERR_DEVICELOST, d->TestCooperativeLevel());
    FillPixels(0, 0, 8, 8, 0xFFFFFFFF);
    EXPECT_EQ(0xFF000000u, Pixel(2, 2)) << "draws of a lost device succeed and do nothing";
    EXPECT_EQ(D3DERR_DEVICELOST, d->Reset(&params));
    EXPECT_EQ(D3DERR_DEVICELOST, d->Reset(&params));
    EXPECT_EQ(D3DERR_DEVICENOTRESET, d->TestCooperativeLevel());
    EXPECT_EQ(D3D_OK, d->Reset(&params));
    EXPECT_EQ(D3D_OK, d->TestCooperativeLevel());
    EXPECT_EQ(D3D_OK, d->Present(nullptr, nullptr, nullptr, nullptr));

    // Parameters the device cannot meet are refused and leave it working.
    D3DPRESENT_PARAMETERS bad = params;
    bad.BackBufferFormat = D3DFMT_DXT1;
    EXPECT_EQ(D3DERR_INVALIDCALL, d->Reset(&bad));
    EXPECT_EQ(D3D_OK, d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0));

    // Reset brings back creation's state: no depth buffer asked for this time.
    DWORD cull = 0;
    d->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ((DWORD)D3DCULL_CCW, cull);
    IDirect3DSurface9* depth = nullptr;
    EXPECT_EQ(D3DERR_NOTFOUND, d->GetDepthStencilSurface(&depth));
    EXPECT_EQ(nullptr, depth);
}

// Interval one waits for the display's refresh; the headless driver's swap
// never waits, so the layer paces Present to 60 Hz itself. Immediate does not
// wait (tests and benchmarks present that way). A busy machine only makes
// presents longer: the whole run bounds the pacing from below, and the
// shortest single present shows whether a present waited more than it should.
TEST_P(D3d9DeviceLife, PresentWaitsForTheRefreshOnlyWhenTheIntervalAsks)
{
    struct Timing
    {
        double total = 0;
        double shortest = 1e9;
    };
    const int kPresents = 12;
    auto timePresents = [this](UINT interval) {
        D3DPRESENT_PARAMETERS params = D3d9WindowedParameters(kSize, kSize, D3DFMT_X8R8G8B8);
        params.PresentationInterval = interval;
        EXPECT_EQ(D3D_OK, d->Reset(&params));
        Timing timing;
        for (int i = 0; i < kPresents; ++i)
        {
            const auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(D3D_OK, d->Present(nullptr, nullptr, nullptr, nullptr));
            const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            timing.total += took;
            if (i > 0)
                timing.shortest = std::min(timing.shortest, took);
        }
        return timing;
    };
    // The first present of a swap chain is not held; the later ones keep to a
    // sixtieth of a second each, less the millisecond of slack.
    const double pace = 1.0 / 60.0 - 0.001;
    const Timing one = timePresents(D3DPRESENT_INTERVAL_ONE);
    EXPECT_GE(one.total, (kPresents - 1) * pace);
    EXPECT_LT(one.shortest, 1.0 / 60.0 + 0.05) << "no present waits much more than one period";
    EXPECT_GE(timePresents(D3DPRESENT_INTERVAL_DEFAULT).total, (kPresents - 1) * pace);
    EXPECT_LT(timePresents(D3DPRESENT_INTERVAL_IMMEDIATE).shortest, pace * 0.5) << "immediate does not wait";
}

TEST_P(D3d9DeviceLife, InjectedCreationFailuresComeBackAsAsked)
{
    D3d9FailNextCreations(d, 2, D3DERR_OUTOFVIDEOMEMORY);
    IDirect3DTexture9* texture = nullptr;
    IDirect3DVertexBuffer9* vb = nullptr;
    EXPECT_EQ(D3DERR_OUTOFVIDEOMEMORY, d->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr));
    EXPECT_EQ(D3DERR_OUTOFVIDEOMEMORY, d->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, &vb, nullptr));
    EXPECT_EQ(nullptr, texture);
    EXPECT_EQ(D3D_OK, d->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, &vb, nullptr));
    vb->Release();
}

// Surfaces of a texture count on the texture; the device holds what is bound.
TEST_P(D3d9DeviceLife, ReferencesFollowDirect3DRules)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, d->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr));
    IDirect3DSurface9* level = nullptr;
    texture->GetSurfaceLevel(0, &level);
    EXPECT_EQ(3u, texture->AddRef());
    texture->Release();
    d->SetTexture(0, texture);
    EXPECT_EQ(2u, level->Release());
    EXPECT_EQ(1u, texture->Release()) << "the device still holds it";
    d->SetTexture(0, nullptr);

    // Resources that outlive their device stay safe to use and release, and
    // do not delete what a later device's context owns under the same names.
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(D3D_OK, d->CreateVertexBuffer(64, 0, 0, D3DPOOL_DEFAULT, &vb, nullptr));
    ASSERT_EQ(D3D_OK, d->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr));
    EXPECT_EQ(0u, m_device->Release());
    m_device = nullptr;
    IDirect3DDevice9* none = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, vb->GetDevice(&none));
    void* data = nullptr;
    ASSERT_EQ(D3D_OK, vb->Lock(0, 0, &data, 0));
    EXPECT_EQ(D3D_OK, vb->Unlock());
    D3DLOCKED_RECT locked = {};
    ASSERT_EQ(D3D_OK, texture->LockRect(0, &locked, nullptr, 0));
    EXPECT_EQ(D3D_OK, texture->UnlockRect(0));
    EXPECT_EQ(0u, vb->Release());
    EXPECT_EQ(0u, texture->Release());
}

// The engine's depth formats make depth textures whose level 0 serves as the
// depth-stencil surface.
TEST_P(D3d9DeviceLife, DepthTexturesServeAsDepthSurfaces)
{
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, d->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_D24S8, D3DPOOL_DEFAULT,
                                                   &texture, nullptr)) << "a depth format needs the depth usage";
    ASSERT_EQ(D3D_OK, d->CreateTexture(8, 8, 1, D3DUSAGE_DEPTHSTENCIL, D3DFMT_D24S8, D3DPOOL_DEFAULT, &texture, nullptr));
    IDirect3DSurface9* level = nullptr;
    texture->GetSurfaceLevel(0, &level);
    ASSERT_EQ(D3D_OK, d->SetDepthStencilSurface(level));
    d->Clear(0, nullptr, D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 0.25f, 0);
    d->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    FillPixels(0, 0, 8, 8, 0xFFFFFFFF, 0.5f);
    EXPECT_EQ(0xFF000000u, Pixel(3, 3));
    FillPixels(0, 0, 8, 8, 0xFFFFFFFF, 0.125f);
    EXPECT_EQ(0xFFFFFFFFu, Pixel(3, 3));
    d->SetDepthStencilSurface(nullptr);
    level->Release();
    texture->Release();
}

TEST_P(D3d9DeviceLife, InvalidArgumentsAreRefused)
{
    D3DVIEWPORT9 tooWide = {4, 0, 8, 8, 0.0f, 1.0f};
    EXPECT_EQ(D3DERR_INVALIDCALL, d->SetViewport(&tooWide));
    EXPECT_EQ(D3DERR_INVALIDCALL, d->SetRenderState((D3DRENDERSTATETYPE)400, 1));
    EXPECT_EQ(D3DERR_INVALIDCALL, d->SetTextureStageState(8, D3DTSS_COLOROP, 1));
    EXPECT_EQ(D3DERR_INVALIDCALL, d->SetSamplerState(0, (D3DSAMPLERSTATETYPE)20, 1));
    D3DMATRIX m = {};
    EXPECT_EQ(D3DERR_INVALIDCALL, d->SetTransform((D3DTRANSFORMSTATETYPE)1, &m));
    EXPECT_EQ(D3D_OK, d->SetTransform(D3DTS_WORLDMATRIX(255), &m));
    EXPECT_EQ(D3DERR_INVALIDCALL, d->SetTransform(D3DTS_WORLDMATRIX(256), &m));
    EXPECT_EQ(D3DERR_INVALIDCALL, d->SetStreamSource(1, nullptr, 0, 0));
    EXPECT_EQ(D3DERR_INVALIDCALL, d->SetRenderTarget(0, nullptr));
    EXPECT_EQ(D3DERR_INVALIDCALL, d->EndScene());
    EXPECT_EQ(D3D_OK, d->BeginScene());
    EXPECT_EQ(D3DERR_INVALIDCALL, d->BeginScene());
    EXPECT_EQ(D3D_OK, d->EndScene());
    D3DLIGHT9 light = {};
    EXPECT_EQ(D3DERR_INVALIDCALL, d->SetLight(0, &light)) << "light type 0";
    DWORD value = 0;
    d->SetRenderState(D3DRS_FOGDENSITY, D3d9FloatBits(0.0003f));
    d->GetRenderState(D3DRS_FOGDENSITY, &value);
    EXPECT_EQ(0.0003f, D3d9StateFloat(value));
}

// The gamma ramp is applied as the image goes to the window.
TEST_P(D3d9DeviceLife, PresentAppliesTheGammaRampTheRightWayUp)
{
    FillPixels(0, 0, 8, 1, 0xFF402010);
    D3DGAMMARAMP ramp;
    for (int i = 0; i < 256; ++i) {
        ramp.red[i] = (WORD)((255 - i) * 257);
        ramp.green[i] = (WORD)(i * 257);
        ramp.blue[i] = 0;
    }
    d->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &ramp);
    std::vector<uint32_t> window(kSize * kSize);
    D3d9CaptureNextPresent(d, window.data(), kSize, kSize);
    ASSERT_EQ(D3D_OK, d->Present(nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(ArgbNear(0xFFBF2000, window[3]));
    EXPECT_TRUE(ArgbNear(0xFFFF0000, window[kSize * 7 + 3])) << "black rows below: red inverted";
    for (int i = 0; i < 256; ++i)
        ramp.red[i] = ramp.green[i] = ramp.blue[i] = (WORD)(i * 257);
    d->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &ramp);
}

D3D9_FIXTURE_PATHS(D3d9DeviceLife);
