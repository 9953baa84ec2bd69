// Vertex lighting through the device: a full-target quad of untransformed
// vertices (identity world, view and projection) whose lit diffuse colour is
// shown by stage 0. Every corner is lit alike, so any pixel tells the result.
#include "tests/Platform/D3d9/FixedFunctionTestDevice.h"

#include <cmath>

using namespace ffptest;

namespace {

struct LitVertex {
    float x, y, z;
    float nx, ny, nz;
    D3DCOLOR diffuse;
};
constexpr DWORD kLitFvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE;

struct LitNoColourVertex {
    float x, y, z;
    float nx, ny, nz;
};
constexpr DWORD kLitNoColourFvf = D3DFVF_XYZ | D3DFVF_NORMAL;

const float kRoot2 = std::sqrt(2.0f);

D3DCOLORVALUE Grey(float v, float a = 1.0f)
{
    return {v, v, v, a};
}

D3DLIGHT9 Directional(D3DVECTOR direction)
{
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_DIRECTIONAL;
    light.Diffuse = Grey(1.0f);
    light.Direction = direction;
    light.Range = 1000.0f;
    return light;
}

// Every corner of the quad is at distance 2 with N.L = 0.7071.
D3DLIGHT9 Point(float att0, float att1, float att2, float range)
{
    D3DLIGHT9 light = {};
    light.Type = D3DLIGHT_POINT;
    light.Diffuse = Grey(1.0f);
    light.Position = {0.0f, 0.0f, 0.5f - kRoot2};
    light.Range = range;
    light.Attenuation0 = att0;
    light.Attenuation1 = att1;
    light.Attenuation2 = att2;
    return light;
}

D3DLIGHT9 Spot(float falloff, float thetaDegrees, float phiDegrees)
{
    D3DLIGHT9 light = Point(1.0f, 0.0f, 0.0f, 100.0f);
    light.Type = D3DLIGHT_SPOT;
    light.Direction = {0.0f, 0.0f, 1.0f};
    light.Falloff = falloff;
    light.Theta = thetaDegrees * 3.14159265f / 180.0f;
    light.Phi = phiDegrees * 3.14159265f / 180.0f;
    return light;
}

class FixedFunctionLighting : public Device {
protected:
    void SetUpLit()
    {
        Baseline();
        dev->SetRenderState(D3DRS_LIGHTING, TRUE);
        dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        dev->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_DIFFUSE);
        dev->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_DIFFUSE);
    }

    void Light(const D3DLIGHT9& light)
    {
        dev->SetLight(0, &light);
        dev->LightEnable(0, TRUE);
    }

    void Material(D3DCOLORVALUE diffuse, D3DCOLORVALUE ambient = {}, D3DCOLORVALUE specular = {},
                  D3DCOLORVALUE emissive = {}, float power = 0.0f)
    {
        D3DMATERIAL9 material = {diffuse, ambient, specular, emissive, power};
        dev->SetMaterial(&material);
    }

    // The quad (+-1, +-1, 0.5) in camera space, shifted by offset in world space.
    D3DCOLOR DrawLit(float nz, D3DCOLOR diffuse = 0xFFFFFFFF, bool withColour = true, float offsetX = 0.0f,
                     float nx = 0.0f)
    {
        Clear();
        const float x0 = -1.0f + offsetX, x1 = 1.0f + offsetX;
        if (withColour) {
            LitVertex quad[4] = {{x0, 1, 0.5f, nx, 0, nz, diffuse},
                                 {x1, 1, 0.5f, nx, 0, nz, diffuse},
                                 {x0, -1, 0.5f, nx, 0, nz, diffuse},
                                 {x1, -1, 0.5f, nx, 0, nz, diffuse}};
            DrawStrip(kLitFvf, quad);
        } else {
            LitNoColourVertex quad[4] = {{x0, 1, 0.5f, nx, 0, nz},
                                         {x1, 1, 0.5f, nx, 0, nz},
                                         {x0, -1, 0.5f, nx, 0, nz},
                                         {x1, -1, 0.5f, nx, 0, nz}};
            DrawStrip(kLitNoColourFvf, quad);
        }
        return Pixel(4, 3);
    }
};

} // namespace

TEST_P(FixedFunctionLighting, AmbientAndEmissive)
{
    SetUpLit();
    dev->SetRenderState(D3DRS_AMBIENT, 0x00333333);
    Material({0, 0, 0, 1}, {1.0f, 0.6f, 0.2f, 1.0f});
    D3DCOLOR pixel = DrawLit(-1.0f);
    EXPECT_TRUE(RgbNear(pixel, 51, 31, 10));
    EXPECT_TRUE(Near(255, A(pixel))); // alpha is the diffuse material's

    Material({}, {}, {}, {0.4f, 0.2f, 0.0f, 1.0f});
    EXPECT_TRUE(RgbNear(DrawLit(-1.0f), 102, 51, 0));
}

