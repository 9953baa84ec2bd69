// Writers of small image files for the image tests and the imgconv tool test:
// TGA (every depth, both row orders, run-length), ".gep" (every layout and
// coding, alpha planes, the plane pitch mode) and DDS (DXT block data of any
// content, with or without a mip count).
#pragma once

#include "Engine/Core/Common/GeFileData.h"

#include <cstdint>
#include <string>
#include <vector>

namespace imagefixture {

using Bytes = std::vector<uint8_t>;

// Pixels are given top row first, each pixel as its bytes in file order.
struct TgaSpec {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t bitsPerPixel = 32;
    bool topFirst = false;    // descriptor bit 5
    bool runLength = false;   // image type gets bit 3 (type 10, or 11 for 8 bits)
    int imageType = -1;       // overrides the type byte when 0 or more
    Bytes pixels;             // width x height x bytesPerPixel
};
Bytes MakeTga(const TgaSpec& spec);

// Run-length coding of elements of elementBytes bytes as the GEP decoder
// reads it: v, v, n for 1 + n copies (n = 0 for 257), a lone v for one.
Bytes EncodeRunLength(const Bytes& elements, uint32_t elementBytes);

// One plane: byte count, the pitch word, two unused words, the data, zero
// bytes up to a multiple of 16. declaredBytes overrides the byte count.
Bytes MakePlane(const Bytes& data, uint32_t pitchWord = 0, int64_t declaredBytes = -1);

struct GepSpec {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t pixelCode = 0;
    uint8_t pitchMode = 0;
    Bytes payload;            // planes as MakePlane makes them, or a JPEG file
};
Bytes MakeGep(const GepSpec& spec);

// A DDS file: the 128-byte header and levelData behind it.
struct DdsSpec {
    uint32_t width = 0;
    uint32_t height = 0;
    const char* fourCc = "DXT1";
    bool fourCcFlag = true;    // DDPF_FOURCC in the pixel format flags
    bool mipCountFlag = false; // DDSD_MIPMAPCOUNT in the header flags
    uint32_t mipCount = 0;
    Bytes levelData;
};
Bytes MakeDds(const DdsSpec& spec);

// A file record over bytes kept by the caller (not freed by FreeFileData).
CGeFileData FileOver(const std::string& path, const Bytes& bytes);

// The 32-bit little-endian pixel words of a byte buffer.
std::vector<uint32_t> Words(const uint8_t* data, size_t count);

}  // namespace imagefixture
