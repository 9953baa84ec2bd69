// The state key of the emulated fixed-function pipeline.
//
// Every draw is served by one generated GLSL program. The key holds exactly
// what changes the program's code; everything else (matrices, colours, light
// data, fog distances, reference values) travels in uniform blocks. The key is
// normalised while it is built, so two states that draw alike give equal keys:
// arguments an operation does not read are zero, stages after the end of the
// cascade are zero, CURRENT in stage 0 reads as DIFFUSE, and so on.
//
// Nothing here touches GL, so the key can be tested on its own.
// Internal header of the platform layer: only Platform/ and its tests include it.
#pragma once

#include "Platform/D3d9/D3d9State.h"

#include <cstddef>
#include <cstdint>

constexpr int kFfpStageCount = kD3d9StageCount;
constexpr int kFfpMaxActiveLights = 4;
constexpr int kFfpPaletteSize = 256;

// Switches for behaviour Direct3D leaves undefined; see FixedFunctionKey.cpp.
struct FfpOptions {
    // A stage whose operation reads TEXTURE while no texture is bound ends the
    // cascade (the output is CURRENT), as drivers do for untextured 2D quads.
    bool skipStagesWithoutTexture = true;
};

// Texture-coordinate source of one stage (low 16 bits of TEXCOORDINDEX select
// the vertex set; the generation modes replace it).
enum FfpTexGen : uint8_t {
    kFfpTexGenPassThru = 0,
    kFfpTexGenCameraNormal = 1,
    kFfpTexGenCameraPosition = 2,
    kFfpTexGenCameraReflection = 3,
    kFfpTexGenSphereMap = 4,
};

// Where the fragment program takes its fog factor from.
enum FfpFogKind : uint8_t {
    kFfpFogOff = 0,
    kFfpFogTable = 1,  // per pixel from depth (z, or eye distance w)
    kFfpFogVertex = 2, // the interpolated per-vertex factor (specular alpha)
};

struct FfpStageKey {
    uint8_t colorOp;     // D3DTOP; 0 for a stage past the end of the cascade
    uint8_t colorArg[3]; // D3DTA | modifiers, [0] = ARG0, [1] = ARG1, [2] = ARG2; 0 when unread
    uint8_t alphaOp;
    uint8_t alphaArg[3];
    uint8_t resultTemp;   // 1: the stage writes TEMP instead of CURRENT
    uint8_t sampled;      // 1: the stage's texture is read (by an argument, the op, or bump/premodulate)
    uint8_t texGen;       // FfpTexGen, when sampled
    uint8_t texSetSize;   // floats in the source coordinates, 1..4, when a matrix is applied
    uint8_t texMatrix;    // 1: the stage's texture matrix is applied
    uint8_t texCount;     // coordinates kept after the matrix, 1..4 (0 = all)
    uint8_t texProjected; // 1: divide by the last kept coordinate
    uint8_t pad;
};

struct FfpKey {
    // Vertex side.
    uint8_t preTransformed; // XYZRHW: no transform, no lighting
    uint8_t hasNormal;
    uint8_t hasDiffuse;
    uint8_t hasSpecular;
    uint8_t lighting;
    uint8_t litSpecular;   // lighting computes the specular term
    uint8_t blendWeights;  // 0 (one matrix) .. 3 weights of VERTEXBLEND
    uint8_t blendIndexed;  // matrices chosen by the vertex's UBYTE4 indices
    uint8_t streamWeights; // float blend weights present in the vertex, 0..4
    uint8_t vertexFogMode; // D3DFOG_* computed per vertex, 0 = none
    uint8_t rangeFog;      // vertex fog uses the distance, not |z|
    uint8_t flatShade;
    // Pixel side.
    uint8_t stageCount; // active stages (0 = output the diffuse colour)
    uint8_t usesTemp;
    uint8_t specularAdd;
    uint8_t fogKind;      // FfpFogKind
    uint8_t tableFogMode; // D3DFOG_* for kFfpFogTable
    uint8_t fogFromW;     // table fog measures eye distance (projection not affine)
    uint8_t alphaFunc;    // D3DCMP_* of the alpha test, 0 = off
    uint8_t pad;
    FfpStageKey stages[kFfpStageCount];
};

static_assert(sizeof(FfpKey) % 4 == 0, "the key is compared and hashed as raw bytes");

bool operator==(const FfpKey& a, const FfpKey& b);
inline bool operator!=(const FfpKey& a, const FfpKey& b)
{
    return !(a == b);
}

struct FfpKeyHash {
    size_t operator()(const FfpKey& key) const;
};

// Builds the normalised key for a draw with the state's vertex format and
// bound textures.
FfpKey FfpBuildKey(const D3d9State& state, const FfpOptions& options = FfpOptions());

// Number of float blend weights in the vertex and whether it carries UBYTE4 indices.
int FfpStreamWeightCount(DWORD fvf);
bool FfpHasBlendIndices(DWORD fvf);
// Floats in texture-coordinate set i of fvf (1..4).
int FfpTexCoordSize(DWORD fvf, int set);
