// Fog, texture-coordinate transforms and generation, and vertex blending
// through the device.
#include "tests/Platform/D3d9/FixedFunctionTestDevice.h"

using namespace ffptest;

namespace {

struct PlainVertex {
    float x, y, z;
    D3DCOLOR diffuse;
};
constexpr DWORD kPlainFvf = D3DFVF_XYZ | D3DFVF_DIFFUSE;

struct TexturedVertex {
    float x, y, z;
    float u, v;
};
constexpr DWORD kTexturedFvf = D3DFVF_XYZ | D3DFVF_TEX1;

struct NormalVertex {
    float x, y, z;
    float nx, ny, nz;
};
constexpr DWORD kNormalFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

struct BlendVertex {
    float x, y, z;
    float weight;
    DWORD indices;
    D3DCOLOR diffuse;
};
constexpr DWORD kIndexedBlendFvf = D3DFVF_XYZB2 | D3DFVF_LASTBETA_UBYTE4 | D3DFVF_DIFFUSE;

struct WeightVertex {
    float x, y, z;
    float weight;
    D3DCOLOR diffuse;
};
constexpr DWORD kBlendFvf = D3DFVF_XYZB1 | D3DFVF_DIFFUSE;

class FixedFunctionVertex : public Device {
protected:
    void ShowDiffuse()
    {
        dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        dev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    }
    void ShowTexture()
    {
        dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    }

    // A white quad covering the target at camera depth z (+-half in x and y).
    void DrawWhite(float z, float half)
    {
        PlainVertex quad[4] = {{-half, half, z, 0xFFFFFFFF},
                               {half, half, z, 0xFFFFFFFF},
                               {-half, -half, z, 0xFFFFFFFF},
                               {half, -half, z, 0xFFFFFFFF}};
        Clear();
        DrawStrip(kPlainFvf, quad);
    }

    void SetFog(DWORD table, DWORD vertex, float start, float end, float density, D3DCOLOR color)
    {
        dev->SetRenderState(D3DRS_FOGENABLE, TRUE);
        dev->SetRenderState(D3DRS_FOGTABLEMODE, table);
        dev->SetRenderState(D3DRS_FOGVERTEXMODE, vertex);
        dev->SetRenderState(D3DRS_FOGSTART, D3d9FloatBits(start));
        dev->SetRenderState(D3DRS_FOGEND, D3d9FloatBits(end));
        dev->SetRenderState(D3DRS_FOGDENSITY, D3d9FloatBits(density));
        dev->SetRenderState(D3DRS_FOGCOLOR, color);
    }

    // Which of the 8 columns of row 4 are lit.
    std::string Columns()
    {
        std::string lit;
        for (UINT x = 0; x < kSize; ++x)
            lit += R(Pixel(x, 4)) > 128 ? '#' : '.';
        return lit;
    }
};

} // namespace

// Table fog with an affine projection measures device depth.
TEST_P(FixedFunctionVertex, TableFogLinearOnDepth)
{
    ShowDiffuse();
    SetFog(D3DFOG_LINEAR, D3DFOG_NONE, 0.25f, 0.75f, 1.0f, 0);
    DrawWhite(0.45f, 1.0f);
    EXPECT_TRUE(RgbNear(Pixel(2, 2), 153, 153, 153));
}

// With a projection whose fourth column is (0, 0, 1, 0) table fog measures
// the eye distance, as the flight mini-game's exponential fog needs.
TEST_P(FixedFunctionVertex, TableFogExponentialOnEyeDistance)
{
    ShowDiffuse();
    D3DMATRIX projection = Diagonal(1, 1, 0.5f, 0);
    projection._34 = 1.0f;
    dev->SetTransform(D3DTS_PROJECTION, &projection);
    SetFog(D3DFOG_EXP, D3DFOG_NONE, 0, 1, 0.0003f, 0xFFFFDF8C);
    DrawWhite(1000.0f, 1000.0f);
    EXPECT_TRUE(RgbNear(Pixel(3, 3), 255, 247, 225));

    SetFog(D3DFOG_EXP2, D3DFOG_NONE, 0, 1, 0.001f, 0);
    DrawWhite(1000.0f, 1000.0f);
    EXPECT_TRUE(RgbNear(Pixel(3, 3), 94, 94, 94));
}

