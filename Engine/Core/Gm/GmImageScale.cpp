// Image resampling for scaled textures and location backgrounds, and the
// pixel conversions the bilinear scaler blends through.
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"

#include <cstring>

uint32_t PixelToArgb(uint32_t engineFormat, uint32_t pixel)
{
    switch (engineFormat) {
    case GM_FMT_R8G8B8:
    case GM_FMT_X8R8G8B8:
        return 0xFF000000u | (pixel & 0xFFFFFF);
    case GM_FMT_A8R8G8B8:
        return pixel;
    case GM_FMT_R5G6B5:
        return 0xFF000000u | ((pixel >> 11) & 0x1F) << 19 | ((pixel >> 5) & 0x3F) << 10 | (pixel & 0x1F) << 3;
    case GM_FMT_X1R5G5B5:
    case GM_FMT_A1R5G5B5: {
        const uint32_t colour = ((pixel >> 10) & 0x1F) << 19 | ((pixel >> 5) & 0x1F) << 11 | (pixel & 0x1F) << 3;
        const bool opaque = engineFormat == GM_FMT_X1R5G5B5 || (pixel & 0x7FFF) != 0;
        return colour | (opaque ? 0xFF000000u : 0);
    }
    case GM_FMT_A4R4G4B4:
    case GM_FMT_X4R4G4B4: {
        const uint32_t alpha = engineFormat == GM_FMT_A4R4G4B4 ? ((pixel >> 12) & 0xF) << 28 : 0xFF000000u;
        return alpha | ((pixel >> 8) & 0xF) << 20 | ((pixel >> 4) & 0xF) << 12 | (pixel & 0xF) << 4;
    }
    case GM_FMT_A8:
        return (pixel & 0xFF) * 0x01010101u;
    default:
        return 0;
    }
}

