// Stencil shadows: the face work buffer of the silhouette builder.
#pragma once

#include <cstdint>

// 52-byte records for at most 16384 faces of one subset.
const uint32_t kShadowFaceBufferSize = 0xD0000;

// Allocated by the engine hub's start-up, null before and after.
extern uint8_t* g_shadowFaceBuffer;

// At shutdown: frees the face work buffer.
void ReleaseShadowResources();
