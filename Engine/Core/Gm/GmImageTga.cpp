// TGA reading: uncompressed and run-length true-colour and greyscale images
// of 8, 16, 24 or 32 bits, stored bottom-up or top-down.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmImageBytes.h"

#include <cstring>

namespace {

constexpr uint32_t kTgaHeaderBytes = 18;

uint32_t TgaEngineFormat(uint32_t bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 8: return GM_FMT_A8;
    case 16: return GM_FMT_X1R5G5B5;
    case 24: return GM_FMT_R8G8B8;
    case 32: return GM_FMT_A8R8G8B8;
    default: return GM_FMT_NONE;
    }
}

// Fills the row's padding pixels with copies of its last pixel.
void PadRow(uint8_t* row, uint32_t width, uint32_t pitch, uint32_t bytesPerPixel)
{
    const uint8_t* last = row + (width - 1) * bytesPerPixel;
    for (uint32_t x = width * bytesPerPixel; x + bytesPerPixel <= pitch; x += bytesPerPixel)
        memcpy(row + x, last, bytesPerPixel);
}

// The destination row of the n-th stored row.
uint8_t* DestinationRow(CGmImage& image, uint32_t storedRow, bool topFirst)
{
    const uint32_t row = topFirst ? storedRow : image.height - 1 - storedRow;
    return image.data + static_cast<size_t>(row) * image.pitch;
}

// The caller has checked that all rows are there.
void ReadRawRows(CGmImage& image, const uint8_t* pixels, uint32_t bytesPerPixel, bool topFirst)
{
    const size_t rowBytes = static_cast<size_t>(image.width) * bytesPerPixel;
    for (uint32_t y = 0; y < image.height; ++y) {
        uint8_t* row = DestinationRow(image, y, topFirst);
        g_pGeSimd->Memcpy(row, pixels + y * rowBytes, rowBytes);
        PadRow(row, image.width, image.pitch, bytesPerPixel);
    }
}

// count copies of one pixel.
void FillSpan(uint8_t* out, const uint8_t* pixel, uint32_t count, uint32_t bytesPerPixel)
{
    if (bytesPerPixel == 1) {
        memset(out, pixel[0], count);
    } else if (bytesPerPixel == 4) {
        uint32_t value;
        memcpy(&value, pixel, 4);
        for (uint32_t i = 0; i < count; ++i)
            memcpy(out + i * 4, &value, 4);
    } else {
        for (uint32_t i = 0; i < count; ++i)
            memcpy(out + i * bytesPerPixel, pixel, bytesPerPixel);
    }
}

// Run-length packets: a header byte h, then one pixel repeated (h & 0x7F) + 1
// times when bit 7 is set, else (h & 0x7F) + 1 literal pixels. Packets run on
// across rows. False when the data ends before the image is full.
bool ReadRunLengthRows(CGmImage& image, const uint8_t* src, size_t available, uint32_t bytesPerPixel,
                       bool topFirst)
{
    size_t at = 0;
    uint32_t left = 0;  // pixels still due from the current packet
    bool repeat = false;
    for (uint32_t y = 0; y < image.height; ++y) {
        uint8_t* row = DestinationRow(image, y, topFirst);
        for (uint32_t x = 0; x < image.width;) {
            if (left == 0) {
                if (at >= available)
                    return false;
                const uint8_t header = src[at++];
                repeat = (header & 0x80) != 0;
                left = (header & 0x7Fu) + 1;
            }
            const uint32_t span = left < image.width - x ? left : image.width - x;
            uint8_t* out = row + static_cast<size_t>(x) * bytesPerPixel;
            if (repeat) {
                if (available - at < bytesPerPixel)
                    return false;
                FillSpan(out, src + at, span, bytesPerPixel);
            } else {
                if ((available - at) / bytesPerPixel < span)
                    return false;
                memcpy(out, src + at, static_cast<size_t>(span) * bytesPerPixel);
                at += static_cast<size_t>(span) * bytesPerPixel;
            }
            x += span;
            left -= span;
            if (left == 0 && repeat)
                at += bytesPerPixel;
        }
        PadRow(row, image.width, image.pitch, bytesPerPixel);
    }
    return true;
}

}  // namespace

