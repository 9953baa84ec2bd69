// The SSE levels' sample kernels. The conversions to floats give the generic values
// for any alignment and count. The mixers advance their volume ramps two frames at a
// time, which equals the generic ramp up to float rounding. The mix conversion to
// 16-bit samples rounds to the nearest integer (ties to even) where the generic code
// truncates.
#include "Engine/Core/Common/GeSimdKernels.h"

#if GE_SIMD_X86

#include "Engine/Core/Common/GeSimdScalar.h"

#include <emmintrin.h>

using namespace gesimd;

namespace {

// Writes four converted values (mono) or two left/right pairs (stereo), each
// `repeats` times.
inline void EmitRepeated(float*& out, __m128 v, int repeats, bool stereo)
{
    if (repeats == 1) {
        _mm_storeu_ps(out, v);
        out += 4;
    } else if (stereo) {
        const __m128 first = _mm_movelh_ps(v, v), second = _mm_movehl_ps(v, v);
        for (int r = 0; r < repeats; r += 2, out += 4)
            _mm_storeu_ps(out, first);
        for (int r = 0; r < repeats; r += 2, out += 4)
            _mm_storeu_ps(out, second);
    } else if (repeats == 2) {
        _mm_storeu_ps(out, _mm_unpacklo_ps(v, v));
        _mm_storeu_ps(out + 4, _mm_unpackhi_ps(v, v));
        out += 8;
    } else {
        _mm_storeu_ps(out, _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 0, 0, 0)));
        _mm_storeu_ps(out + 4, _mm_shuffle_ps(v, v, _MM_SHUFFLE(1, 1, 1, 1)));
        _mm_storeu_ps(out + 8, _mm_shuffle_ps(v, v, _MM_SHUFFLE(2, 2, 2, 2)));
        _mm_storeu_ps(out + 12, _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 3, 3, 3)));
        out += 16;
    }
}

}  // namespace

void CGeSimdSSE::ConvertInt16ToFloat(float* dst, const int16_t* src, int32_t n, int32_t rate,
                                     int32_t channels) const
{
    const int repeats = RepeatsForRate(rate);
    if (repeats == 0 || n <= 0)
        return;
    const bool stereo = channels != 1;
    int32_t i = 0;
    for (; i + 8 <= n; i += 8) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + i));
        const __m128 low = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(x, x), 16));
        const __m128 high = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(x, x), 16));
        EmitRepeated(dst, low, repeats, stereo);
        EmitRepeated(dst, high, repeats, stereo);
    }
    Int16ToFloatRepeated(dst, src + i, n - i, repeats, stereo);
}

void CGeSimdSSE::ConvertFloatTo44k(float* dst, const float* const* channelTable, int32_t n, int32_t rate,
                                   int32_t channels) const
{
    const int repeats = RepeatsForRate(rate);
    if (repeats == 0 || n <= 0)
        return;
    const __m128 scale = _mm_set1_ps(32768.0f);
    const float* left = channelTable[0];
    if (channels == 1) {
        int32_t i = 0;
        for (; i + 4 <= n; i += 4)
            EmitRepeated(dst, _mm_mul_ps(_mm_loadu_ps(left + i), scale), repeats, false);
        FloatTo44kRepeated(dst, left + i, nullptr, n - i, repeats, false);
        return;
    }
    const float* right = channelTable[1];
    const int32_t frames = n / 2;
    int32_t i = 0;
    for (; i + 4 <= frames; i += 4) {
        const __m128 l = _mm_mul_ps(_mm_loadu_ps(left + i), scale);
        const __m128 r = _mm_mul_ps(_mm_loadu_ps(right + i), scale);
        EmitRepeated(dst, _mm_unpacklo_ps(l, r), repeats, true);
        EmitRepeated(dst, _mm_unpackhi_ps(l, r), repeats, true);
    }
    FloatTo44kRepeated(dst, left + i, right + i, frames - i, repeats, true);
}

// ---------------------------------------------------------------------------
// Mixing: one pair of frames per step, 4 floats of a stereo mix or 12 of a six-channel
// mix, with the volumes of both frames in the lanes and two ramp steps added per pair.

namespace {

inline __m128 LoadTwoMono(const float* src)
{
    const __m128 pair = _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(src)));
    return _mm_unpacklo_ps(pair, pair);   // m0, m0, m1, m1
}

