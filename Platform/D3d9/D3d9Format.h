// Direct3D surface formats on GL: internal format, how Direct3D's memory
// layout (least significant byte first, rows top-down) is handed to GL, and
// the swizzle that gives Direct3D's "missing channels read 1" (A8 reads black).
// Internal header of the platform layer: only Platform/ and its tests include it.
#pragma once

#include "Platform/D3d9/D3d9Gl.h"
#include "Platform/D3d9/D3d9Types.h"

#include <cstdint>

enum class D3d9Conversion {
    kNone,        // GL reads Direct3D's bytes as they are
    kA4L4,        // 4-bit pairs widened to RG8
    kL6V5U5,      // to signed RGBA8 (L halved to fit)
    kX8L8V8U8,    // to signed RGBA8 (L halved to fit)
    kDxtDecode,   // S3TC blocks decoded to BGRA8 (no GL extension)
};

struct D3d9FormatInfo {
    D3DFORMAT format;
    UINT bytesPerPixel;      // 0 for block-compressed formats
    UINT blockBytes;         // bytes per 4x4 block (DXT), else 0
    GLenum internalFormat;
    GLenum uploadFormat;     // after conversion
    GLenum uploadType;
    GLint swizzle[4];
    D3d9Conversion conversion;
    bool depth;
    bool stencil;
};

// Null for a format the layer cannot make. DXT formats decode in software
// when caps.s3tc is false.
const D3d9FormatInfo* D3d9FindFormat(D3DFORMAT format, bool s3tc);

// Direct3D's locked pitch of one row (of pixels, or of 4x4 blocks), and the
// number of such rows in a surface of the given height.
UINT D3d9RowPitch(const D3d9FormatInfo& info, UINT width);
UINT D3d9RowCount(const D3d9FormatInfo& info, UINT height);

// Uploads a rectangle of Direct3D-layout data into level `level` of the
// texture bound to GL_TEXTURE_2D on the active unit. For block formats x, y,
// width and height are in pixels and multiples of 4 (or reach the level's edge).
void D3d9UploadRect(const D3d9FormatInfo& info, GLint level, UINT x, UINT y, UINT width, UINT height,
                    const void* data, UINT pitch);

// Reads a rectangle of the current read framebuffer into Direct3D layout.
// False for formats that have no direct GL read form.
bool D3d9ReadRect(const D3d9FormatInfo& info, UINT x, UINT y, UINT width, UINT height, void* data,
                  UINT pitch);
