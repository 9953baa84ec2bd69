#include "Platform/D3d9/D3d9Dxt.h"

#include <cstddef>

static uint32_t Expand565(uint16_t c)
{
    uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    r = (r << 3) | (r >> 2);
    g = (g << 2) | (g >> 4);
    b = (b << 3) | (b >> 2);
    return 0xFF000000u | (r << 16) | (g << 8) | b;
}

// Per channel (a * wa + b * wb) / (wa + wb), alpha opaque.
static uint32_t MixColour(uint32_t a, uint32_t b, uint32_t wa, uint32_t wb)
{
    uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= ((ca * wa + cb * wb) / (wa + wb)) << shift;
    }
    return out;
}

static void DecodeColourBlock(const uint8_t* block, bool allowTransparent, uint32_t texels[16])
{
    uint16_t c0 = (uint16_t)(block[0] | (block[1] << 8));
    uint16_t c1 = (uint16_t)(block[2] | (block[3] << 8));
    uint32_t palette[4];
    palette[0] = Expand565(c0);
    palette[1] = Expand565(c1);
    if (c0 > c1 || !allowTransparent) {
        palette[2] = MixColour(palette[0], palette[1], 2, 1);
        palette[3] = MixColour(palette[0], palette[1], 1, 2);
    } else {
        palette[2] = MixColour(palette[0], palette[1], 1, 1);
        palette[3] = 0;  // transparent black
    }
    uint32_t codes = (uint32_t)block[4] | ((uint32_t)block[5] << 8) | ((uint32_t)block[6] << 16) |
                     ((uint32_t)block[7] << 24);
    for (int i = 0; i < 16; ++i)
        texels[i] = palette[(codes >> (2 * i)) & 3];
}

static void ApplyAlpha(uint32_t texels[16], const uint8_t alpha[16])
{
    for (int i = 0; i < 16; ++i)
        texels[i] = (texels[i] & 0x00FFFFFFu) | ((uint32_t)alpha[i] << 24);
}

void D3d9DecodeDxtBlock(D3DFORMAT format, const uint8_t* block, uint32_t texels[16])
{
    if (format == D3DFMT_DXT1) {
        DecodeColourBlock(block, true, texels);
        return;
    }
    uint8_t alpha[16];
    if (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) {
        for (int i = 0; i < 16; ++i) {
            int nibble = (block[i / 2] >> ((i & 1) * 4)) & 0xF;
            alpha[i] = (uint8_t)(nibble * 17);
        }
    } else {
        uint32_t a0 = block[0], a1 = block[1];
        uint32_t palette[8] = {a0, a1};
        if (a0 > a1) {
            for (uint32_t k = 1; k < 7; ++k)
                palette[k + 1] = ((7 - k) * a0 + k * a1) / 7;
        } else {
            for (uint32_t k = 1; k < 5; ++k)
                palette[k + 1] = ((5 - k) * a0 + k * a1) / 5;
            palette[6] = 0;
            palette[7] = 255;
        }
        uint64_t codes = 0;
        for (int i = 0; i < 6; ++i)
            codes |= (uint64_t)block[2 + i] << (8 * i);
        for (int i = 0; i < 16; ++i)
            alpha[i] = (uint8_t)palette[(codes >> (3 * i)) & 7];
    }
    DecodeColourBlock(block + 8, false, texels);
    ApplyAlpha(texels, alpha);
}

void D3d9DecodeDxtSurface(D3DFORMAT format, const uint8_t* blocks, uint32_t pitch, uint32_t width, uint32_t height,
                          uint32_t* texels)
{
    const uint32_t blockBytes = D3d9DxtBlockBytes(format);
    for (uint32_t by = 0; by < (height + 3) / 4; ++by)
        for (uint32_t bx = 0; bx < (width + 3) / 4; ++bx) {
            uint32_t block[16];
            D3d9DecodeDxtBlock(format, blocks + (size_t)by * pitch + (size_t)bx * blockBytes, block);
            for (uint32_t i = 0; i < 16; ++i) {
                const uint32_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
                if (x < width && y < height)
                    texels[(size_t)y * width + x] = block[i];
            }
        }
}

uint32_t D3d9DxtBlockBytes(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_DXT1: return 8;
    case D3DFMT_DXT2:
    case D3DFMT_DXT3:
    case D3DFMT_DXT4:
    case D3DFMT_DXT5: return 16;
    default: return 0;
    }
}
