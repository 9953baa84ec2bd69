// DDS files with DXT1 to DXT5 data are kept whole; the texture uploads their
// mip levels as they are.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmImageBytes.h"

#include <cstdlib>

namespace {

// Offsets in the file: the DDSURFACEDESC2 starts after the 4-byte signature.
constexpr uint32_t kDdsFlagsAt = 4 + 4;
constexpr uint32_t kDdsHeightAt = 4 + 8;
constexpr uint32_t kDdsWidthAt = 4 + 12;
constexpr uint32_t kDdsMipCountAt = 4 + 24;
constexpr uint32_t kDdsPixelFlagsAt = 4 + 76;
constexpr uint32_t kDdsFourCcAt = 4 + 80;
constexpr uint32_t DDSD_MIPMAPCOUNT = 0x20000;
constexpr uint32_t DDPF_FOURCC = 0x4;

uint32_t DxtEngineFormat(uint32_t fourCc)
{
    switch (fourCc) {
    case 0x31545844: return GM_FMT_DXT1;  // "DXT1"
    case 0x32545844: return GM_FMT_DXT2;
    case 0x33545844: return GM_FMT_DXT3;
    case 0x34545844: return GM_FMT_DXT4;
    case 0x35545844: return GM_FMT_DXT5;
    default: return GM_FMT_NONE;
    }
}

// How many levels the upload walks (while neither side is 1 and below the
// count), and how many of those lie wholly inside the file.
struct LevelWalk {
    uint32_t walked = 0;
    uint32_t stored = 0;
};

LevelWalk WalkLevels(uint32_t format, uint32_t width, uint32_t height, uint32_t levels, uint64_t available)
{
    LevelWalk walk;
    for (; walk.walked < levels && width != 1 && height != 1; ++walk.walked) {
        const uint32_t bytes = DdsLevelBytes(format, width, height);
        if (walk.stored == walk.walked && bytes <= available) {
            available -= bytes;
            ++walk.stored;
        }
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
    }
    return walk;
}

uint32_t MipChainLength(uint32_t side)
{
    uint32_t levels = 1;
    while (side > 1) {
        side /= 2;
        ++levels;
    }
    return levels;
}

}  // namespace

uint32_t DdsLevelBytes(uint32_t engineFormat, uint32_t width, uint32_t height)
{
    const uint32_t blockBytes = engineFormat == GM_FMT_DXT1 ? 8 : 16;
    const uint64_t blocks = uint64_t(width / 4 ? width / 4 : 1) * (height / 4 ? height / 4 : 1);
    const uint64_t bytes = blocks * blockBytes;
    return bytes > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(bytes);
}

DdsLayout ReadDdsLayout(const uint8_t* head, uint64_t headBytes, uint64_t fileSize)
{
    DdsLayout layout;
    if (!head || headBytes < kDdsHeaderBytes || fileSize < kDdsHeaderBytes) {
        layout.problem = GM_IMAGE_TRUNCATED;
        return layout;
    }
    layout.format = (ReadLe32(head + kDdsPixelFlagsAt) & DDPF_FOURCC) ? DxtEngineFormat(ReadLe32(head + kDdsFourCcAt))
                                                                       : GM_FMT_NONE;
    if (layout.format == GM_FMT_NONE) {
        layout.problem = GM_IMAGE_UNSUPPORTED;
        return layout;
    }
    layout.width = ReadLe32(head + kDdsWidthAt);
    layout.height = ReadLe32(head + kDdsHeightAt);
    const uint32_t mipCount = ReadLe32(head + kDdsMipCountAt);
    uint32_t levels = (ReadLe32(head + kDdsFlagsAt) & DDSD_MIPMAPCOUNT) && mipCount >= 1 ? mipCount : 1;

    // The upload copies its levels straight from the file: the level count
    // is cut to the levels the file really holds, and a file without its first
    // level is refused.
    const LevelWalk walk = WalkLevels(layout.format, layout.width, layout.height, levels, fileSize - kDdsHeaderBytes);
    if (layout.width == 0 || layout.height == 0) {
        layout.problem = GM_IMAGE_DAMAGED;
        return layout;
    }
    if (walk.walked > 0 && walk.stored == 0) {
        layout.problem = GM_IMAGE_TRUNCATED;
        return layout;
    }
    // No more levels than a full chain down to 1 by 1: the device refuses more.
    const uint32_t chain = MipChainLength(layout.width > layout.height ? layout.width : layout.height);
    if (levels > chain)
        levels = chain;
    if (walk.stored < walk.walked)
        levels = walk.stored;
    layout.levels = levels;
    return layout;
}

bool CGmImage::ReadDds(const CGeFileData& file)
{
    FreeData();
    storedSize = 0;
    const DdsLayout layout = ReadDdsLayout(file.data, file.data ? file.size : 0, file.data ? file.size : 0);
    if (layout.problem != GM_IMAGE_NO_PROBLEM) {
        GeTrace("%s: DDS refused (problem %u)\n", file.path.c_str(), layout.problem);
        ReportImageProblem(layout.problem);
        return false;
    }
    data = static_cast<uint8_t*>(malloc(file.size));
    if (!data)
        return false;
    g_pGeSimd->Memcpy(data, file.data, file.size);
    storedSize = file.size;
    width = layout.width;
    height = layout.height;
    format = layout.format;
    pitch = layout.levels;
    pixelCode = kDdsPixelCode;
    kind = GM_IMAGE_DDS;
    return true;
}
