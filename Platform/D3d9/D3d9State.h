// The device's whole fixed-function state as plain arrays indexed by Direct3D's
// own numbers, and the contract between the device (which fills it) and the
// fixed-function emulation (which turns it into GL programs and uniforms).
//
// Draw path contract. At every Draw* the device, after binding the vertex
// arrays, samplers and raster state, calls
//     bool FfpBindProgram(D3d9State& state);
// (declared by the fixed-function emulation in FixedFunction.h) which makes the
// program for the current state current (glUseProgram), uploads the uniforms
// whose dirty bits are set and clears the bits it consumed. It returns false
// when no program can be built; the draw is then skipped.
//
// Vertex attributes arrive at the fixed locations of D3d9Attribute. Stage s
// samples texture unit s. The vertex shader maps its position to GL with the
// functions of kD3d9PositionGlsl (D3d9Glsl.h), reading positionFix below.
// Internal header of the platform layer: only Platform/ and its tests include it.
#pragma once

#include "Platform/D3d9/D3d9Types.h"

#include <cstdint>

constexpr int kD3d9RenderStateCount = 210;   // D3DRS_* 0..209
constexpr int kD3d9StageCount = 8;
constexpr int kD3d9StageStateCount = 33;     // D3DTSS_* 0..32
constexpr int kD3d9SamplerStateCount = 14;   // D3DSAMP_* 0..13
constexpr int kD3d9TransformCount = 512;     // D3DTS_* 0..511 (world matrices 256..511)
constexpr int kD3d9LightCount = 8;

// Attribute locations of the vertex stream. Absent colours come as generic
// values: diffuse (1,1,1,1), specular (0,0,0,0). kD3d9AttrTexCoord0 + s is the
// coordinate set that stage s selects with TEXCOORDINDEX & 0xFFFF (0,0,0,1 if
// the FVF has no such set). Blend indices are an unsigned integer uvec4.
enum D3d9Attribute : uint32_t {
    kD3d9AttrPosition = 0,      // vec3 (XYZ, XYZBn) or vec4 (XYZRHW)
    kD3d9AttrBlendWeight = 1,   // float weights, as many as the FVF stores
    kD3d9AttrBlendIndices = 2,  // uvec4 from the UBYTE4 last beta, byte 0 in .x
    kD3d9AttrNormal = 3,
    kD3d9AttrPointSize = 4,
    kD3d9AttrDiffuse = 5,       // BGRA bytes normalised to RGBA
    kD3d9AttrSpecular = 6,
    kD3d9AttrTexCoord0 = 7,     // 7..14, one per stage
};

// Set by the device when a group changes; the emulation clears what it uses.
enum D3d9DirtyBit : uint32_t {
    kD3d9DirtyRenderState = 1u << 0,
    kD3d9DirtyStageState = 1u << 1,
    kD3d9DirtyViewProjection = 1u << 2,   // D3DTS_VIEW or D3DTS_PROJECTION
    kD3d9DirtyWorld = 1u << 3,            // world matrices worldDirtyFirst..worldDirtyLast
    kD3d9DirtyTextureTransform = 1u << 4, // D3DTS_TEXTURE0..7
    kD3d9DirtyMaterial = 1u << 5,
    kD3d9DirtyLights = 1u << 6,           // a light record or an enable bit
    kD3d9DirtyFvf = 1u << 7,
    kD3d9DirtyTextures = 1u << 8,         // which stages hold a texture, and its format
    kD3d9DirtyPositionFix = 1u << 9,      // render-target size or viewport
    kD3d9DirtyAll = 0x3FFu,
};

struct D3d9State {
    DWORD renderState[kD3d9RenderStateCount];
    DWORD stageState[kD3d9StageCount][kD3d9StageStateCount];
    DWORD samplerState[kD3d9StageCount][kD3d9SamplerStateCount];
    D3DMATRIX transform[kD3d9TransformCount];  // as given to SetTransform, row-vector layout
    D3DMATERIAL9 material;
    D3DLIGHT9 light[kD3d9LightCount];
    BOOL lightEnabled[kD3d9LightCount];
    D3DVIEWPORT9 viewport;
    DWORD fvf;

    // Format of the texture bound on each stage; D3DFMT_UNKNOWN when none.
    D3DFORMAT textureFormat[kD3d9StageCount];

    // Size of render target 0 in pixels.
    UINT targetWidth;
    UINT targetHeight;

    // Uniform vec4 d3d_PositionFix[2] of kD3d9PositionGlsl, kept current by the device.
    float positionFix[2][4];

    uint32_t dirty;
    UINT worldDirtyFirst;  // world-matrix indices 0..255, valid while kD3d9DirtyWorld is set
    UINT worldDirtyLast;
};

// Direct3D's state after CreateDevice and Reset: default render, stage and
// sampler states, identity transforms, zero material, lights off, the viewport
// covering the target. Marks everything dirty.
void D3d9StateSetDefaults(D3d9State* state, UINT targetWidth, UINT targetHeight);

// Float-valued states (fog start/end/density, depth bias, ...) carry the
// float's bit pattern.
float D3d9StateFloat(DWORD bits);
DWORD D3d9FloatBits(float value);