TEST_P(FixedFunctionLighting, DirectionalDiffuseAndColourSources)
{
    SetUpLit();
    Light(Directional({0, 0, 1}));
    Material({0.6f, 0.4f, 0.2f, 1.0f});
    EXPECT_TRUE(RgbNear(DrawLit(-1.0f), 153, 102, 51)) << "facing the light";
    EXPECT_TRUE(RgbNear(DrawLit(1.0f), 0, 0, 0)) << "facing away";

    dev->SetRenderState(D3DRS_DIFFUSEMATERIALSOURCE, D3DMCS_COLOR1);
    EXPECT_TRUE(RgbNear(DrawLit(-1.0f, 0xFF336699), 51, 102, 153)) << "vertex colour as diffuse material";
    EXPECT_TRUE(RgbNear(DrawLit(-1.0f, 0, false), 153, 102, 51)) << "no vertex colour: the material";
    dev->SetRenderState(D3DRS_COLORVERTEX, FALSE);
    EXPECT_TRUE(RgbNear(DrawLit(-1.0f, 0xFF336699), 153, 102, 51)) << "COLORVERTEX off";

    Material({0.6f, 0.4f, 0.2f, 0.6f});
    EXPECT_TRUE(Near(153, A(DrawLit(-1.0f, 0xFF336699)))) << "alpha from the material";
}

TEST_P(FixedFunctionLighting, NormalsAreNormalisedOnlyWhenAsked)
{
    SetUpLit();
    Light(Directional({0, 0, 1}));
    Material(Grey(0.4f));
    EXPECT_TRUE(RgbNear(DrawLit(-0.5f), 51, 51, 51));
    dev->SetRenderState(D3DRS_NORMALIZENORMALS, TRUE);
    EXPECT_TRUE(RgbNear(DrawLit(-0.5f), 102, 102, 102));
}

// Every corner sees the light at distance 2 with N.L = 0.7071; the spot
// points along +z with rho = 0.7071 at the corners.
TEST_P(FixedFunctionLighting, PointAndSpotLights)
{
    SetUpLit();
    Material(Grey(1.0f));
    struct {
        const char* what;
        D3DLIGHT9 light;
        int expected;
    } cases[] = {
        {"linear attenuation", Point(0, 1, 0, 100), 90}, {"quadratic attenuation", Point(0, 0, 1, 100), 45},
        {"out of range", Point(0, 1, 0, 1.99f), 0},      {"spot falloff 1", Spot(1, 60, 120), 102},
        {"spot falloff 2", Spot(2, 60, 120), 58},        {"inside the inner cone", Spot(1, 100, 120), 180},
        {"outside the outer cone", Spot(1, 60, 80), 0},
    };
    for (const auto& c : cases) {
        Light(c.light);
        EXPECT_TRUE(RgbNear(DrawLit(-1.0f), c.expected, c.expected, c.expected)) << c.what;
    }
}

TEST_P(FixedFunctionLighting, SpecularWithLocalViewer)
{
    SetUpLit();
    D3DLIGHT9 light = Directional({0, 0, 1});
    light.Specular = Grey(1.0f);
    Light(light);
    dev->SetRenderState(D3DRS_SPECULARENABLE, TRUE);
    // At every corner N.H = 0.8165.
    Material({0, 0, 0, 1}, {}, Grey(1.0f), {}, 1.0f);
    EXPECT_TRUE(RgbNear(DrawLit(-1.0f), 208, 208, 208));
    Material({0, 0, 0, 1}, {}, Grey(1.0f), {}, 4.0f);
    EXPECT_TRUE(RgbNear(DrawLit(-1.0f), 113, 113, 113));
    // A distant viewer looks along +z: the light behind it reflects straight back.
    dev->SetRenderState(D3DRS_LOCALVIEWER, FALSE);
    EXPECT_TRUE(RgbNear(DrawLit(-1.0f), 255, 255, 255));
    dev->SetRenderState(D3DRS_LOCALVIEWER, TRUE);
    dev->SetRenderState(D3DRS_SPECULARENABLE, FALSE);
    EXPECT_TRUE(RgbNear(DrawLit(-1.0f), 0, 0, 0));
}

// Normals follow the inverse transpose of the world matrix: squeezing the
// quad along z stretches its normal, and without NORMALIZENORMALS the longer
// normal lights more.
TEST_P(FixedFunctionLighting, NormalsFollowTheWorldMatrix)
{
    SetUpLit();
    Light(Directional({0, 0, 1}));
    Material(Grey(0.2f));
    D3DMATRIX squeeze = Diagonal(1, 1, 0.5f, 1);
    dev->SetTransform(D3DTS_WORLD, &squeeze);
    EXPECT_TRUE(RgbNear(DrawLit(-1.0f), 102, 102, 102));
}

// A light is given in world space and follows the view matrix of the draw,
// even when the view is set after the light.
TEST_P(FixedFunctionLighting, LightUsesTheViewAtDrawTime)
{
    SetUpLit();
    Material(Grey(1.0f));
    D3DLIGHT9 light = Point(0, 1, 0, 100);
    light.Position.x -= 2.0f;
    Light(light);
    D3DMATRIX view = Translation(2.0f, 0.0f, 0.0f);
    dev->SetTransform(D3DTS_VIEW, &view);
    EXPECT_TRUE(RgbNear(DrawLit(-1.0f, 0xFFFFFFFF, true, -2.0f), 90, 90, 90));
}

// Four lights at once, the fifth enabled one is not used.
TEST_P(FixedFunctionLighting, FirstFourEnabledLightsAdd)
{
    SetUpLit();
    Material(Grey(1.0f));
    D3DLIGHT9 light = Directional({0, 0, 1});
    light.Diffuse = Grey(0.1f);
    for (DWORD i = 0; i < 5; ++i) {
        dev->SetLight(i, &light);
        dev->LightEnable(i, TRUE);
    }
    EXPECT_TRUE(RgbNear(DrawLit(-1.0f), 102, 102, 102));
    for (DWORD i = 0; i < 5; ++i)
        dev->LightEnable(i, FALSE);
}

D3D9_FIXTURE_PATHS(FixedFunctionLighting);
