#include "PlainLoops.h"

#include <cstring>

void PlainMixStereoToStereo(float* mix, const float* src, const float* start, const float* end)
{
    float left = start[0], right = start[1];
    const float leftStep = (end[0] - start[0]) / 4096, rightStep = (end[1] - start[1]) / 4096;
    for (int k = 0; k < 4096; k++) {
        mix[2 * k] += src[2 * k] * left;
        mix[2 * k + 1] += src[2 * k + 1] * right;
        left += leftStep;
        right += rightStep;
    }
}

void PlainFloatToInt16Interleaved(int16_t* dst, const float* const* channels, uint32_t samples,
                                  uint32_t channelCount)
{
    for (uint32_t c = 0; c < channelCount; c++) {
        for (uint32_t i = 0; i < samples; i++) {
            int v = static_cast<int>(channels[c][i] * 32767.0);
            v = v < -32768 ? -32768 : (v > 32767 ? 32767 : v);
            dst[i * channelCount + c] = static_cast<int16_t>(v);
        }
    }
}

static inline uint32_t Clamp(int v)
{
    return v < 0 ? 0u : (v > 255 ? 255u : static_cast<uint32_t>(v));
}

// The studio-range formula, one pixel at a time.
void PlainYuvToRgb(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int chromaStride,
                   uint8_t* dst, int pitch, int width, int height)
{
    for (int row = 0; row < height; row++) {
        const uint8_t* yr = y + row * yStride;
        const uint8_t* ur = u + (row / 2) * chromaStride;
        const uint8_t* vr = v + (row / 2) * chromaStride;
        uint8_t* out = dst + row * pitch;
        for (int x = 0; x < width; x++) {
            const int luma = (yr[x] - 16) * 74, cu = ur[x / 2] - 128, cv = vr[x / 2] - 128;
            const uint32_t pixel = Clamp((luma + 102 * cv + 32) >> 6) << 16 |
                                   Clamp((luma - 25 * cu - 52 * cv + 32) >> 6) << 8 | Clamp((luma + 129 * cu) >> 6);
            memcpy(out + 4 * x, &pixel, sizeof pixel);
        }
    }
}
