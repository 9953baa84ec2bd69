// The values the fixed-function programs receive, checked without GL.
#include "Platform/D3d9/FixedFunctionUniforms.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

std::unique_ptr<D3d9State> Defaults()
{
    auto state = std::make_unique<D3d9State>();
    D3d9StateSetDefaults(state.get(), 8, 8);
    return state;
}

// GLSL's mat3 * n with the matrix given as three vec4 columns.
void Apply(const float columns[12], const float n[3], float out[3])
{
    for (int i = 0; i < 3; ++i)
        out[i] = columns[i] * n[0] + columns[4 + i] * n[1] + columns[8 + i] * n[2];
}

} // namespace

// Normals go through the inverse transpose: a surface squeezed along x gets a
// normal stretched along x.
TEST(FixedFunctionUniforms, NormalMatrixIsTheInverseTranspose)
{
    D3DMATRIX m = {};
    m._11 = 2.0f;
    m._22 = 4.0f;
    m._33 = 1.0f;
    m._44 = 1.0f;
    m._41 = 7.0f; // translation does not reach normals
    float columns[12];
    FfpNormalMatrix(m, columns);
    const float n[3] = {1.0f, 1.0f, 0.0f};
    float out[3];
    Apply(columns, n, out);
    EXPECT_FLOAT_EQ(0.5f, out[0]);
    EXPECT_FLOAT_EQ(0.25f, out[1]);
    EXPECT_FLOAT_EQ(0.0f, out[2]);

    // A rotation of 90 degrees about z (row vectors: x goes to y) turns normals alike.
    D3DMATRIX r = {};
    r._12 = 1.0f;
    r._21 = -1.0f;
    r._33 = 1.0f;
    r._44 = 1.0f;
    FfpNormalMatrix(r, columns);
    const float x[3] = {1.0f, 0.0f, 0.0f};
    Apply(columns, x, out);
    EXPECT_NEAR(0.0f, out[0], 1e-6f);
    EXPECT_NEAR(1.0f, out[1], 1e-6f);
}

TEST(FixedFunctionUniforms, LightsMoveToCameraSpaceWithTheView)
{
    auto state = Defaults();
    D3DLIGHT9 spot = {};
    spot.Type = D3DLIGHT_SPOT;
    spot.Position = {1.0f, 2.0f, 3.0f};
    spot.Direction = {0.0f, 0.0f, 5.0f};
    spot.Range = 50.0f;
    spot.Theta = 1.0f;
    spot.Phi = 2.0f;
    state->light[3] = spot;
    state->lightEnabled[3] = TRUE;
    D3DMATRIX& view = state->transform[D3DTS_VIEW];
    view._41 = 10.0f; // camera 10 units to the left of the world origin

    FfpLightingBlock block;
    FfpFillLighting(*state, block);
    EXPECT_EQ(1.0f, block.params[1]); // one active light, packed first
    const FfpLightBlock& light = block.lights[0];
    EXPECT_FLOAT_EQ(11.0f, light.position[0]);
    EXPECT_FLOAT_EQ(float(D3DLIGHT_SPOT), light.position[3]);
    EXPECT_FLOAT_EQ(1.0f, light.direction[2]); // unit length, translation ignored
    EXPECT_FLOAT_EQ(0.0f, light.direction[0]);
    EXPECT_FLOAT_EQ(50.0f, light.direction[3]);
    EXPECT_FLOAT_EQ(std::cos(0.5f), light.cone[0]);
    EXPECT_FLOAT_EQ(std::cos(1.0f), light.cone[1]);
}

TEST(FixedFunctionUniforms, AtMostFourLightsAndColourSources)
{
    auto state = Defaults();
    for (int i = 0; i < 6; ++i)
        state->lightEnabled[i] = TRUE;
    state->renderState[D3DRS_DIFFUSEMATERIALSOURCE] = D3DMCS_COLOR2;
    FfpLightingBlock block;
    FfpFillLighting(*state, block);
    EXPECT_EQ(4.0f, block.params[1]);
    EXPECT_EQ(2.0f, block.sources[0]);
    EXPECT_EQ(0.0f, block.sources[1]);

    state->renderState[D3DRS_COLORVERTEX] = FALSE; // the material alone
    FfpFillLighting(*state, block);
    EXPECT_EQ(0.0f, block.sources[0]);
}

TEST(FixedFunctionUniforms, PixelValues)
{
    auto state = Defaults();
    state->renderState[D3DRS_TEXTUREFACTOR] = 0x40FF8000;
    state->renderState[D3DRS_ALPHAREF] = 0x1C0;
    state->renderState[D3DRS_FOGSTART] = D3d9FloatBits(2.0f);
    state->renderState[D3DRS_FOGEND] = D3d9FloatBits(6.0f);
    FfpPixelBlock block;
    FfpFillPixel(*state, block);
    EXPECT_FLOAT_EQ(1.0f, block.textureFactor[0]);
    EXPECT_FLOAT_EQ(128.0f / 255.0f, block.textureFactor[1]);
    EXPECT_FLOAT_EQ(64.0f / 255.0f, block.textureFactor[3]);
    EXPECT_EQ(192.0f, block.alphaRef[0]); // the low byte only
    EXPECT_FLOAT_EQ(0.25f, block.fog[3]);
}
