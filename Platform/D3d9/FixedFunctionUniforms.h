// CPU images of the fixed-function uniform blocks (std140: every member is a
// vec4 or a matrix of vec4 columns) and the code that fills them from the
// device state. Filling is GL-free; the pipeline uploads the bytes.
// Internal header of the platform layer: only Platform/ and its tests include it.
#pragma once

#include "Platform/D3d9/FixedFunctionKey.h"

struct FfpTransformBlock {
    float view[16];
    float projection[16];
    float viewNormal[12]; // mat3: inverse of the view's 3x3, as columns
    float texMatrix[kFfpStageCount][16];
    float flags[4]; // normalizeNormals, localViewer
};

struct FfpLightBlock {
    float diffuse[4];
    float specular[4];
    float ambient[4];
    float position[4];    // camera space; w = D3DLIGHTTYPE
    float direction[4];   // camera space, unit, pointing away from the light; w = range
    float attenuation[4]; // att0, att1, att2, falloff
    float cone[4];        // cos(theta / 2), cos(phi / 2)
};

struct FfpLightingBlock {
    float materialDiffuse[4];
    float materialAmbient[4];
    float materialSpecular[4];
    float materialEmissive[4];
    float globalAmbient[4];
    float sources[4]; // diffuse, ambient, specular, emissive: 0 material, 1 colour 1, 2 colour 2
    float params[4];  // power, active light count
    FfpLightBlock lights[kFfpMaxActiveLights];
};

struct FfpPixelBlock {
    float textureFactor[4];
    float fogColor[4];
    float fog[4]; // start, end, density, 1 / (end - start)
    float alphaRef[4];
    float stageConstant[kFfpStageCount][4];
    float bumpMatrix[kFfpStageCount][4];    // M00, M01, M10, M11
    float bumpLuminance[kFfpStageCount][4]; // scale, offset
};

void FfpFillTransforms(const D3d9State& state, FfpTransformBlock& block);
void FfpFillLighting(const D3d9State& state, FfpLightingBlock& block);
void FfpFillPixel(const D3d9State& state, FfpPixelBlock& block);

// The inverse of m's upper 3x3 as three vec4 columns: the matrix that takes
// Direct3D normals through m (row vectors) when GLSL multiplies it by n.
void FfpNormalMatrix(const D3DMATRIX& m, float out[12]);

// Direct3D colour (ARGB) to RGBA floats.
void FfpColorToFloats(D3DCOLOR color, float out[4]);
