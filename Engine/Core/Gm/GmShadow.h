// Stencil shadows: the shadow light and mode, and the face work buffer of the
// silhouette builder.
#pragma once

#include <cstdint>

// 52-byte records for at most 16384 faces of one subset.
const uint32_t kShadowFaceBufferSize = 0xD0000;

// Stencil shadows are drawn while the shadow mode is this.
constexpr int32_t kShadowModeStencil = 2;

// Allocated by the engine hub's start-up, null before and after.
extern uint8_t* g_shadowFaceBuffer;

// 0 until the first SetShadowLight, then kShadowModeStencil.
extern int32_t g_shadowMode;
// The shadow light's position; (0, 1000, 0) before the first SetShadowLight.
extern float g_shadowLightPosition[3];
// The colour the shadowed pixels are darkened with (A8R8G8B8).
extern uint32_t g_shadowColor;

// Stores the light's position and the shadow colour (r, g, b, a in 0..1) and
// switches stencil shadows on.
void SetShadowLight(const float position[3], const float color[4]);

// At shutdown: frees the face work buffer.
void ReleaseShadowResources();