TEST_P(FixedFunctionVertex, VertexFogAndTableFogWins)
{
    ShowDiffuse();
    D3DMATRIX projection = Diagonal(1, 1, 0.1f, 1);
    dev->SetTransform(D3DTS_PROJECTION, &projection);
    SetFog(D3DFOG_NONE, D3DFOG_LINEAR, 0, 10, 1, 0);
    DrawWhite(4.0f, 1.0f);
    EXPECT_TRUE(RgbNear(Pixel(6, 1), 153, 153, 153)) << "vertex fog on camera z";

    SetFog(D3DFOG_LINEAR, D3DFOG_LINEAR, 0, 0.5f, 1, 0);
    DrawWhite(4.0f, 1.0f);
    EXPECT_TRUE(RgbNear(Pixel(6, 1), 51, 51, 51)) << "table fog on depth 0.4";
}

// Pre-transformed vertices without a specular colour carry fog factor 0.
TEST_P(FixedFunctionVertex, PreTransformedVertexWithoutSpecularIsFullyFogged)
{
    ShowDiffuse();
    SetFog(D3DFOG_NONE, D3DFOG_NONE, 0, 1, 1, 0xFF00FF00);
    Clear();
    DrawRhwQuad(0xFFFFFFFF);
    EXPECT_TRUE(RgbNear(Pixel(0, 0), 0, 255, 0));
}

TEST_P(FixedFunctionVertex, TextureMatrixScalesCoordinates)
{
    const D3DCOLOR texels[2] = {0xFF000000, 0xFFFFFFFF};
    dev->SetTexture(0, Texture(2, 1, texels));
    ShowTexture();
    dev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT2);
    D3DMATRIX scale = Diagonal(2, 1, 1, 0);
    dev->SetTransform(D3DTS_TEXTURE0, &scale);
    for (float u : {0.2f, 0.3f}) {
        TexturedVertex quad[4] = {{-1, 1, 0.5f, u, 0}, {1, 1, 0.5f, u, 0}, {-1, -1, 0.5f, u, 0}, {1, -1, 0.5f, u, 0}};
        Clear();
        DrawStrip(kTexturedFvf, quad);
        EXPECT_EQ(u < 0.25f ? 0 : 255, R(Pixel(4, 4))) << "u " << u; // u * 2 picks texel 0 or 1
    }
}

// TEXCOORDINDEX picks the vertex's coordinate set for the stage.
TEST_P(FixedFunctionVertex, StageReadsTheSetItSelects)
{
    const D3DCOLOR texels[2] = {0xFF000000, 0xFFFFFFFF};
    dev->SetTexture(0, Texture(2, 1, texels));
    ShowTexture();
    struct TwoSets {
        float x, y, z, u0, v0, u1, v1;
    };
    TwoSets quad[4] = {{-1, 1, 0.5f, 0.2f, 0, 0.8f, 0},
                       {1, 1, 0.5f, 0.2f, 0, 0.8f, 0},
                       {-1, -1, 0.5f, 0.2f, 0, 0.8f, 0},
                       {1, -1, 0.5f, 0.2f, 0, 0.8f, 0}};
    for (DWORD set : {0u, 1u}) {
        dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, set);
        Clear();
        DrawStrip(D3DFVF_XYZ | D3DFVF_TEX2, quad);
        EXPECT_EQ(set == 0 ? 0 : 255, R(Pixel(4, 4))) << "set " << set;
    }
}

// Flat shading takes each triangle's first vertex colour.
TEST_P(FixedFunctionVertex, FlatShadingUsesTheFirstVertex)
{
    ShowDiffuse();
    dev->SetRenderState(D3DRS_SHADEMODE, D3DSHADE_FLAT);
    PlainVertex quad[4] = {
        {-1, 1, 0.5f, 0xFFFF0000}, {1, 1, 0.5f, 0xFF00FF00}, {-1, -1, 0.5f, 0xFF0000FF}, {1, -1, 0.5f, 0xFFFFFFFF}};
    Clear();
    DrawStrip(kPlainFvf, quad);
    EXPECT_EQ(0xFFFF0000u, Pixel(0, 0)); // triangle TL, TR, BL
    EXPECT_EQ(0xFF00FF00u, Pixel(7, 7)); // triangle TR, BL, BR
}

