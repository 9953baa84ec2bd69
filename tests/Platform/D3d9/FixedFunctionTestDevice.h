// The fixed-function tests draw through the public Direct3D-shaped interface
// on an 8 x 8 A8R8G8B8 back buffer and read the result back with
// GetRenderTargetData, as the engine's screenshot code does.
#pragma once

#include "Platform/D3d9/D3d9.h"
#include "Platform/D3d9/FixedFunction.h"
#include "tests/Platform/D3d9/D3d9Fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace ffptest {

struct RhwSpecularVertex {
    float x, y, z, rhw;
    D3DCOLOR diffuse, specular;
    float u, v;
};
constexpr DWORD kRhwSpecularFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1;

inline D3DMATRIX Identity()
{
    D3DMATRIX m = {};
    m._11 = m._22 = m._33 = m._44 = 1.0f;
    return m;
}

inline D3DMATRIX Translation(float x, float y, float z)
{
    D3DMATRIX m = Identity();
    m._41 = x;
    m._42 = y;
    m._43 = z;
    return m;
}

inline D3DMATRIX Diagonal(float a, float b, float c, float d)
{
    D3DMATRIX m = {};
    m._11 = a;
    m._22 = b;
    m._33 = c;
    m._44 = d;
    return m;
}

// The device of the layer's own tests (both GL paths), with the common
// set-up of the fixed-function cases on top.
class Device : public D3d9Fixture {
protected:
    void SetUp() override
    {
        D3d9Fixture::SetUp();
        if (HasFatalFailure())
            return;
        dev = d;
        Baseline();
    }

    void TearDown() override
    {
        if (dev) {
            for (DWORD s = 0; s < 8; ++s)
                dev->SetTexture(s, nullptr);
            for (IDirect3DTexture9* texture : m_textures)
                texture->Release();
            m_textures.clear();
        }
        D3d9Fixture::TearDown();
    }

