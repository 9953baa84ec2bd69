// GLSL shared by every vertex shader of the layer: the mapping of Direct3D
// positions onto GL's rasteriser, so that images are stored top-down, pixel
// centres sit where Direct3D puts them and depth runs from 0 to 1.
//
//   d3d_PositionFix[0] = (2 / targetWidth, 2 / targetHeight, 0.5 - tieEpsilon, flipY)
//   d3d_PositionFix[1] = (1 / viewportWidth, (1 - 2 tieEpsilon) / viewportHeight, depthScale, depthBias)
//
// flipY is -1 when the context runs with an upper-left clip origin and 0-to-1
// depth, +1 otherwise; depthScale/depthBias are (1, 0) or (2, -1) likewise.
// tieEpsilon moves geometry up by a fraction of a pixel so that edges that lie
// exactly on pixel centres cover the rows Direct3D's top-left rule gives.
// Internal header of the platform layer: only Platform/ and its tests include it.
#pragma once

#include <cstdint>
#include <string>

// Text to paste into a vertex shader (GLSL 3.30) before its main().
//   vec4 d3dPositionFromRhw(vec4 xyzrhw): a pre-transformed vertex
//     (render-target pixels, depth, 1/w).
//   vec4 d3dPositionFromClip(vec4 clip): Direct3D clip coordinates
//     (v * World * View * Projection), drawn into the viewport.
extern const char* const kD3d9PositionGlsl;

// Compiles and links a GLSL program in the current context; 0 on failure. The
// driver's messages (with the failing shader's source) are appended to *error
// when given, and go to SDL's log otherwise.
uint32_t D3d9LinkProgram(const std::string& vertexSource, const std::string& fragmentSource,
                         std::string* error = nullptr);