// Projected coordinates divide by the last kept component; (u, v, q) with
// q = 2 halves u.
TEST_P(FixedFunctionVertex, ProjectedCoordinates)
{
    const D3DCOLOR texels[2] = {0xFF000000, 0xFFFFFFFF};
    dev->SetTexture(0, Texture(2, 1, texels));
    ShowTexture();
    struct Vertex3 {
        float x, y, z, u, v, q;
    };
    dev->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_COUNT3 | D3DTTFF_PROJECTED);
    Vertex3 quad[4] = {
        {-1, 1, 0.5f, 0.8f, 0, 2}, {1, 1, 0.5f, 0.8f, 0, 2}, {-1, -1, 0.5f, 0.8f, 0, 2}, {1, -1, 0.5f, 0.8f, 0, 2}};
    Clear();
    DrawStrip(D3DFVF_XYZ | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0), quad);
    EXPECT_EQ(0, R(Pixel(4, 4))); // 0.8 / 2 = 0.4: texel 0; unprojected 0.8 would be texel 1

    // Pre-transformed vertices keep their coordinates (the matrix is not
    // applied) but are still divided.
    D3DMATRIX doubleU = Diagonal(2, 1, 1, 1);
    dev->SetTransform(D3DTS_TEXTURE0, &doubleU);
    struct RhwVertex3 {
        float x, y, z, rhw, u, v, q;
    };
    const float lo = -0.5f, hi = float(kSize) - 0.5f;
    RhwVertex3 rhwQuad[4] = {{lo, lo, 0.5f, 1, 0.8f, 0, 2},
                             {hi, lo, 0.5f, 1, 0.8f, 0, 2},
                             {lo, hi, 0.5f, 1, 0.8f, 0, 2},
                             {hi, hi, 0.5f, 1, 0.8f, 0, 2}};
    Clear();
    DrawStrip(D3DFVF_XYZRHW | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0), rhwQuad);
    EXPECT_EQ(0, R(Pixel(4, 4))); // 0.4 again; with the matrix it would be 0.8
}

// Camera-space normal and reflection vector (R = 2 (E.N) N - E, E towards
// the eye) as coordinates: u is their x, +-0.6 and +-0.96 here.
TEST_P(FixedFunctionVertex, NormalAndReflectionCoordinates)
{
    const D3DCOLOR texels[2] = {0xFF000000, 0xFFFFFFFF};
    dev->SetTexture(0, Texture(2, 1, texels));
    ShowTexture();
    dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    dev->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    D3DMATRIX projection = Diagonal(200, 200, 1, 1);
    dev->SetTransform(D3DTS_PROJECTION, &projection);
    for (DWORD source : {D3DTSS_TCI_CAMERASPACENORMAL, D3DTSS_TCI_CAMERASPACEREFLECTIONVECTOR}) {
        dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, source);
        for (float nx : {0.6f, -0.6f}) {
            const float h = 0.005f;
            NormalVertex quad[4] = {{-h, h, 0.5f, nx, 0, -0.8f},
                                    {h, h, 0.5f, nx, 0, -0.8f},
                                    {-h, -h, 0.5f, nx, 0, -0.8f},
                                    {h, -h, 0.5f, nx, 0, -0.8f}};
            Clear();
            DrawStrip(kNormalFvf, quad);
            EXPECT_EQ(nx > 0 ? 255 : 0, R(Pixel(4, 4))) << "source " << std::hex << source << " normal x " << nx;
        }
    }
}

