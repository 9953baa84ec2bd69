// GLSL 3.30 source generation for the emulated fixed-function pipeline, and the
// interface between the generated programs and the device's draw path: vertex
// attribute locations, uniform-block bindings and texture units.
//
// The draw path's side of the contract (attribute locations, texture units,
// the position mapping) is D3d9State.h and D3d9Glsl.h. Matrices are the raw 16
// floats Direct3D receives; GLSL reads them transposed, so M * v in GLSL is
// Direct3D's v * M.
// Internal header of the platform layer: only Platform/ and its tests include it.
#pragma once

#include "Platform/D3d9/FixedFunctionKey.h"

#include <string>

enum FfpBlockBinding {
    kFfpBlockPalette = 0,       // mat4 world[256]
    kFfpBlockNormalPalette = 1, // mat3 worldNormal[256]
    kFfpBlockTransform = 2,
    kFfpBlockLighting = 3,
    kFfpBlockPixel = 4,
};

extern const char* const kFfpBlockNames[5];

std::string FfpVertexShaderSource(const FfpKey& key);
std::string FfpFragmentShaderSource(const FfpKey& key);

// Does the vertex program read the blend palette's normal matrices?
bool FfpKeyNeedsNormals(const FfpKey& key);
// Highest world-matrix index + 1 the program can read without indices (1..4);
// indexed programs may read all 256.
int FfpKeyPaletteReach(const FfpKey& key);
