// Where pre-transformed and transformed geometry lands, pixel by pixel.
#include "D3d9Fixture.h"

class D3d9Coverage : public D3d9Fixture {
protected:
    // The pixels of the target that hold `colour`, as a string of 8 rows.
    std::string Mask(uint32_t colour)
    {
        std::vector<uint32_t> pixels = ReadTarget();
        std::string rows;
        for (UINT y = 0; y < kSize; ++y) {
            for (UINT x = 0; x < kSize; ++x)
                rows += pixels[y * kSize + x] == colour ? '#' : '.';
            rows += '\n';
        }
        return rows;
    }

    static std::string Rect(int x0, int y0, int x1, int y1)
    {
        std::string rows;
        for (int y = 0; y < (int)kSize; ++y) {
            for (int x = 0; x < (int)kSize; ++x)
                rows += (x >= x0 && x < x1 && y >= y0 && y < y1) ? '#' : '.';
            rows += '\n';
        }
        return rows;
    }
};

// Direct3D samples at integer pixel centres with the top-left rule: an edge
// through a centre takes that pixel on the left and top sides only.
TEST_P(D3d9Coverage, PretransformedQuadsCoverDirect3DPixels)
{
    struct Case {
        float x0, y0, x1, y1;
        int px0, py0, px1, py1;
    } cases[] = {
        {-0.5f, -0.5f, 3.5f, 3.5f, 0, 0, 4, 4},  // the engine's half-pixel offset
        {0.0f, 0.0f, 4.0f, 4.0f, 0, 0, 4, 4},    // edges through pixel centres
        {1.0f, 2.0f, 3.0f, 7.0f, 1, 2, 3, 7},
        {0.5f, 0.5f, 2.5f, 2.5f, 1, 1, 3, 3},
        {0.6f, 0.4f, 2.4f, 2.6f, 1, 1, 3, 3},
        {-4.0f, -4.0f, 20.0f, 20.0f, 0, 0, 8, 8},
        {3.2f, 3.2f, 3.8f, 3.8f, 0, 0, 0, 0},    // covers no centre
    };
    for (const Case& c : cases) {
        d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        DrawQuad(c.x0, c.y0, c.x1, c.y1, 0xFFFFFFFF);
        EXPECT_EQ(Rect(c.px0, c.py0, c.px1, c.py1), Mask(0xFFFFFFFF))
            << "quad " << c.x0 << "," << c.y0 << " - " << c.x1 << "," << c.y1;
    }
}

TEST_P(D3d9Coverage, TransformedGeometryFollowsTheViewportTransform)
{
    struct Vertex {
        float x, y, z;
        D3DCOLOR diffuse;
    };
    d->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    // Identity transforms: clip space straight onto the 8x8 viewport. The
    // left half (x -1..0) takes columns 0-3; the top half (y 0..1) rows 0-3.
    Vertex quad[4] = {{-1, 1, 0.5f, 0xFFFFFFFF}, {0, 1, 0.5f, 0xFFFFFFFF}, {-1, 0, 0.5f, 0xFFFFFFFF},
                      {0, 0, 0.5f, 0xFFFFFFFF}};
    ASSERT_EQ(D3D_OK, d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)));
    EXPECT_EQ(Rect(0, 0, 4, 4), Mask(0xFFFFFFFF));

    // The same quad in a viewport at (4, 2) of 4x4 pixels.
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    D3DVIEWPORT9 viewport = {4, 2, 4, 4, 0.0f, 1.0f};
    ASSERT_EQ(D3D_OK, d->SetViewport(&viewport));
    ASSERT_EQ(D3D_OK, d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Vertex)));
    viewport = {0, 0, kSize, kSize, 0.0f, 1.0f};
    d->SetViewport(&viewport);
    EXPECT_EQ(Rect(4, 2, 6, 4), Mask(0xFFFFFFFF));
}

// A pre-transformed draw never leaves the viewport: the engine clips 2D
// visuals by narrowing the viewport.
TEST_P(D3d9Coverage, PretransformedDrawsAreClippedToTheViewport)
{
    D3DVIEWPORT9 viewport = {2, 2, 4, 4, 0.0f, 1.0f};
    ASSERT_EQ(D3D_OK, d->SetViewport(&viewport));
    FillPixels(0, 0, 8, 8, 0xFFFFFFFF);
    EXPECT_EQ(Rect(2, 2, 6, 6), Mask(0xFFFFFFFF));
}

// Colours interpolate with 1/w like Direct3D: halfway across a quad whose
// right side has rhw 0.25 the colour is 51, not the affine 128.
TEST_P(D3d9Coverage, PretransformedColoursArePerspectiveCorrect)
{
    RhwVertex v[4] = {{0, 0, 0.5f, 1.0f, 0xFF000000, 0, 0},
                      {8, 0, 0.5f, 0.25f, 0xFFFFFFFF, 0, 0},
                      {0, 8, 0.5f, 1.0f, 0xFF000000, 0, 0},
                      {8, 8, 0.5f, 0.25f, 0xFFFFFFFF, 0, 0}};
    ASSERT_EQ(D3D_OK, d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(RhwVertex)));
    EXPECT_TRUE(ArgbNear(0xFF333333, Pixel(4, 3)));
}