uint32_t ArgbToPixel(uint32_t engineFormat, uint32_t colour)
{
    const uint32_t a = colour >> 24, r = (colour >> 16) & 0xFF, g = (colour >> 8) & 0xFF, b = colour & 0xFF;
    switch (engineFormat) {
    case GM_FMT_R8G8B8:
    case GM_FMT_X8R8G8B8:
        return colour & 0xFFFFFF;
    case GM_FMT_R5G6B5:
        return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
    case GM_FMT_X1R5G5B5:
    case GM_FMT_A1R5G5B5:
        return (a >> 7) << 15 | (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
    case GM_FMT_A4R4G4B4:
    case GM_FMT_X4R4G4B4:
        return (a >> 4) << 12 | (r >> 4) << 8 | (g >> 4) << 4 | b >> 4;
    default:
        return colour;
    }
}

void LerpColorArgb(uint32_t t, uint32_t a, uint32_t b, uint32_t* out)
{
    t &= 0xFF;
    uint32_t result = 0;
    for (uint32_t shift = 0; shift < 32; shift += 8) {
        const uint32_t ca = (a >> shift) & 0xFF;
        const uint32_t cb = (b >> shift) & 0xFF;
        uint32_t channel = (((ca + 1) * (256 - t) - 1) >> 8) + (((t + 1) * (cb + 1) - 1) >> 8);
        if (channel > 255)
            channel = 255;
        result |= channel << shift;
    }
    *out = result;
}

namespace {

uint32_t LoadPixel(const uint8_t* p, uint32_t bytesPerPixel)
{
    uint32_t value = 0;
    memcpy(&value, p, bytesPerPixel);  // little-endian: the low bytes
    return value;
}

// Where a destination pixel samples the source: the whole source pixel and the
// fraction towards the next one.
struct Sample {
    uint32_t index;
    uint32_t next;    // index + 1, or index itself at the source's edge
    float fraction;
};

Sample SampleAt(uint32_t position, float ratio, uint32_t sourceSize)
{
    const float exact = static_cast<float>(position) * ratio;
    Sample s;
    s.index = static_cast<uint32_t>(exact);
    if (s.index >= sourceSize)  // float rounding at the last pixel
        s.index = sourceSize - 1;
    s.next = s.index + 1 < sourceSize ? s.index + 1 : s.index;
    s.fraction = exact - static_cast<float>(s.index);
    if (s.fraction > 1.0f)
        s.fraction = 1.0f;
    return s;
}

// Both images raw, with pixels, non-empty, and rows wide enough for their
// width; the destination gets its pixels when it has none yet.
bool PrepareScale(CGmImage& destination, const CGmImage& source, uint32_t bytesPerPixel)
{
    if (bytesPerPixel == 0 || source.kind != GM_IMAGE_RAW || !source.data || source.width == 0 ||
        source.height == 0 || destination.width == 0 || destination.height == 0)
        return false;
    if (uint64_t(source.width) * bytesPerPixel > source.pitch ||
        uint64_t(destination.width) * bytesPerPixel > destination.pitch)
        return false;
    return destination.MakeRaw(destination.width, destination.height, destination.format, destination.pitch);
}

// Runs pixelAt(row, x, y) for every destination pixel and pads each row with
// copies of its last pixel.
template <typename PixelAt>
void ScaleRows(CGmImage& destination, uint32_t bytesPerPixel, PixelAt pixelAt)
{
    const uint32_t rowPixels = destination.pitch / bytesPerPixel;
    for (uint32_t y = 0; y < destination.height; ++y) {
        uint8_t* row = destination.data + static_cast<size_t>(y) * destination.pitch;
        for (uint32_t x = 0; x < destination.width; ++x)
            pixelAt(row + x * bytesPerPixel, x, y);
        const uint8_t* last = row + (destination.width - 1) * bytesPerPixel;
        for (uint32_t x = destination.width; x < rowPixels; ++x)
            memcpy(row + x * bytesPerPixel, last, bytesPerPixel);
    }
}

float Ratio(uint32_t sourceSize, uint32_t destinationSize)
{
    return static_cast<float>(sourceSize) / static_cast<float>(destinationSize);
}

bool ScaleNearestBytes(CGmImage& destination, const CGmImage& source, uint32_t bytesPerPixel)
{
    if (!PrepareScale(destination, source, bytesPerPixel))
        return false;
    const float rx = Ratio(source.width, destination.width);
    const float ry = Ratio(source.height, destination.height);
    ScaleRows(destination, bytesPerPixel, [&](uint8_t* out, uint32_t x, uint32_t y) {
        const uint32_t sx = SampleAt(x, rx, source.width).index;
        const uint32_t sy = SampleAt(y, ry, source.height).index;
        memcpy(out, source.data + static_cast<size_t>(sy) * source.pitch + sx * bytesPerPixel, bytesPerPixel);
    });
    return true;
}

}  // namespace

bool CGmImage::ScaleNearest(CGmImage& destination, const CGmImage& source)
{
    const uint32_t bytesPerPixel = GetFormatBytesPerPixel(destination.format);
    if (GetFormatBytesPerPixel(source.format) != bytesPerPixel)
        return false;
    return ScaleNearestBytes(destination, source, bytesPerPixel);
}

bool CGmImage::Stretch(CGmImage& destination, const CGmImage& source)
{
    return ScaleNearestBytes(destination, source, 4);
}

bool CGmImage::ScaleBilinear(CGmImage& destination, const CGmImage& source)
{
    const uint32_t bytesPerPixel = GetFormatBytesPerPixel(destination.format);
    if (GetFormatBytesPerPixel(source.format) != bytesPerPixel || !PrepareScale(destination, source, bytesPerPixel))
        return false;
    const float rx = Ratio(source.width, destination.width);
    const float ry = Ratio(source.height, destination.height);
    auto colourAt = [&](uint32_t x, uint32_t y) {
        const uint8_t* p = source.data + static_cast<size_t>(y) * source.pitch + x * bytesPerPixel;
        return PixelToArgb(source.format, LoadPixel(p, bytesPerPixel));
    };
    ScaleRows(destination, bytesPerPixel, [&](uint8_t* out, uint32_t x, uint32_t y) {
        const Sample sx = SampleAt(x, rx, source.width);
        const Sample sy = SampleAt(y, ry, source.height);
        const uint32_t tx = static_cast<uint32_t>(sx.fraction * 255.0f);
        const uint32_t ty = static_cast<uint32_t>(sy.fraction * 255.0f);
        uint32_t top, bottom, colour;
        LerpColorArgb(tx, colourAt(sx.index, sy.index), colourAt(sx.next, sy.index), &top);
        LerpColorArgb(tx, colourAt(sx.index, sy.next), colourAt(sx.next, sy.next), &bottom);
        LerpColorArgb(ty, top, bottom, &colour);
        const uint32_t pixel = ArgbToPixel(destination.format, colour);
        memcpy(out, &pixel, bytesPerPixel);
    });
    return true;
}

bool CGmImage::ScaleBilinearFloat(CGmImage& destination, const CGmImage& source)
{
    if (!PrepareScale(destination, source, 4))
        return false;
    const float rx = Ratio(source.width, destination.width);
    const float ry = Ratio(source.height, destination.height);
    auto valueAt = [&](uint32_t x, uint32_t y) {
        float value;
        memcpy(&value, source.data + static_cast<size_t>(y) * source.pitch + x * 4, 4);
        return value;
    };
    ScaleRows(destination, 4, [&](uint8_t* out, uint32_t x, uint32_t y) {
        const Sample sx = SampleAt(x, rx, source.width);
        const Sample sy = SampleAt(y, ry, source.height);
        const float fx = sx.fraction, fy = sy.fraction;
        const float a = valueAt(sx.index, sy.index), b = valueAt(sx.next, sy.index);
        const float c = valueAt(sx.index, sy.next), d = valueAt(sx.next, sy.next);
        const float value = (a * (1 - fx) + b * fx) * (1 - fy) + (c * (1 - fx) + d * fx) * fy;
        memcpy(out, &value, 4);
    });
    return true;
}
