// JPEG files and JPEG-coded GEP payloads: the file is kept packed and decoded
// row by row by the engine's JPEG decoder when the texture is uploaded.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GeInputStream.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmImageBytes.h"
#include "Engine/Core/Gm/GmJpegDecoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

bool UseMmx()
{
    return g_pGeCpuInfo && (g_pGeCpuInfo->flags & GE_CPU_MMX) != 0;
}

// One decoded row into the destination row: grey samples as they are, colour
// samples (R, G, B, unused) as B, G, R in memory; the fourth byte of a 32-bit
// pixel is left alone. The pixels after the decoded ones repeat the last.
void StoreRow(uint8_t* out, const uint8_t* samples, uint32_t columns, uint32_t sampleBytes, uint32_t rowPixels,
              uint32_t bytesPerPixel)
{
    for (uint32_t x = 0; x < columns; ++x) {
        const uint8_t* in = samples + x * sampleBytes;
        uint8_t* pixel = out + x * bytesPerPixel;
        if (bytesPerPixel == 1) {
            pixel[0] = in[0];
        } else {
            pixel[0] = in[2];
            pixel[1] = in[1];
            pixel[2] = in[0];
        }
    }
    const uint8_t* last = out + (columns - 1) * bytesPerPixel;
    for (uint32_t x = columns; x < rowPixels; ++x)
        memcpy(out + x * bytesPerPixel, last, bytesPerPixel);
}

}  // namespace

bool CGmImage::ReadJpegPacked(const CGeFileData& file)
{
    FreeData();
    storedSize = 0;
    CGeMemoryStream stream(file.data, file.data ? file.size : 0);
    CGmJpegDecoder decoder(&stream, UseMmx());
    if (decoder.GetErrorCode() != 0) {
        GeTrace("%s: JPEG error %d\n", file.path.c_str(), decoder.GetErrorCode());
        ReportImageProblem(GM_IMAGE_JPEG_ERROR, decoder.GetErrorCode());
        return false;
    }
    data = static_cast<uint8_t*>(malloc(file.size));
    if (!data)
        return false;
    g_pGeSimd->Memcpy(data, file.data, file.size);
    storedSize = file.size;
    width = static_cast<uint32_t>(decoder.GetWidth());
    height = static_cast<uint32_t>(decoder.GetHeight());
    kind = GM_IMAGE_PACKED;
    const uint32_t padded = PaddedWidth(width);
    if (decoder.GetComponentCount() == 1) {
        pixelCode = kJpegGreyCode;
        format = GM_FMT_A8;
        pitch = padded;
    } else {
        pixelCode = kJpegColourCode;
        format = GM_FMT_X8R8G8B8;
        pitch = padded * 4;
    }
    return true;
}

bool CGmImage::DecodeJpeg(const CGmImage& source, CGmImage& destination)
{
    if (!source.data)
        return false;
    CGeMemoryStream stream(source.data, source.storedSize);
    CGmJpegDecoder decoder(&stream, UseMmx());
    if (decoder.GetErrorCode() != 0 || decoder.Begin() != 0) {
        GeTrace("JPEG error %d\n", decoder.GetErrorCode());
        ReportImageProblem(GM_IMAGE_JPEG_ERROR, decoder.GetErrorCode());
        return false;
    }
    // The record's format decides the pixel size; a GEP header may disagree
    // with the stream it carries, so the stream must fit that size: grey
    // samples only into one byte, colour only into three or four.
    const uint32_t bytesPerPixel = GetFormatBytesPerPixel(source.format);
    const uint32_t sampleBytes = static_cast<uint32_t>(decoder.GetBytesPerPixel());
    const bool fits = (bytesPerPixel == 1 && sampleBytes == 1) || (bytesPerPixel >= 3 && sampleBytes == 4);
    if (!fits) {
        GeTrace("JPEG of %u bytes per pixel does not fit format %u\n", sampleBytes, source.format);
        return false;
    }
    if (!destination.MakeRaw(source.width, source.height, source.format, source.pitch))
        return false;

    // The stream's size may differ from the record's (a GEP header names its
    // own): only the part that both cover is written.
    const uint32_t rowPixels = destination.pitch / bytesPerPixel;
    const uint32_t columns = std::min({static_cast<uint32_t>(decoder.GetWidth()), destination.width, rowPixels});
    const uint32_t rows = std::min(static_cast<uint32_t>(decoder.GetHeight()), destination.height);
    for (uint32_t y = 0; y < rows && columns > 0; ++y) {
        const uint8_t* samples = nullptr;
        uint32_t rowBytes = 0;
        const int result = decoder.DecodeRow(&samples, &rowBytes);
        if (result != 0) {
            GeTrace("JPEG row %u: error %d\n", y, decoder.GetErrorCode());
            if (result < 0)
                ReportImageProblem(GM_IMAGE_JPEG_ERROR, decoder.GetErrorCode());
            return result > 0;
        }
        const uint32_t delivered = std::min(columns, rowBytes / sampleBytes);
        if (delivered == 0)
            continue;
        StoreRow(destination.data + static_cast<size_t>(y) * destination.pitch, samples, delivered, sampleBytes,
                 rowPixels, bytesPerPixel);
    }
    // A stream cut inside its scan is shown as far as it goes: the rows after
    // the cut hold what the decoder makes of its fill bytes.
    if (decoder.IsTruncated()) {
        GeTrace("JPEG data ends inside its scan\n");
        ReportImageProblem(GM_IMAGE_TRUNCATED);
    }
    return true;
}
