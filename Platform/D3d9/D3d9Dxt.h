// S3TC (DXT1 to DXT5) block decoding in software: the device uploads DXT
// textures this way when the GL driver has no S3TC, and tools that show what
// a DDS file holds use the very same decoder.
//
// Public header of the platform layer: it needs no GL or SDL and may be
// included from anywhere above it.
//
// Texels come out as A8R8G8B8 words, row-major. DXT1 blocks whose first colour
// is not above the second have a transparent black fourth colour, as in
// Direct3D; DXT2 and DXT4 (premultiplied) decode like DXT3 and DXT5.
#pragma once

#include "Platform/D3d9/D3d9Types.h"

#include <cstdint>

// Bytes of one 4x4 block: 8 for DXT1, 16 for DXT2 to DXT5, 0 for any other format.
uint32_t D3d9DxtBlockBytes(D3DFORMAT format);

// Decodes one 8- or 16-byte DXT block into 16 texels.
void D3d9DecodeDxtBlock(D3DFORMAT format, const uint8_t* block, uint32_t texels[16]);

// Decodes a width x height surface whose rows of 4x4 blocks lie pitch bytes
// apart into width x height texels. The blocks must cover the surface: the
// caller checks (height + 3) / 4 rows of (width + 3) / 4 blocks are there.
void D3d9DecodeDxtSurface(D3DFORMAT format, const uint8_t* blocks, uint32_t pitch, uint32_t width, uint32_t height,
                          uint32_t* texels);
