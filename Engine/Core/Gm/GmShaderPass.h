// The engine's one concrete material: a fixed-function pass. Besides what
// CGmMaterial reads, it takes the RENDERSTATE element (depth, blending, alpha
// test, culling, texture factor, material colour source, address modes) and
// the SAMPLERSTATE elements of FFP_GROUP (one texture stage each: arguments,
// operations, coordinate index and generation, scale) from the same file, and
// Apply puts all of it into the device: render states, up to eight stages
// with their textures and transforms, up to four lights and the filters.
//
// Words are matched against four keyword tables built at the first parse; a
// word that is not in its table keeps the field (reported to the trace). The
// stored numbers are Direct3D's own (D3DBLEND, D3DTEXTUREOP, D3DTA, ...).
//
// Lights are chosen by whoever keeps them (the render layers) through
// IGmLightSource; without one, every light is off.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmD3dTables.h"
#include "Engine/Core/Gm/GmMaterial.h"
#include "Platform/D3d9/D3d9.h"

#include <cstdint>

// Lights a pass uses at most.
constexpr uint32_t kGmMaxPassLights = 4;

// Light kinds (the type byte of a light description).
enum : uint8_t {
    GM_LIGHT_POINT = 1,
    GM_LIGHT_DIRECTIONAL = 2,
    GM_LIGHT_SPOT = 3,
};

// The lights of a drawn object and the ambient colour they add up to.
class IGmLightSource {
public:
    // Writes up to maxLights descriptions that rank highest for a world
    // position; returns how many.
    virtual uint32_t ChooseLights(const float* position, LightDesc* lights, uint32_t maxLights) = 0;
    // The channel-wise sum of the chosen lights' ambient colours (r, g, b, a).
    virtual void SetAmbientSum(const float* rgba) = 0;

protected:
    virtual ~IGmLightSource() = default;
};

extern IGmLightSource* g_pGmLightSource;

// One texture stage: arguments and operations are Direct3D's numbers.
struct CGmStageRecord {
    uint32_t colorArg1 = 1, colorArg2 = 1, colorArg0 = 1;
    uint32_t alphaArg1 = 1, alphaArg2 = 1, alphaArg0 = 1;
    uint32_t colorOp = 1, alphaOp = 1; // DISABLE
    uint32_t texCoordIndex = 0;        // with the generation flag
    float texScaleU = 1.0f, texScaleV = 1.0f;
};

// Camera-space reflection vector generation, added to a coordinate index.
constexpr uint32_t kGmTexGenCameraReflect = 0x30000;

class CGmShaderPass : public CGmMaterial {
public:
    CGmShaderPass();
    ~CGmShaderPass() override;

    void Apply(const float* position, uint32_t pass) override;
    uint32_t GetPassCount() const override;
    void BuildDeviceMaterial() override;
    void ParseStates(TiXmlElement* material) override;

    // Render states.
    uint32_t zTest = 1;
    uint32_t zWrite = 1;
    uint32_t alphaBlend = 1;
    uint32_t alphaTest = 1;
    uint32_t srcBlend = D3DBLEND_ONE;
    uint32_t destBlend = D3DBLEND_ZERO;
    uint32_t cullMode = 1;      // engine code: 0 none, 1 clockwise, 2 counter-clockwise
    uint32_t textureFactor = 0; // ARGB
    uint32_t alphaRef = 0;
    uint32_t diffuseMaterialSource = 0;
    uint32_t addressU = 0;      // engine code: 0 wrap, 1 mirror, 2 clamp
    uint32_t addressV = 0;
    CGeArray<CGmStageRecord> stages;
    D3DMATERIAL9 deviceMaterial = {};

private:
    void ReadRenderState(TiXmlElement* material);
    void ReadFixedFunctionGroup(TiXmlElement* material);
    void ApplyLights(const float* position);
};
