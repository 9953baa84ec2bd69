// OpenGL for the device layer only: core-profile prototypes from the system's
// libGL (GLVND dispatches them to the current context, GLX or EGL). Nothing
// outside Platform/D3d9 includes this header.
// Internal header of the platform layer: only Platform/ and its tests include it.
#pragma once

#ifndef GL_GLEXT_PROTOTYPES
#define GL_GLEXT_PROTOTYPES 1
#endif
#include <GL/glcorearb.h>

// EXT_texture_compression_s3tc is not part of the core header.
#ifndef GL_COMPRESSED_RGBA_S3TC_DXT1_EXT
#define GL_COMPRESSED_RGBA_S3TC_DXT1_EXT 0x83F1
#define GL_COMPRESSED_RGBA_S3TC_DXT3_EXT 0x83F2
#define GL_COMPRESSED_RGBA_S3TC_DXT5_EXT 0x83F3
#endif

// What the context offers beyond GL 3.3, probed once per context.
struct D3d9GlCaps {
    bool clipControl;  // upper-left origin and 0..1 depth in hardware
    bool s3tc;         // compressed DXT upload; else decoded in software
    bool mirrorClamp;  // D3DTADDRESS_MIRRORONCE (GL 4.4)
    float tieEpsilon;  // 1 / 2^GL_SUBPIXEL_BITS, see D3d9Glsl.h
};