struct MonoToStereo {
    static const int kSrcChannels = 1;
    void operator()(const float* src, __m128* s) const { s[0] = LoadTwoMono(src); }
};
struct StereoToStereo {
    static const int kSrcChannels = 2;
    void operator()(const float* src, __m128* s) const { s[0] = _mm_loadu_ps(src); }
};
struct MonoToSix {
    static const int kSrcChannels = 1;
    void operator()(const float* src, __m128* s) const
    {
        s[0] = _mm_set1_ps(src[0]);
        s[1] = LoadTwoMono(src);
        s[2] = _mm_set1_ps(src[1]);
    }
};
// Channels 0, 2, 3 and 4 take the left sample, channels 1 and 5 the right one.
struct StereoToSix {
    static const int kSrcChannels = 2;
    void operator()(const float* src, __m128* s) const
    {
        const __m128 v = _mm_loadu_ps(src);   // L0, R0, L1, R1
        s[0] = _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 0, 1, 0));
        s[1] = v;
        s[2] = _mm_shuffle_ps(v, v, _MM_SHUFFLE(3, 2, 2, 2));
    }
};

template <int kOut, class Gather>
void MixPairs(float* mix, const float* src, const float* start, const float* end)
{
    const int kVectors = kOut / 2;
    float volume[2 * kOut], step2[2 * kOut];
    for (int c = 0; c < kOut; c++) {
        const float step = (end[c] - start[c]) * (1.0f / kMixFrames);
        volume[c] = start[c];
        volume[kOut + c] = start[c] + step;
        step2[c] = step2[kOut + c] = step + step;
    }
    __m128 vol[kVectors], inc[kVectors];
    for (int j = 0; j < kVectors; j++) {
        vol[j] = _mm_loadu_ps(volume + 4 * j);
        inc[j] = _mm_loadu_ps(step2 + 4 * j);
    }
    const Gather gather;
    for (int32_t k = 0; k < kMixFrames; k += 2, mix += 2 * kOut, src += 2 * Gather::kSrcChannels) {
        __m128 s[kVectors];
        gather(src, s);
        for (int j = 0; j < kVectors; j++) {
            _mm_storeu_ps(mix + 4 * j, _mm_add_ps(_mm_loadu_ps(mix + 4 * j), _mm_mul_ps(s[j], vol[j])));
            vol[j] = _mm_add_ps(vol[j], inc[j]);
        }
    }
}

}  // namespace

void CGeSimdSSE::MixMonoToStereo(float* mix, const float* src, int32_t, const float* startVolumes,
                                 const float* endVolumes) const
{
    MixPairs<2, MonoToStereo>(mix, src, startVolumes, endVolumes);
}

void CGeSimdSSE::MixStereoToStereo(float* mix, const float* src, int32_t, const float* startVolumes,
                                   const float* endVolumes) const
{
    MixPairs<2, StereoToStereo>(mix, src, startVolumes, endVolumes);
}

void CGeSimdSSE::MixMonoToSix(float* mix, const float* src, int32_t, const float* startVolumes,
                              const float* endVolumes) const
{
    MixPairs<6, MonoToSix>(mix, src, startVolumes, endVolumes);
}

void CGeSimdSSE::MixStereoToSix(float* mix, const float* src, int32_t, const float* startVolumes,
                                const float* endVolumes) const
{
    MixPairs<6, StereoToSix>(mix, src, startVolumes, endVolumes);
}

// ---------------------------------------------------------------------------
// Mix to 16-bit samples, rounded to the nearest integer (ties to even). Values are
// limited to the 16-bit range as floats first, so that even a value past the 32-bit
// integer range saturates to the right end.

namespace {

inline __m128 LimitTo16Bit(__m128 x)
{
    return _mm_min_ps(_mm_max_ps(x, _mm_set1_ps(-32768.0f)), _mm_set1_ps(32767.0f));
}

void RoundToInt16(int16_t* dst, const float* src, int32_t n)
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = static_cast<int16_t>(_mm_cvtss_si32(LimitTo16Bit(_mm_set_ss(src[i]))));
}

}  // namespace

void CGeSimdSSE::MixToInt16(int16_t* dst, const float* src, int32_t n) const
{
    RoundToInt16(dst, src, n);
}

// Sixteen samples per step, converted four at a time and saturated by packing.
void CGeSimdSSE2::MixToInt16(int16_t* dst, const float* src, int32_t n) const
{
    int32_t i = 0;
    for (; i + 16 <= n; i += 16) {
        __m128i q[4];
        for (int j = 0; j < 4; j++)
            q[j] = _mm_cvtps_epi32(LimitTo16Bit(_mm_loadu_ps(src + i + 4 * j)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i), _mm_packs_epi32(q[0], q[1]));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + i + 8), _mm_packs_epi32(q[2], q[3]));
    }
    RoundToInt16(dst + i, src + i, n > i ? n - i : 0);
}

#endif  // GE_SIMD_X86