    // The common set-up of the cases: every state the cases touch, back to
    // one known value.
    void Baseline()
    {
        static const std::pair<D3DRENDERSTATETYPE, DWORD> kStates[] = {
            {D3DRS_LIGHTING, FALSE},
            {D3DRS_ZENABLE, FALSE},
            {D3DRS_ZWRITEENABLE, FALSE},
            {D3DRS_ALPHABLENDENABLE, FALSE},
            {D3DRS_ALPHATESTENABLE, FALSE},
            {D3DRS_FOGENABLE, FALSE},
            {D3DRS_FOGTABLEMODE, D3DFOG_NONE},
            {D3DRS_FOGVERTEXMODE, D3DFOG_NONE},
            {D3DRS_FOGCOLOR, 0},
            {D3DRS_RANGEFOGENABLE, FALSE},
            {D3DRS_CULLMODE, D3DCULL_NONE},
            {D3DRS_SPECULARENABLE, FALSE},
            {D3DRS_TEXTUREFACTOR, 0x40FF8000},
            {D3DRS_AMBIENT, 0},
            {D3DRS_COLORVERTEX, TRUE},
            {D3DRS_LOCALVIEWER, TRUE},
            {D3DRS_NORMALIZENORMALS, FALSE},
            {D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_MATERIAL},
            {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL},
            {D3DRS_AMBIENTMATERIALSOURCE, D3DMCS_MATERIAL},
            {D3DRS_EMISSIVEMATERIALSOURCE, D3DMCS_MATERIAL},
            {D3DRS_VERTEXBLEND, D3DVBF_DISABLE},
            {D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE},
            {D3DRS_COLORWRITEENABLE, 0xF},
            {D3DRS_SHADEMODE, D3DSHADE_GOURAUD},
        };
        for (const auto& state : kStates)
            dev->SetRenderState(state.first, state.second);
        for (DWORD s = 0; s < 8; ++s) {
            dev->SetTextureStageState(s, D3DTSS_COLOROP, s == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE);
            dev->SetTextureStageState(s, D3DTSS_ALPHAOP, s == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE);
            dev->SetTextureStageState(s, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            dev->SetTextureStageState(s, D3DTSS_COLORARG2, s == 0 ? D3DTA_DIFFUSE : D3DTA_CURRENT);
            dev->SetTextureStageState(s, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
            dev->SetTextureStageState(s, D3DTSS_ALPHAARG2, D3DTA_CURRENT);
            dev->SetTextureStageState(s, D3DTSS_COLORARG0, D3DTA_CURRENT);
            dev->SetTextureStageState(s, D3DTSS_ALPHAARG0, D3DTA_CURRENT);
            dev->SetTextureStageState(s, D3DTSS_RESULTARG, D3DTA_CURRENT);
            dev->SetTextureStageState(s, D3DTSS_TEXCOORDINDEX, s);
            dev->SetTextureStageState(s, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
            dev->SetSamplerState(s, D3DSAMP_MINFILTER, D3DTEXF_POINT);
            dev->SetSamplerState(s, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
            dev->SetSamplerState(s, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
            dev->SetSamplerState(s, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP);
            dev->SetSamplerState(s, D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP);
            dev->SetTexture(s, nullptr);
            D3DMATRIX identity = Identity();
            dev->SetTransform(D3DTRANSFORMSTATETYPE(D3DTS_TEXTURE0 + s), &identity);
            dev->LightEnable(s, FALSE);
        }
        D3DMATRIX identity = Identity();
        dev->SetTransform(D3DTS_VIEW, &identity);
        dev->SetTransform(D3DTS_PROJECTION, &identity);
        for (int i = 0; i < 10; ++i)
            dev->SetTransform(D3DTS_WORLDMATRIX(i), &identity);
        D3DMATERIAL9 material = {};
        dev->SetMaterial(&material);
        D3DVIEWPORT9 viewport = {0, 0, kSize, kSize, 0.0f, 1.0f};
        dev->SetViewport(&viewport);
    }

    // A texture of width x height texels, given top row first as ARGB.
    IDirect3DTexture9* Texture(UINT width, UINT height, const D3DCOLOR* texels)
    {
        IDirect3DTexture9* texture = MakeTexture(width, height, D3DFMT_A8R8G8B8, texels, width * 4);
        m_textures.push_back(texture);
        return texture;
    }

    void Clear(D3DCOLOR color = 0xFF000000) { dev->Clear(0, nullptr, D3DCLEAR_TARGET, color, 1.0f, 0); }

    // The full-target quad with the half-pixel offset: texel centres on pixel centres.
    void DrawRhwQuad(D3DCOLOR diffuse, float u = 0.5f, float v = 0.5f)
    {
        const float lo = -0.5f, hi = float(kSize) - 0.5f;
        RhwVertex quad[4] = {{lo, lo, 0.5f, 1.0f, diffuse, u, v},
                             {hi, lo, 0.5f, 1.0f, diffuse, u, v},
                             {lo, hi, 0.5f, 1.0f, diffuse, u, v},
                             {hi, hi, 0.5f, 1.0f, diffuse, u, v}};
        dev->SetFVF(kRhwFvf);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(RhwVertex));
    }

    void DrawRhwQuadWithSpecular(D3DCOLOR diffuse, D3DCOLOR specular)
    {
        const float lo = -0.5f, hi = float(kSize) - 0.5f;
        RhwSpecularVertex quad[4] = {{lo, lo, 0.5f, 1.0f, diffuse, specular, 0.5f, 0.5f},
                                     {hi, lo, 0.5f, 1.0f, diffuse, specular, 0.5f, 0.5f},
                                     {lo, hi, 0.5f, 1.0f, diffuse, specular, 0.5f, 0.5f},
                                     {hi, hi, 0.5f, 1.0f, diffuse, specular, 0.5f, 0.5f}};
        dev->SetFVF(kRhwSpecularFvf);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(RhwSpecularVertex));
    }

    // Draws a strip of four vertices of any layout.
    template <class Vertex>
    void DrawStrip(DWORD fvf, const Vertex (&quad)[4])
    {
        dev->SetFVF(fvf);
        dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex));
    }

    IDirect3DDevice9* dev = nullptr;

private:
    std::vector<IDirect3DTexture9*> m_textures;
};

// Channels of an ARGB colour.
inline int A(D3DCOLOR c)
{
    return int(c >> 24);
}
inline int R(D3DCOLOR c)
{
    return int((c >> 16) & 0xFF);
}
inline int G(D3DCOLOR c)
{
    return int((c >> 8) & 0xFF);
}
inline int B(D3DCOLOR c)
{
    return int(c & 0xFF);
}

// 8-bit results may differ by one step from the exact value.
inline ::testing::AssertionResult Near(int expected, int actual)
{
    if (actual >= expected - 1 && actual <= expected + 1)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected " << expected << " got " << actual;
}

inline ::testing::AssertionResult RgbNear(D3DCOLOR pixel, int r, int g, int b)
{
    if (Near(r, R(pixel)) && Near(g, G(pixel)) && Near(b, B(pixel)))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "expected (" << r << "," << g << "," << b << ") got (" << R(pixel) << ","
                                         << G(pixel) << "," << B(pixel) << ") a " << A(pixel);
}

} // namespace ffptest
