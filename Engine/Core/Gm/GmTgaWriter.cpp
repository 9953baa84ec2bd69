#include "Engine/Core/Gm/GmTgaWriter.h"

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"

#include <cstdlib>
#include <cstring>

namespace {

constexpr uint32_t kHeaderBytes = 18;
constexpr uint8_t kTrueColour = 2;
constexpr uint8_t kTopLeftOrigin = 0x20;

void FillHeader(uint8_t* header, const CGmImage& image, uint32_t bytesPerPixel)
{
    memset(header, 0, kHeaderBytes);
    header[2] = kTrueColour;
    header[12] = image.width & 0xFF;
    header[13] = (image.width >> 8) & 0xFF;
    header[14] = image.height & 0xFF;
    header[15] = (image.height >> 8) & 0xFF;
    header[16] = static_cast<uint8_t>(bytesPerPixel * 8);
    header[17] = kTopLeftOrigin;
}

}  // namespace

bool WriteImageTga(const CGmImage& image, const CGeString& path)
{
    if (image.kind != GM_IMAGE_RAW || !image.data)
        return false;
    const uint32_t bytesPerPixel = GetFormatBytesPerPixel(image.format);
    const size_t rowBytes = static_cast<size_t>(image.width) * bytesPerPixel;
    // A row wider than the pitch would read past the image.
    if (rowBytes > image.pitch)
        return false;
    const size_t size = kHeaderBytes + rowBytes * image.height;
    uint8_t* buffer = static_cast<uint8_t*>(malloc(size));
    if (!buffer)
        return false;
    if (rowBytes == image.pitch) {
        g_pGeSimd->Memcpy(buffer + kHeaderBytes, image.data, rowBytes * image.height);
    } else {
        for (uint32_t y = 0; y < image.height; ++y)
            g_pGeSimd->Memcpy(buffer + kHeaderBytes + y * rowBytes, image.data + static_cast<size_t>(y) * image.pitch,
                              rowBytes);
    }
    FillHeader(buffer, image, bytesPerPixel);
    CGeFileData record;
    record.path = path;
    record.data = buffer;
    record.size = static_cast<uint32_t>(size);
    const bool written = WriteWholeFile(record);
    free(buffer);
    return written;
}
