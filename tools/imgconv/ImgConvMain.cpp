// imgconv: decodes an image the way the game does and writes it out as an
// uncompressed 32-bit TGA, to look at what a data file really holds.
//
//   imgconv IN OUT.tga
//
// IN is any image the engine decodes: TGA, ".gep" or JPEG (".jpg", ".jpeg";
// the name decides, as in the game). DDS files are only ever uploaded as they
// are and cannot be converted. Every fault gives a one-line message on stderr
// and a non-zero exit.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmTgaWriter.h"

#include <cstdio>
#include <cstring>

// Every pixel of a raw image as A8R8G8B8, rows without padding.
static bool ConvertToArgb(const CGmImage& source, CGmImage& argb)
{
    const uint32_t bytesPerPixel = GetFormatBytesPerPixel(source.format);
    if (bytesPerPixel == 0 || !argb.MakeRaw(source.width, source.height, GM_FMT_A8R8G8B8, source.width * 4))
        return false;
    for (uint32_t y = 0; y < source.height; ++y) {
        const uint8_t* in = source.data + static_cast<size_t>(y) * source.pitch;
        uint8_t* out = argb.data + static_cast<size_t>(y) * argb.pitch;
        for (uint32_t x = 0; x < source.width; ++x) {
            uint32_t pixel = 0;
            memcpy(&pixel, in + x * bytesPerPixel, bytesPerPixel);
            const uint32_t colour = PixelToArgb(source.format, pixel);
            memcpy(out + x * 4, &colour, 4);
        }
    }
    return true;
}

static int Fail(const char* path, const char* problem)
{
    fprintf(stderr, "imgconv: %s: %s\n", path, problem);
    return 1;
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: imgconv IN OUT.tga\n");
        return 2;
    }
    const char* inPath = argv[1];
    const char* outPath = argv[2];
    GeCpuProbeCreate();
    GeSimdCreate();

    CGeFileData file = ReadWholeFile(inPath, false);
    if (!file.data)
        return Fail(inPath, "cannot be read");
    CGmImage image;
    const bool decoded = LoadImage(file, image);
    const bool dds = DetectImageType(file) == GM_IMAGE_TYPE_DDS;
    FreeFileData(file);
    if (dds)
        return Fail(inPath, "DDS images are uploaded as they are and cannot be converted");
    if (!decoded || image.kind != GM_IMAGE_RAW || !image.data)
        return Fail(inPath, "not an image the engine can decode");

    CGmImage argb;
    if (!ConvertToArgb(image, argb))
        return Fail(inPath, "pixel format cannot be converted");
    if (!WriteImageTga(argb, outPath))
        return Fail(outPath, "cannot be written");
    return 0;
}
