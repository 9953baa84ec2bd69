// The engine's pixel format codes (1 to 29) and what they stand for on the
// device: the Direct3D format and the bytes one pixel takes in memory.
// Images, textures and the screenshot writer all size their rows from here.
#pragma once

#include <cstdint>

// The codes that the image code names directly.
enum : uint32_t {
    GM_FMT_NONE = 0,
    GM_FMT_R8G8B8 = 1,
    GM_FMT_A8R8G8B8 = 2,
    GM_FMT_X8R8G8B8 = 3,
    GM_FMT_R5G6B5 = 4,
    GM_FMT_X1R5G5B5 = 5,
    GM_FMT_A1R5G5B5 = 6,
    GM_FMT_A4R4G4B4 = 7,
    GM_FMT_X4R4G4B4 = 8,
    GM_FMT_A8 = 9,
    GM_FMT_DXT1 = 25,
    GM_FMT_DXT2 = 26,
    GM_FMT_DXT3 = 27,
    GM_FMT_DXT4 = 28,
    GM_FMT_DXT5 = 29,
};

// The Direct3D format of an engine code, 0 for a code outside the table.
uint32_t GetD3DFormat(uint32_t engineFormat);

// Bytes per pixel of an engine code; 0 for the block-compressed formats and
// for a code outside the table.
uint32_t GetFormatBytesPerPixel(uint32_t engineFormat);
