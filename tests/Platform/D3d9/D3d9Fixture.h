// A device on a hidden 8x8 window, drawn and read back like Direct3D: every
// test runs twice, once with GL's clip control and S3TC and once with the
// fallbacks that a plain GL 3.3 driver would need.
#pragma once

#include "Platform/D3d9/D3d9Device.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "Platform/Win32/WinSdl.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

struct RhwVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse;
    float u, v;
};
constexpr DWORD kRhwFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

class D3d9Fixture : public ::testing::TestWithParam<bool> {
protected:
    static constexpr UINT kSize = 8;

    void SetUp() override
    {
        // Video through the window layer, which keeps SDL's GL library loaded
        // for the whole run (the leak report can then name the driver).
        ASSERT_TRUE(WinEnsureSdlVideo()) << SDL_GetError();
        m_window = SDL_CreateWindow("d3d9 test", 0, 0, kSize, kSize, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        ASSERT_NE(nullptr, m_window) << SDL_GetError();
        D3d9ForceGlFallbacks(GetParam(), GetParam());
        D3DPRESENT_PARAMETERS params = D3d9WindowedParameters(kSize, kSize, D3DFMT_A8R8G8B8);
        params.EnableAutoDepthStencil = TRUE;
        params.AutoDepthStencilFormat = D3DFMT_D24S8;
        HRESULT hr = D3D_OK;
        m_device = D3d9Device::Create(m_window, params, &hr);
        D3d9ForceGlFallbacks(false, false);
        ASSERT_NE(nullptr, m_device);
        d = m_device;
        // The common set-up: no lighting, depth, blending or culling; stage 0
        // passes the diffuse colour.
        d->SetRenderState(D3DRS_LIGHTING, FALSE);
        d->SetRenderState(D3DRS_ZENABLE, FALSE);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
        d->SetFVF(kRhwFvf);
        d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0xFF000000, 1.0f, 0);
    }

    void TearDown() override
    {
        if (m_device) {
            EXPECT_EQ(0u, m_device->Release());
        }
        if (m_window)
            SDL_DestroyWindow(m_window);
    }

