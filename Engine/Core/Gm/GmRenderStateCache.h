// The render-state services of one device: the reset to the default states,
// and the blend and texture-stage modes that every 2D visual, text and debug
// drawing sets before it draws. The states go through the wrapper's device
// and are skipped like any guarded call while the device has failed or the
// window is minimised.
#pragma once

#include <cstdint>

class CGmDeviceWrapper;

// Blend modes of SetBlendMode.
enum : uint32_t {
    GM_BLEND_ALPHA = 0,         // source alpha over the target
    GM_BLEND_OPAQUE = 1,        // no blending
    GM_BLEND_ADD = 2,           // source x alpha added
    GM_BLEND_MULTIPLY = 3,      // target x source colour
    GM_BLEND_MULTIPLY2X = 4,    // target x source colour, twice
    GM_BLEND_ALPHA_TESTED = 5,  // alpha blending with the alpha test
    GM_BLEND_ALPHA_PLAIN = 6,   // as GM_BLEND_ALPHA
    GM_BLEND_OPAQUE_TESTED = 7, // ONE/ZERO with the alpha test
    GM_BLEND_MODE_COUNT = 8,
};

// The option of the modulating modes that adds the colours instead.
constexpr uint32_t kGmStageOptionAdd = 2;

class CGmRenderStateCache {
public:
    explicit CGmRenderStateCache(CGmDeviceWrapper* wrapper) : wrapper(wrapper) {}

    // Depth test and writes off, no culling, then the default render states.
    void Reset();

    // The mode's source and destination blend, blending and alpha test; then
    // every mode but GM_BLEND_OPAQUE blends with the alpha test "greater than
    // alphaRef". Modes beyond the table are refused with a trace.
    void SetBlendMode(uint32_t mode, uint32_t alphaRef);

    // No pixel shader, colour from the vertices, and stage 0 combining the
    // vertex colour with the texture as the mode says; stage 1 off. Modes:
    // 0 the vertex colour and alpha only; 1 colour modulated, alpha left
    // alone; 2, 5, 6, 7 colour and alpha modulated (colour added with the
    // option kGmStageOptionAdd); 3, 4 colour and alpha modulated with the
    // current alpha; any other mode switches stage 0 off.
    void SetTextureStageMode(uint32_t mode, uint32_t option);

    CGmDeviceWrapper* wrapper;
};
