// The engine's ".gep" format: a 16-byte header, then one or two planes (the
// colour plane and an optional alpha plane) of raw, run-length or JPEG data.
//
// Every plane length comes from the file, so each one is cut to the bytes
// really stored, and every write is cut to the destination image: a damaged
// file decodes to what it holds and never reaches outside either buffer.
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmImageBytes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kPitchModeFromPlane = 2;

// Data bytes of the plane whose header starts at plane, cut to what is stored.
size_t PlaneDataBytes(const uint8_t* plane, size_t planeBytes)
{
    if (!plane || planeBytes < kGepPlaneHeaderBytes)
        return 0;
    return std::min<size_t>(ReadLe32(plane), planeBytes - kGepPlaneHeaderBytes);
}

// Run-length decoding: every element read is output once; when the next
// element equals it, the byte after that second copy counts further copies
// (0 means 256). A repeated element at the very end without its count byte is
// simply output again. Stops when the input is used up or maxElements are out.
template <typename Emit>
void DecodeRunLength(const uint8_t* src, size_t n, size_t elementBytes, size_t maxElements, Emit emit)
{
    size_t at = 0;
    size_t out = 0;
    while (out < maxElements && n - at >= elementBytes) {
        const uint8_t* element = src + at;
        at += elementBytes;
        emit(element, out++);
        // The count byte sits at at + elementBytes; it must be inside the plane.
        if (n - at > elementBytes && memcmp(element, src + at, elementBytes) == 0) {
            uint32_t count = src[at + elementBytes];
            if (count == 0)
                count = 256;
            at += elementBytes + 1;
            for (; count > 0 && out < maxElements; --count)
                emit(element, out++);
        }
    }
}

uint32_t Pixel565To32(uint32_t p)
{
    const uint32_t blue = (p & 0x1F) << 3;
    const uint32_t green = ((p >> 5) & 0x3F) << 2;
    const uint32_t red = (p >> 11) << 3;
    return blue | green << 8 | red << 16;
}

void StorePixel(uint8_t* pixels, size_t index, uint32_t value)
{
    memcpy(pixels + index * 4, &value, 4);
}

// 5-6-5 pixels through the kernel, which reads the count from the plane
// header. When the plane claims more than is stored or than fits, a copy with
// a corrected count goes to the kernel instead.
void Expand565Plane(const uint8_t* plane, size_t planeBytes, uint8_t* pixels, size_t pixelCount)
{
    const size_t count = std::min(PlaneDataBytes(plane, planeBytes) / 2, pixelCount);
    if (count == ReadLe32(plane) / 2 && ReadLe32(plane) % 2 == 0) {
        g_pGeSimd->Expand565To32(reinterpret_cast<uint32_t*>(pixels), plane);
        return;
    }
    uint8_t* block = static_cast<uint8_t*>(malloc(kGepPlaneHeaderBytes + count * 2));
    if (!block)
        return;
    const uint32_t bytes = static_cast<uint32_t>(count * 2);
    memset(block, 0, kGepPlaneHeaderBytes);
    memcpy(block, &bytes, 4);
    memcpy(block + kGepPlaneHeaderBytes, plane + kGepPlaneHeaderBytes, count * 2);
    g_pGeSimd->Expand565To32(reinterpret_cast<uint32_t*>(pixels), block);
    free(block);
}

void DecodeColourPlane(uint32_t code, const uint8_t* plane, size_t planeBytes, CGmImage& image)
{
    if (planeBytes < kGepPlaneHeaderBytes)
        return;
    const uint8_t* src = plane + kGepPlaneHeaderBytes;
    const size_t n = PlaneDataBytes(plane, planeBytes);
    uint8_t* dst = image.data;
    const size_t capacity = image.RawBytes();
    switch (code) {
    case 0x001:
    case 0x1002:
        g_pGeSimd->ExpandRgb24To32(reinterpret_cast<uint32_t*>(dst), src,
                                   static_cast<int32_t>(std::min(n / 3, capacity / 4)));
        break;
    case 0x002:
    case 0x003:
        g_pGeSimd->Memcpy(dst, src, std::min(n, capacity));
        break;
    case 0x004:
    case 0x1004:
        Expand565Plane(plane, planeBytes, dst, capacity / 4);
        break;
    case 0x101:
    case 0x1102:
        DecodeRunLength(src, n, 3, capacity / 4, [dst](const uint8_t* v, size_t i) {
            StorePixel(dst, i, v[0] | v[1] << 8 | v[2] << 16);
        });
        break;
    case 0x102:
        DecodeRunLength(src, n, 4, capacity / 4, [dst](const uint8_t* v, size_t i) { memcpy(dst + i * 4, v, 4); });
        break;
    case 0x103:
        DecodeRunLength(src, n, 2, capacity / 2, [dst](const uint8_t* v, size_t i) { memcpy(dst + i * 2, v, 2); });
        break;
    case 0x104:
    case 0x1104:
        DecodeRunLength(src, n, 2, capacity / 4, [dst](const uint8_t* v, size_t i) {
            StorePixel(dst, i, Pixel565To32(v[0] | v[1] << 8));
        });
        break;
    }
}

bool HasRawAlpha(uint32_t code)
{
    return code == 0x004 || code == 0x104;
}

bool HasRunLengthAlpha(uint32_t code)
{
    return code == 0x1002 || code == 0x1004 || code == 0x1102 || code == 0x1104;
}

bool IsKnownCode(uint32_t code)
{
    return (code >= 0x001 && code <= 0x004) || (code >= 0x101 && code <= 0x104) || HasRunLengthAlpha(code);
}

}  // namespace