    // Pre-transformed quad from (x0, y0) to (x1, y1) in the engine's strip
    // order TL, TR, BL, BR, texture (0,0)..(1,1).
    void DrawQuad(float x0, float y0, float x1, float y1, D3DCOLOR diffuse, float z = 0.5f)
    {
        RhwVertex v[4] = {{x0, y0, z, 1.0f, diffuse, 0.0f, 0.0f},
                          {x1, y0, z, 1.0f, diffuse, 1.0f, 0.0f},
                          {x0, y1, z, 1.0f, diffuse, 0.0f, 1.0f},
                          {x1, y1, z, 1.0f, diffuse, 1.0f, 1.0f}};
        ASSERT_EQ(D3D_OK, d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(RhwVertex)));
    }

    // A quad that covers pixels [x0, x1) x [y0, y1) exactly, with the
    // engine's half-pixel offset.
    void FillPixels(int x0, int y0, int x1, int y1, D3DCOLOR diffuse, float z = 0.5f)
    {
        DrawQuad((float)x0 - 0.5f, (float)y0 - 0.5f, (float)x1 - 0.5f, (float)y1 - 0.5f, diffuse, z);
    }

    // Render target 0, top row first, A8R8G8B8.
    std::vector<uint32_t> ReadTarget()
    {
        IDirect3DSurface9* target = nullptr;
        EXPECT_EQ(D3D_OK, d->GetRenderTarget(0, &target));
        std::vector<uint32_t> pixels = ReadSurface(target);
        target->Release();
        return pixels;
    }

    std::vector<uint32_t> ReadSurface(IDirect3DSurface9* target)
    {
        D3DSURFACE_DESC desc = {};
        target->GetDesc(&desc);
        IDirect3DSurface9* copy = nullptr;
        EXPECT_EQ(D3D_OK, d->CreateOffscreenPlainSurface(desc.Width, desc.Height, desc.Format, D3DPOOL_SYSTEMMEM,
                                                         &copy, nullptr));
        EXPECT_EQ(D3D_OK, d->GetRenderTargetData(target, copy));
        D3DLOCKED_RECT locked = {};
        EXPECT_EQ(D3D_OK, copy->LockRect(&locked, nullptr, D3DLOCK_READONLY));
        std::vector<uint32_t> pixels(desc.Width * desc.Height);
        for (UINT y = 0; y < desc.Height; ++y)
            for (UINT x = 0; x < desc.Width; ++x)
                pixels[y * desc.Width + x] = ((const uint32_t*)((const uint8_t*)locked.pBits + y * locked.Pitch))[x];
        copy->UnlockRect();
        copy->Release();
        return pixels;
    }

    uint32_t Pixel(int x, int y) { return ReadTarget()[(size_t)y * kSize + (size_t)x]; }

    // A default-pool texture filled through a system-memory surface, as the
    // engine uploads its images.
    IDirect3DTexture9* MakeTexture(UINT width, UINT height, D3DFORMAT format, const void* data, UINT pitch,
                                   DWORD usage = 0)
    {
        IDirect3DTexture9* texture = nullptr;
        EXPECT_EQ(D3D_OK, d->CreateTexture(width, height, 1, usage, format, D3DPOOL_DEFAULT, &texture, nullptr));
        IDirect3DSurface9* staging = nullptr;
        EXPECT_EQ(D3D_OK, d->CreateOffscreenPlainSurface(width, height, format, D3DPOOL_SYSTEMMEM, &staging, nullptr));
        D3DLOCKED_RECT locked = {};
        EXPECT_EQ(D3D_OK, staging->LockRect(&locked, nullptr, 0));
        UINT rows = (format == D3DFMT_DXT1 || format == D3DFMT_DXT3 || format == D3DFMT_DXT5) ? (height + 3) / 4 : height;
        for (UINT y = 0; y < rows; ++y)
            std::memcpy((uint8_t*)locked.pBits + y * locked.Pitch, (const uint8_t*)data + y * pitch, pitch);
        staging->UnlockRect();
        IDirect3DSurface9* level = nullptr;
        texture->GetSurfaceLevel(0, &level);
        EXPECT_EQ(D3D_OK, d->UpdateSurface(staging, nullptr, level, nullptr));
        level->Release();
        staging->Release();
        return texture;
    }

    void UseTexture(IDirect3DTexture9* texture, DWORD filter = D3DTEXF_POINT)
    {
        d->SetTexture(0, texture);
        d->SetSamplerState(0, D3DSAMP_MINFILTER, filter);
        d->SetSamplerState(0, D3DSAMP_MAGFILTER, filter);
        d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
        d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
    }

    D3d9Device* m_device = nullptr;
    IDirect3DDevice9* d = nullptr;
    SDL_Window* m_window = nullptr;
};

// Channel-wise comparison with Direct3D's 8-bit tolerance of one step.
inline ::testing::AssertionResult ArgbNear(uint32_t expected, uint32_t actual, int tolerance = 1)
{
    for (int shift = 0; shift < 32; shift += 8) {
        int e = (int)((expected >> shift) & 0xFF), a = (int)((actual >> shift) & 0xFF);
        if (std::abs(e - a) > tolerance) {
            char text[64];
            std::snprintf(text, sizeof text, "expected 0x%08X, got 0x%08X", expected, actual);
            return ::testing::AssertionFailure() << text;
        }
    }
    return ::testing::AssertionSuccess();
}

#define D3D9_FIXTURE_PATHS(suite) \
    INSTANTIATE_TEST_SUITE_P(GlPaths, suite, ::testing::Values(false, true), \
                             [](const ::testing::TestParamInfo<bool>& info) { \
                                 return info.param ? "Fallback" : "ClipControl"; \
                             })
