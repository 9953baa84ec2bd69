#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"

#include "Platform/D3d9/D3d9Types.h"

namespace {

struct FormatRow {
    uint32_t engineFormat;
    uint32_t d3dFormat;
    uint32_t bytesPerPixel;
};

// Row n describes engine code n + 1. D24S8 is listed with 3 bytes and D24X8
// with 4, as the device code has always sized them.
const FormatRow kFormats[] = {
    {1, D3DFMT_R8G8B8, 3},        {2, D3DFMT_A8R8G8B8, 4},     {3, D3DFMT_X8R8G8B8, 4},
    {4, D3DFMT_R5G6B5, 2},        {5, D3DFMT_X1R5G5B5, 2},     {6, D3DFMT_A1R5G5B5, 2},
    {7, D3DFMT_A4R4G4B4, 2},      {8, D3DFMT_X4R4G4B4, 2},     {9, D3DFMT_A8, 1},
    {10, D3DFMT_L8, 1},           {11, D3DFMT_A8L8, 2},        {12, D3DFMT_A4L4, 1},
    {13, D3DFMT_V8U8, 2},         {14, D3DFMT_L6V5U5, 2},      {15, D3DFMT_X8L8V8U8, 4},
    {16, D3DFMT_Q8W8V8U8, 4},     {17, D3DFMT_V16U16, 4},      {18, D3DFMT_D16_LOCKABLE, 2},
    {19, D3DFMT_D32, 4},          {20, D3DFMT_D15S1, 2},       {21, D3DFMT_D24S8, 3},
    {22, D3DFMT_D16, 2},          {23, D3DFMT_D24X8, 4},       {24, D3DFMT_D24X4S4, 4},
    {25, D3DFMT_DXT1, 0},         {26, D3DFMT_DXT2, 0},        {27, D3DFMT_DXT3, 0},
    {28, D3DFMT_DXT4, 0},         {29, D3DFMT_DXT5, 0},
};

const FormatRow* FindFormat(uint32_t engineFormat)
{
    const uint32_t count = sizeof(kFormats) / sizeof(kFormats[0]);
    return engineFormat >= 1 && engineFormat <= count ? &kFormats[engineFormat - 1] : nullptr;
}

}  // namespace

uint32_t GetD3DFormat(uint32_t engineFormat)
{
    const FormatRow* row = FindFormat(engineFormat);
    return row ? row->d3dFormat : 0;
}

uint32_t GetFormatBytesPerPixel(uint32_t engineFormat)
{
    const FormatRow* row = FindFormat(engineFormat);
    return row ? row->bytesPerPixel : 0;
}
