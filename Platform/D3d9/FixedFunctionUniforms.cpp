// Filling the fixed-function uniform blocks from the device state.
#include "Platform/D3d9/FixedFunctionUniforms.h"

#include <cmath>
#include <cstring>

namespace {

void Set4(float out[4], float x, float y, float z, float w)
{
    out[0] = x;
    out[1] = y;
    out[2] = z;
    out[3] = w;
}

void CopyColor(const D3DCOLORVALUE& c, float out[4])
{
    Set4(out, c.r, c.g, c.b, c.a);
}

// Direct3D row vector times matrix: (x, y, z, w) * m.
void TransformRow(const D3DMATRIX& m, float x, float y, float z, float w, float out[3])
{
    for (int c = 0; c < 3; ++c)
        out[c] = x * m.m[0][c] + y * m.m[1][c] + z * m.m[2][c] + w * m.m[3][c];
}

DWORD MaterialSource(DWORD value)
{
    return value <= D3DMCS_COLOR2 ? value : D3DMCS_MATERIAL;
}

void FillLight(const D3DLIGHT9& light, const D3DMATRIX& view, FfpLightBlock& out)
{
    CopyColor(light.Diffuse, out.diffuse);
    CopyColor(light.Specular, out.specular);
    CopyColor(light.Ambient, out.ambient);
    // Light positions and directions are given in world space; the lighting
    // runs in camera space with the view matrix current at the draw.
    float p[3], d[3];
    TransformRow(view, light.Position.x, light.Position.y, light.Position.z, 1.0f, p);
    TransformRow(view, light.Direction.x, light.Direction.y, light.Direction.z, 0.0f, d);
    float length = std::sqrt(d[0] * d[0] + d[1] * d[1] + d[2] * d[2]);
    if (length > 0.0f)
        for (float& c : d)
            c /= length;
    Set4(out.position, p[0], p[1], p[2], float(light.Type));
    Set4(out.direction, d[0], d[1], d[2], light.Range);
    Set4(out.attenuation, light.Attenuation0, light.Attenuation1, light.Attenuation2, light.Falloff);
    Set4(out.cone, std::cos(light.Theta * 0.5f), std::cos(light.Phi * 0.5f), 0.0f, 0.0f);
}

} // namespace

void FfpColorToFloats(D3DCOLOR color, float out[4])
{
    Set4(out, float((color >> 16) & 0xFF) / 255.0f, float((color >> 8) & 0xFF) / 255.0f, float(color & 0xFF) / 255.0f,
         float(color >> 24) / 255.0f);
}

void FfpNormalMatrix(const D3DMATRIX& m, float out[12])
{
    const float(*a)[4] = m.m;
    float cof[3][3];
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
            cof[r][c] = a[r1][c1] * a[r2][c2] - a[r1][c2] * a[r2][c1];
        }
    }
    float det = a[0][0] * cof[0][0] + a[0][1] * cof[0][1] + a[0][2] * cof[0][2];
    float inv = std::fabs(det) > 1e-30f ? 1.0f / det : 0.0f;
    // inverse[i][k] = cof[k][i] / det; GLSL column k holds inverse[0..2][k].
    for (int k = 0; k < 3; ++k)
        Set4(out + 4 * k, cof[k][0] * inv, cof[k][1] * inv, cof[k][2] * inv, 0.0f);
}

void FfpFillTransforms(const D3d9State& state, FfpTransformBlock& block)
{
    std::memcpy(block.view, &state.transform[D3DTS_VIEW], sizeof block.view);
    std::memcpy(block.projection, &state.transform[D3DTS_PROJECTION], sizeof block.projection);
    FfpNormalMatrix(state.transform[D3DTS_VIEW], block.viewNormal);
    for (int s = 0; s < kFfpStageCount; ++s)
        std::memcpy(block.texMatrix[s], &state.transform[D3DTS_TEXTURE0 + s], sizeof block.texMatrix[s]);
    Set4(block.flags, state.renderState[D3DRS_NORMALIZENORMALS] ? 1.0f : 0.0f,
         state.renderState[D3DRS_LOCALVIEWER] ? 1.0f : 0.0f, 0.0f, 0.0f);
}

void FfpFillLighting(const D3d9State& state, FfpLightingBlock& block)
{
    std::memset(&block, 0, sizeof block);
    const DWORD* rs = state.renderState;
    const D3DMATERIAL9& material = state.material;
    CopyColor(material.Diffuse, block.materialDiffuse);
    CopyColor(material.Ambient, block.materialAmbient);
    CopyColor(material.Specular, block.materialSpecular);
    CopyColor(material.Emissive, block.materialEmissive);
    FfpColorToFloats(rs[D3DRS_AMBIENT], block.globalAmbient);
    if (rs[D3DRS_COLORVERTEX]) {
        Set4(block.sources, float(MaterialSource(rs[D3DRS_DIFFUSEMATERIALSOURCE])),
             float(MaterialSource(rs[D3DRS_AMBIENTMATERIALSOURCE])),
             float(MaterialSource(rs[D3DRS_SPECULARMATERIALSOURCE])),
             float(MaterialSource(rs[D3DRS_EMISSIVEMATERIALSOURCE])));
    }
    // The first four enabled lights take part.
    int count = 0;
    for (int i = 0; i < kD3d9LightCount && count < kFfpMaxActiveLights; ++i)
        if (state.lightEnabled[i])
            FillLight(state.light[i], state.transform[D3DTS_VIEW], block.lights[count++]);
    Set4(block.params, material.Power, float(count), 0.0f, 0.0f);
}

void FfpFillPixel(const D3d9State& state, FfpPixelBlock& block)
{
    std::memset(&block, 0, sizeof block);
    const DWORD* rs = state.renderState;
    FfpColorToFloats(rs[D3DRS_TEXTUREFACTOR], block.textureFactor);
    FfpColorToFloats(rs[D3DRS_FOGCOLOR], block.fogColor);
    block.fogColor[3] = 1.0f;
    float start = D3d9StateFloat(rs[D3DRS_FOGSTART]);
    float end = D3d9StateFloat(rs[D3DRS_FOGEND]);
    // start == end: everything nearer than end is clear, the rest fogged.
    float inverse = end != start ? 1.0f / (end - start) : 1e30f;
    Set4(block.fog, start, end, D3d9StateFloat(rs[D3DRS_FOGDENSITY]), inverse);
    Set4(block.alphaRef, float(rs[D3DRS_ALPHAREF] & 0xFF), 0.0f, 0.0f, 0.0f);
    for (int s = 0; s < kFfpStageCount; ++s) {
        const DWORD* tss = state.stageState[s];
        FfpColorToFloats(tss[D3DTSS_CONSTANT], block.stageConstant[s]);
        Set4(block.bumpMatrix[s], D3d9StateFloat(tss[D3DTSS_BUMPENVMAT00]), D3d9StateFloat(tss[D3DTSS_BUMPENVMAT01]),
             D3d9StateFloat(tss[D3DTSS_BUMPENVMAT10]), D3d9StateFloat(tss[D3DTSS_BUMPENVMAT11]));
        Set4(block.bumpLuminance[s], D3d9StateFloat(tss[D3DTSS_BUMPENVLSCALE]),
             D3d9StateFloat(tss[D3DTSS_BUMPENVLOFFSET]), 0.0f, 0.0f);
    }
}