TgaLayout ReadTgaLayout(const uint8_t* head, uint64_t headBytes, uint64_t fileSize)
{
    TgaLayout layout;
    if (!head || headBytes < kTgaHeaderBytes || fileSize < kTgaHeaderBytes) {
        layout.problem = GM_IMAGE_TRUNCATED;
        return layout;
    }
    layout.width = ReadLe16(head + 12);
    layout.height = ReadLe16(head + 14);
    layout.format = TgaEngineFormat(head[16]);
    if (layout.format == GM_FMT_NONE) {
        layout.problem = GM_IMAGE_UNSUPPORTED;
        return layout;
    }
    if (layout.width == 0 || layout.height == 0) {
        layout.problem = GM_IMAGE_DAMAGED;
        return layout;
    }
    layout.bytesPerPixel = GetFormatBytesPerPixel(layout.format);
    layout.topFirst = (head[17] & 0x20) != 0;
    layout.runLength = (head[2] & 8) != 0;
    layout.problem = RawImageProblem(layout.width, layout.height, layout.format,
                                     PaddedWidth(layout.width) * layout.bytesPerPixel);
    if (layout.problem != GM_IMAGE_NO_PROBLEM)
        return layout;
    // The pixels follow the image-ID field and the colour map, when the file
    // has them (byte 0 is the ID length; bytes 5-6 and 7 the map's entry
    // count and entry bits).
    const uint64_t mapBytes = head[1] ? ReadLe16(head + 5) * ((head[7] + 7u) / 8) : 0;
    layout.pixelsAt = kTgaHeaderBytes + head[0] + mapBytes;
    // Too little data for the claimed size is refused before anything is
    // allocated. A run-length packet of 1 + bytesPerPixel bytes covers at
    // most 128 pixels.
    const uint64_t area = static_cast<uint64_t>(layout.width) * layout.height;
    const uint64_t needed = layout.runLength ? (area + 127) / 128 * (1 + layout.bytesPerPixel)
                                             : area * layout.bytesPerPixel;
    if (layout.pixelsAt > fileSize || needed > fileSize - layout.pixelsAt)
        layout.problem = GM_IMAGE_TRUNCATED;
    return layout;
}

bool CGmImage::ReadTga(const CGeFileData& file)
{
    FreeData();
    if (!file.data || file.size < kTgaHeaderBytes) {
        GeTrace("%s: too short for a TGA header\n", file.path.c_str());
        ReportImageProblem(GM_IMAGE_TRUNCATED);
        return false;
    }
    const TgaLayout layout = ReadTgaLayout(file.data, file.size, file.size);
    width = layout.width;
    height = layout.height;
    format = layout.format;
    pitch = 0;
    kind = GM_IMAGE_RAW;
    if (layout.problem != GM_IMAGE_NO_PROBLEM) {
        GeTrace("%s: TGA refused (problem %u)\n", file.path.c_str(), layout.problem);
        ReportImageProblem(layout.problem);
        return false;
    }
    const uint8_t* pixels = file.data + layout.pixelsAt;
    const size_t available = file.size - layout.pixelsAt;
    if (!MakeRaw(width, height, format, PaddedWidth(width) * layout.bytesPerPixel))
        return false;
    if (!layout.runLength) {
        ReadRawRows(*this, pixels, layout.bytesPerPixel, layout.topFirst);
        return true;
    }
    if (!ReadRunLengthRows(*this, pixels, available, layout.bytesPerPixel, layout.topFirst)) {
        GeTrace("%s: TGA pixel data cut short\n", file.path.c_str());
        ReportImageProblem(GM_IMAGE_TRUNCATED);
        FreeData();
        return false;
    }
    return true;
}