TEST_P(FixedFunctionVertex, CameraSpacePositionCoordinates)
{
    const D3DCOLOR texels[2] = {0xFF000000, 0xFFFFFFFF};
    dev->SetTexture(0, Texture(2, 1, texels));
    ShowTexture();
    dev->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    dev->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, D3DTSS_TCI_CAMERASPACEPOSITION);
    Clear();
    DrawWhite(0.5f, 1.0f); // u = camera x, clamped: texel 1 from x = 0.5 on
    EXPECT_EQ("......##", Columns());
}

TEST_P(FixedFunctionVertex, BlendWithOneWeight)
{
    ShowDiffuse();
    dev->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_1WEIGHTS);
    D3DMATRIX shift = Translation(0.8f, 0, 0);
    dev->SetTransform(D3DTS_WORLDMATRIX(1), &shift);
    // A quad over columns 0-1 moved by 0.75 * 0.8 = 0.6 (2.4 pixels).
    WeightVertex quad[4] = {{-1, 1, 0.5f, 0.25f, 0xFFFFFFFF},
                            {-0.5f, 1, 0.5f, 0.25f, 0xFFFFFFFF},
                            {-1, -1, 0.5f, 0.25f, 0xFFFFFFFF},
                            {-0.5f, -1, 0.5f, 0.25f, 0xFFFFFFFF}};
    Clear();
    DrawStrip(kBlendFvf, quad);
    EXPECT_EQ("...##...", Columns());
}

TEST_P(FixedFunctionVertex, IndexedBlend)
{
    ShowDiffuse();
    D3DMATRIX m0 = Translation(0.5f, 0, 0), m3 = Translation(0.4f, 0, 0), m7 = Translation(0.8f, 0, 0),
              m9 = Translation(0.8f, 0, 0), far = Translation(5.0f, 0, 0);
    dev->SetTransform(D3DTS_WORLDMATRIX(0), &m0);
    dev->SetTransform(D3DTS_WORLDMATRIX(3), &m3);
    dev->SetTransform(D3DTS_WORLDMATRIX(200), &far);
    dev->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, TRUE);
    auto draw = [&](DWORD indices) {
        BlendVertex quad[4] = {{-1, 1, 0.5f, 0.25f, indices, 0xFFFFFFFF},
                               {-0.5f, 1, 0.5f, 0.25f, indices, 0xFFFFFFFF},
                               {-1, -1, 0.5f, 0.25f, indices, 0xFFFFFFFF},
                               {-0.5f, -1, 0.5f, 0.25f, indices, 0xFFFFFFFF}};
        Clear();
        DrawStrip(kIndexedBlendFvf, quad);
        return Columns();
    };

    // 0.25 * M3 + 0.75 * M7 = +0.7 (2.8 pixels).
    dev->SetTransform(D3DTS_WORLDMATRIX(7), &m7);
    dev->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_1WEIGHTS);
    EXPECT_EQ("...##...", draw(0x00000703));

    // DISABLE ignores the indices: world matrix 0 alone (+0.5, 2 pixels).
    dev->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
    EXPECT_EQ("..##....", draw(0x00000703));

    // Two weights with one in the vertex: the second reads 0 and the rest,
    // 0.75, goes to the third index: 0.25 * M3 + 0 * M200 + 0.75 * M9.
    dev->SetTransform(D3DTS_WORLDMATRIX(9), &m9);
    dev->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_2WEIGHTS);
    EXPECT_EQ("...##...", draw(0x0009C803));

    dev->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE);
    dev->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
}

// Equal states share one program: drawing the same state again builds nothing.
TEST_P(FixedFunctionVertex, RepeatedStateReusesItsProgram)
{
    ShowDiffuse();
    Clear();
    DrawRhwQuad(0xFFFFFFFF);
    dev->SetRenderState(D3DRS_TEXTUREFACTOR, 0x12345678); // a value, not a program change
    FfpStats before = FfpGetStats();
    for (int i = 0; i < 3; ++i)
        DrawRhwQuad(0xFFFFFFFF);
    FfpStats after = FfpGetStats();
    EXPECT_EQ(before.programs, after.programs);
    EXPECT_EQ(before.cacheMisses, after.cacheMisses);
}

D3D9_FIXTURE_PATHS(FixedFunctionVertex);
