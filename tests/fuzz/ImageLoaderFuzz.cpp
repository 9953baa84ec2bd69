#include "tests/fuzz/ImageLoaderFuzz.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeLittleEndian.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"

namespace {

void StartKernels()
{
    if (!g_pGeCpuInfo)
        GeCpuProbeCreate();
    if (!g_pGeSimd)
        GeSimdCreate();
}

volatile uint8_t g_rowSink;

// Reads width pixels of every row, as the texture upload and the TGA writer
// do, so that a decoded image whose rows are too short shows up here.
void ReadEveryRow(const CGmImage& image, uint32_t bytesPerPixel)
{
    uint8_t sum = 0;
    for (uint32_t y = 0; y < image.height; ++y) {
        const uint8_t* row = image.data + static_cast<size_t>(y) * image.pitch;
        for (size_t i = 0; i < static_cast<size_t>(image.width) * bytesPerPixel; ++i)
            sum = static_cast<uint8_t>(sum + row[i]);
    }
    g_rowSink = sum;
}

// A whole image: a size, pixels, and for a raw image rows that hold a row of
// pixels of a known format; packed and DDS images hold their stored bytes.
bool IsComplete(const CGmImage& image)
{
    if (image.width == 0 || image.height == 0 || !image.data)
        return false;
    if (image.kind != GM_IMAGE_RAW)
        return image.storedSize > 0;
    const uint32_t bytesPerPixel = GetFormatBytesPerPixel(image.format);
    return bytesPerPixel > 0 && image.pitch >= uint64_t(image.width) * bytesPerPixel;
}

// Resamples a decoded image to a small size, so that the scalers see every
// format and row padding the decoders produce.
void Resample(const CGmImage& image)
{
    const uint32_t bytesPerPixel = GetFormatBytesPerPixel(image.format);
    if (image.kind != GM_IMAGE_RAW || !image.data || bytesPerPixel == 0)
        return;
    ReadEveryRow(image, bytesPerPixel);
    CGmImage scaled;
    scaled.width = image.width % 7 + 1;
    scaled.height = image.height % 5 + 1;
    scaled.format = image.format;
    scaled.pitch = (scaled.width + 1) * bytesPerPixel;
    CGmImage::ScaleBilinear(scaled, image);
    CGmImage::ScaleNearest(scaled, image);
}

}  // namespace

FuzzOutcome RunImageLoaderFuzz(const uint8_t* data, size_t size)
{
    FuzzOutcome outcome;
    if (size < 1)
        return outcome;
    StartKernels();
    static const char* const kNames[] = {"f.tga", "f.gep", "f.jpg", "f.dds"};
    CGeFileData file;
    file.path = kNames[data[0] < 3 ? data[0] : 3];
    file.data = const_cast<uint8_t*>(data + 1);
    file.size = static_cast<uint32_t>(size - 1);

    DetectImageType(file);
    CGmImage packed(GM_IMAGE_PACKED);
    if (packed.ReadPacked(file)) {
        FUZZ_EXPECT(outcome, IsComplete(packed));
        if (packed.kind == GM_IMAGE_PACKED) {
            CGmImage decoded;
            if (CGmImage::DecodeGep(packed, decoded)) {
                FUZZ_EXPECT(outcome, decoded.kind == GM_IMAGE_RAW && IsComplete(decoded));
                Resample(decoded);
            }
        }
    } else {
        FUZZ_EXPECT(outcome, GetLastImageReport().problem != GM_IMAGE_NO_PROBLEM);
    }
    CGmImage image;
    outcome.taken = LoadImage(file, image);
    if (outcome.taken) {
        // DDS files are taken as they are, only ever used packed.
        const bool dds = file.size >= 4 && ReadLe32(file.data) == kDdsSignature;
        FUZZ_EXPECT(outcome, dds ? image.data == nullptr : image.kind == GM_IMAGE_RAW && IsComplete(image));
        Resample(image);
    } else {
        FUZZ_EXPECT(outcome, GetLastImageReport().problem != GM_IMAGE_NO_PROBLEM);
        FUZZ_EXPECT(outcome, image.data == nullptr);
    }
    return outcome;
}

int FuzzImageLoader(const uint8_t* data, size_t size)
{
    return FuzzVerdict(RunImageLoaderFuzz(data, size), "ImageLoaderFuzz.cpp");
}