void CopyAlphaPlane(const uint8_t* plane, size_t planeBytes, uint32_t* pixels, size_t pixelCount)
{
    const size_t n = std::min(PlaneDataBytes(plane, planeBytes), pixelCount);
    g_pGeSimd->SetAlpha(pixels, plane + kGepPlaneHeaderBytes, static_cast<int32_t>(n));
}

void DecodeAlphaRle(const uint8_t* plane, size_t planeBytes, uint32_t* pixels, size_t pixelCount)
{
    uint8_t* bytes = reinterpret_cast<uint8_t*>(pixels);
    DecodeRunLength(plane + kGepPlaneHeaderBytes, PlaneDataBytes(plane, planeBytes), 1, pixelCount,
                    [bytes](const uint8_t* v, size_t i) { bytes[i * 4 + 3] = v[0]; });
}

GepLayout ReadGepLayout(const uint8_t* head, uint64_t headBytes, uint64_t fileSize)
{
    GepLayout layout;
    if (!head || headBytes < kGepHeaderBytes || fileSize < kGepHeaderBytes) {
        layout.problem = GM_IMAGE_TRUNCATED;
        return layout;
    }
    layout.width = ReadLe16(head + 4);
    layout.height = ReadLe16(head + 6);
    layout.pixelCode = ReadLe32(head + 9);
    switch (layout.pixelCode & 0xFF) {
    case 1: layout.format = GM_FMT_X8R8G8B8; layout.pitch = layout.width * 4; break;
    case 2:
    case 4: layout.format = GM_FMT_A8R8G8B8; layout.pitch = layout.width * 4; break;
    case 3: layout.format = GM_FMT_R5G6B5; layout.pitch = layout.width * 2; break;
    // Greyscale: one byte per pixel, as a greyscale JPEG file reads.
    case 5: layout.format = GM_FMT_A8; layout.pitch = layout.width; break;
    default: layout.format = GM_FMT_NONE; layout.pitch = 0; break;
    }
    // The pitch word is the second word of the first plane's header.
    const uint64_t pitchAt = kGepHeaderBytes + 4;
    if (head[13] == kPitchModeFromPlane)
        layout.pitch = fileSize >= pitchAt + 4 && headBytes >= pitchAt + 4 ? ReadLe32(head + pitchAt) : 0;

    // What the decoder refuses: a header without payload, a layout it does
    // not know, and a size that no raw image can take.
    const bool jpeg = layout.pixelCode == kJpegColourCode || layout.pixelCode == kJpegGreyCode;
    if (fileSize == kGepHeaderBytes)
        layout.problem = GM_IMAGE_TRUNCATED;
    else if (!jpeg && layout.format == GM_FMT_NONE)
        layout.problem = GM_IMAGE_UNSUPPORTED;
    else if (!jpeg)
        layout.problem = RawImageProblem(layout.width, layout.height, layout.format, layout.pitch);
    return layout;
}

bool CGmImage::ReadGepHeader(const CGeFileData& file)
{
    FreeData();
    storedSize = 0;
    if (!file.data || file.size < kGepHeaderBytes) {
        GeTrace("%s: too short for a GEP header\n", file.path.c_str());
        ReportImageProblem(GM_IMAGE_TRUNCATED);
        return false;
    }
    // A header without payload gives a record without data: nothing to decode.
    storedSize = file.size - kGepHeaderBytes;
    if (storedSize > 0) {
        data = static_cast<uint8_t*>(malloc(storedSize));
        if (!data) {
            storedSize = 0;
            return false;
        }
        g_pGeSimd->Memcpy(data, file.data + kGepHeaderBytes, storedSize);
    }
    const GepLayout layout = ReadGepLayout(file.data, file.size, file.size);
    width = layout.width;
    height = layout.height;
    pixelCode = layout.pixelCode;
    format = layout.format;
    pitch = layout.pitch;
    return true;
}

bool CGmImage::DecodeGep(const CGmImage& source, CGmImage& destination)
{
    if (!source.data) {
        ReportImageProblem(GM_IMAGE_TRUNCATED);
        return false;
    }
    const uint32_t code = source.pixelCode;
    if (code == kJpegColourCode || code == kJpegGreyCode)
        return DecodeJpeg(source, destination);
    if (source.format == GM_FMT_NONE) {
        GeTrace("GEP pixel code 0x%x has no known pixel layout\n", code);
        ReportImageProblem(GM_IMAGE_UNSUPPORTED);
        return false;
    }
    if (!destination.MakeRaw(source.width, source.height, source.format, source.pitch))
        return false;
    if (!IsKnownCode(code)) {
        // An unknown coding of a known layout: the payload is taken as pixels.
        g_pGeSimd->Memcpy(destination.data, source.data, std::min<size_t>(source.storedSize, destination.RawBytes()));
        return true;
    }
    DecodeColourPlane(code, source.data, source.storedSize, destination);

    // The alpha plane follows the colour plane, aligned to 16 bytes.
    if (!HasRawAlpha(code) && !HasRunLengthAlpha(code))
        return true;
    const uint64_t colourBytes = source.storedSize >= 4 ? ReadLe32(source.data) : 0;
    const uint64_t alphaOffset = kGepPlaneHeaderBytes + ((colourBytes + 15) & ~uint64_t(15));
    if (alphaOffset >= source.storedSize) {
        GeTrace("GEP alpha plane missing\n");
        return true;
    }
    const uint8_t* plane = source.data + alphaOffset;
    const size_t planeBytes = source.storedSize - static_cast<size_t>(alphaOffset);
    uint32_t* pixels = reinterpret_cast<uint32_t*>(destination.data);
    const size_t pixelCount = destination.RawBytes() / 4;
    if (HasRawAlpha(code))
        CopyAlphaPlane(plane, planeBytes, pixels, pixelCount);
    else
        DecodeAlphaRle(plane, planeBytes, pixels, pixelCount);
    return true;
}