// Clockwise on Direct3D's screen (y down) is what D3DCULL_CW removes.
TEST_P(D3d9Coverage, CullingFollowsDirect3DWinding)
{
    RhwVertex tl = {-0.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 0, 0}, tr = {7.5f, -0.5f, 0.5f, 1, 0xFFFFFFFF, 0, 0};
    RhwVertex bl = {-0.5f, 7.5f, 0.5f, 1, 0xFFFFFFFF, 0, 0}, br = {7.5f, 7.5f, 0.5f, 1, 0xFFFFFFFF, 0, 0};
    RhwVertex strip[4] = {tl, tr, bl, br};        // clockwise first triangle
    RhwVertex list[3] = {tl, bl, tr};             // counter-clockwise
    struct Case {
        DWORD cull;
        bool useStrip;
        bool drawn;
    } cases[] = {
        {D3DCULL_CCW, true, true}, {D3DCULL_CW, true, false}, {D3DCULL_CW, false, true},
        {D3DCULL_CCW, false, false}, {D3DCULL_NONE, false, true},
    };
    for (const Case& c : cases) {
        d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
        d->SetRenderState(D3DRS_CULLMODE, c.cull);
        if (c.useStrip)
            d->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, strip, sizeof(RhwVertex));
        else
            d->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, list, sizeof(RhwVertex));
        EXPECT_EQ(c.drawn ? 0xFFFFFFFFu : 0xFF000000u, Pixel(1, 1))
            << "cull " << c.cull << (c.useStrip ? " strip" : " list");
    }
}

D3D9_FIXTURE_PATHS(D3d9Coverage);

class D3d9Texels : public D3d9Fixture {};

// With the half-pixel offset a 4x4 texture maps texel for pixel even with
// linear filtering; without it every pixel falls between four texels.
TEST_P(D3d9Texels, HalfPixelOffsetMapsTexelsOntoPixels)
{
    uint32_t texels[16];
    for (int i = 0; i < 16; ++i)
        texels[i] = 0xFF000000u | (uint32_t)(i * 16) << 16 | (uint32_t)(255 - i * 16) << 8 | (uint32_t)(i * 5);
    IDirect3DTexture9* texture = MakeTexture(4, 4, D3DFMT_A8R8G8B8, texels, 16);
    UseTexture(texture, D3DTEXF_LINEAR);
    FillPixels(0, 0, 4, 4, 0xFFFFFFFF);
    std::vector<uint32_t> pixels = ReadTarget();
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(texels[y * 4 + x], pixels[y * kSize + x]) << x << "," << y;

    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    DrawQuad(0.0f, 0.0f, 4.0f, 4.0f, 0xFFFFFFFF);
    uint32_t mean = 0xFF000000;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t sum = ((texels[0] >> shift) & 0xFF) + ((texels[1] >> shift) & 0xFF) + ((texels[4] >> shift) & 0xFF) +
                       ((texels[5] >> shift) & 0xFF);
        mean |= ((sum + 2) / 4) << shift;
    }
    EXPECT_TRUE(ArgbNear(mean, Pixel(1, 1)));
    texture->Release();
}

TEST(D3d9VertexLayout, FvfCodesGiveDirect3DOffsets)
{
    D3d9VertexLayout l = D3d9ParseFvf(D3DFVF_XYZ | D3DFVF_DIFFUSE | D3DFVF_TEX1);
    EXPECT_EQ(24u, l.stride);
    EXPECT_EQ(12, l.diffuseOffset);
    EXPECT_EQ(16u, l.texOffset[0]);

    l = D3d9ParseFvf(0x50202);  // XYZ, two sets of three floats
    EXPECT_EQ(2, l.texCount);
    EXPECT_EQ(3, l.texSize[1]);
    EXPECT_EQ(24u, l.texOffset[1]);
    EXPECT_EQ(36u, l.stride);

    // XYZB3 with the last beta holding indices: two float weights, then the
    // index bytes, then the normal.
    l = D3d9ParseFvf(D3DFVF_XYZB3 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_NORMAL | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE1(0));
    EXPECT_EQ(2, l.weightCount);
    EXPECT_TRUE(l.hasIndices);
    EXPECT_EQ(20u, l.indicesOffset);
    EXPECT_EQ(24, l.normalOffset);
    EXPECT_EQ(1, l.texSize[0]);
    EXPECT_EQ(40u, l.stride);

    l = D3d9ParseFvf(D3DFVF_XYZRHW | D3DFVF_SPECULAR);
    EXPECT_EQ(4, l.positionSize);
    EXPECT_EQ(16, l.specularOffset);
    EXPECT_EQ(-1, l.diffuseOffset);
    EXPECT_EQ(20u, l.stride);

    EXPECT_EQ(6u, D3d9VertexCount(D3DPT_TRIANGLELIST, 2));
    EXPECT_EQ(4u, D3d9VertexCount(D3DPT_TRIANGLESTRIP, 2));
    EXPECT_EQ(3u, D3d9VertexCount(D3DPT_LINESTRIP, 2));
}

D3D9_FIXTURE_PATHS(D3d9Texels);
