// Scalar pieces shared by the generic kernels and by the accelerated ones, which use
// them for the elements before and after their vector loops. Internal to the kernels.
#pragma once

#include <cstdint>
#include <cstring>

namespace gesimd {

// How many times each sample is repeated to reach 44100 Hz; 0 for an unknown rate.
inline int RepeatsForRate(int32_t rate)
{
    switch (rate) {
    case 11025: return 4;
    case 22050: return 2;
    case 44100: return 1;
    default: return 0;
    }
}

// Four partial sums, one per index modulo 4, joined as s0 + (s1 + (s2 + s3)); fewer
// than four products are summed in index order. Vector code that keeps the same four
// lanes gets the same bits.
inline float DotPartialSums(const float sums[4])
{
    return sums[0] + (sums[1] + (sums[2] + sums[3]));
}

inline float DotShort(const float* a, const float* b, int32_t n)
{
    float sum = 0.0f;
    for (int32_t i = 0; i < n; i++)
        sum += a[i] * b[i];
    return sum;
}

// 16-bit values to floats, each value (mono) or left/right pair (stereo) written
// `repeats` times. A lone value after the last whole stereo pair is not read.
inline void Int16ToFloatRepeated(float* dst, const int16_t* src, int32_t n, int repeats, bool stereo)
{
    if (!stereo || repeats == 1) {
        for (int32_t i = 0; i < n; i++)
            for (int r = 0; r < repeats; r++)
                *dst++ = static_cast<float>(src[i]);
        return;
    }
    for (int32_t i = 0; i + 1 < n; i += 2) {
        for (int r = 0; r < repeats; r++) {
            *dst++ = static_cast<float>(src[i]);
            *dst++ = static_cast<float>(src[i + 1]);
        }
    }
}

// Channel floats (-1..1) to the 16-bit scale: `count` samples of one channel, or
// `count` frames of left and right, each written `repeats` times.
inline void FloatTo44kRepeated(float* dst, const float* left, const float* right, int32_t count,
                               int repeats, bool stereo)
{
    const float scale = 32768.0f;
    for (int32_t i = 0; i < count; i++) {
        const float l = left[i] * scale;
        const float r = stereo ? right[i] * scale : 0.0f;
        for (int k = 0; k < repeats; k++) {
            *dst++ = l;
            if (stereo)
                *dst++ = r;
        }
    }
}

// A 24-bit pixel (blue, green, red bytes) as a 32-bit pixel with byte 3 zero.
inline uint32_t Rgb24ToPixel(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16;
}

inline uint32_t WithAlpha(uint32_t pixel, uint8_t alpha)
{
    return (pixel & 0x00FFFFFFu) | static_cast<uint32_t>(alpha) << 24;
}

inline bool IsAligned(const void* p, uintptr_t alignment)
{
    return (reinterpret_cast<uintptr_t>(p) & (alignment - 1)) == 0;
}

}  // namespace gesimd
