// Where each element of a vertex sits, from the engine's vertex-element
// flags (GE_VEF_*): elements follow each other in a fixed order with no
// padding, and the stride is their sum.
//
//   position 12 | reciprocal w 4 | n blend values 4n | normal 12 | point size 4
//   | diffuse 4 | specular 4 | k texture-coordinate sets | the 24-byte element of
//   flag 0x40000 (GE_VEF_NO_FVF) | m extra bytes (flags >> 24)
//
// Every set has the size bits 16-17 give (2, 3, 4 or 1 floats). With
// GE_VEF_LASTBETA_UBYTE4 the last blend value holds four index bytes; it adds
// nothing to the stride.
#pragma once

#include <cstdint>

// The element that flag 0x40000 adds (which also marks a layout without an
// FVF code, GE_VEF_NO_FVF) takes this many bytes.
constexpr uint32_t kGmVertexElement40000Bytes = 24;

struct GmVertexLayout {
    uint32_t flags = 0;
    uint32_t stride = 0;
    uint32_t texSetBytes = 0;   // bytes of one texture-coordinate set
    uint32_t texSetCount = 0;
    uint32_t blendCount = 0;    // blend values, 0 to 7
    uint32_t extraBytes = 0;
    // Byte offsets within a vertex; meaningful only where the element is present.
    uint32_t position = 0;
    uint32_t rhw = 0;
    uint32_t blend = 0;
    uint32_t lastBlend = 0;
    uint32_t normal = 0;
    uint32_t extra24 = 0;
    uint32_t pointSize = 0;
    uint32_t diffuse = 0;
    uint32_t specular = 0;
    uint32_t texCoords = 0;
    uint32_t extra = 0;
};

GmVertexLayout GmComputeVertexLayout(uint32_t flags);
