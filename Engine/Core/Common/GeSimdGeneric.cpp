// The generic kernels: portable C++ that every processor runs, and the reference that
// the accelerated classes are tested against.
#include "Engine/Core/Common/GeSimdKernels.h"

#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeSimdScalar.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using namespace gesimd;

const char* CGeSimdGeneric::GetName() const
{
    return "generic code";
}

// ---------------------------------------------------------------------------
// Element-wise arithmetic

void CGeSimdGeneric::Add(float* dst, const float* a, const float* b, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = a[i] + b[i];
}

void CGeSimdGeneric::AddConst(float* dst, float c, const float* src, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = src[i] + c;
}

void CGeSimdGeneric::Sub(float* dst, const float* a, const float* b, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = a[i] - b[i];
}

void CGeSimdGeneric::SubConst(float* dst, float c, const float* src, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = c - src[i];
}

void CGeSimdGeneric::Mul(float* dst, const float* a, const float* b, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = a[i] * b[i];
}

void CGeSimdGeneric::MulConst(float* dst, float c, const float* src, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = src[i] * c;
}

void CGeSimdGeneric::Div(float* dst, const float* a, const float* b, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = a[i] / b[i];
}

void CGeSimdGeneric::DivConst(float* dst, float c, const float* src, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = c / src[i];
}

void CGeSimdGeneric::MulAdd(float* dst, const float* a, const float* b, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = dst[i] + a[i] * b[i];
}

void CGeSimdGeneric::MulAddConst(float* dst, float c, const float* src, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = dst[i] + src[i] * c;
}

void CGeSimdGeneric::MulSub(float* dst, const float* a, const float* b, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = dst[i] - a[i] * b[i];
}

void CGeSimdGeneric::MulSubConst(float* dst, float c, const float* src, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = dst[i] - src[i] * c;
}

// ---------------------------------------------------------------------------
// Dot products

void CGeSimdGeneric::Dot(float* result, const float* a, const float* b, int32_t n) const
{
    if (n < 4) {
        *result = DotShort(a, b, n);
        return;
    }
    float sums[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    for (int32_t i = 0; i < n; i++)
        sums[i & 3] += a[i] * b[i];
    *result = DotPartialSums(sums);
}

void CGeSimdGeneric::Dot3Array(float* dst, const float* a, const float* b, int32_t n) const
{
    for (int32_t i = 0; i < n; i++, a += 4, b += 4)
        dst[i] = a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

void CGeSimdGeneric::Dot3Const(float* dst, const float* c, const float* src, int32_t n) const
{
    for (int32_t i = 0; i < n; i++, src += 4)
        dst[i] = c[0] * src[0] + c[1] * src[1] + c[2] * src[2];
}

// ---------------------------------------------------------------------------
// Comparisons into byte masks

namespace {

// The mask bit of a bit form; 0 for bit numbers past the byte, which change nothing.
uint8_t MaskBit(uint8_t bit)
{
    return bit < 8 ? static_cast<uint8_t>(1u << bit) : 0;
}

template <class Condition>
void CompareInto(uint8_t* dst, const float* src, int32_t n, Condition holds)
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = holds(src[i]) ? 1 : 0;
}

template <class Condition>
void CompareIntoBit(uint8_t* dst, uint8_t bit, const float* src, int32_t n, Condition holds)
{
    const uint8_t mask = MaskBit(bit);
    for (int32_t i = 0; i < n; i++)
        if (holds(src[i]))
            dst[i] |= mask;
}

}  // namespace

void CGeSimdGeneric::CmpGTBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const
{
    CompareIntoBit(dst, bit, src, n, [c](float x) { return x > c; });
}

void CGeSimdGeneric::CmpGT(uint8_t* dst, const float* src, float c, int32_t n) const
{
    CompareInto(dst, src, n, [c](float x) { return x > c; });
}

void CGeSimdGeneric::CmpGEBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const
{
    CompareIntoBit(dst, bit, src, n, [c](float x) { return x >= c; });
}

void CGeSimdGeneric::CmpGE(uint8_t* dst, const float* src, float c, int32_t n) const
{
    CompareInto(dst, src, n, [c](float x) { return x >= c; });
}

void CGeSimdGeneric::CmpLTBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const
{
    CompareIntoBit(dst, bit, src, n, [c](float x) { return x < c; });
}

void CGeSimdGeneric::CmpLT(uint8_t* dst, const float* src, float c, int32_t n) const
{
    CompareInto(dst, src, n, [c](float x) { return x < c; });
}

void CGeSimdGeneric::CmpLEBit(uint8_t* dst, uint8_t bit, const float* src, float c, int32_t n) const
{
    CompareIntoBit(dst, bit, src, n, [c](float x) { return x <= c; });
}

void CGeSimdGeneric::CmpLE(uint8_t* dst, const float* src, float c, int32_t n) const
{
    CompareInto(dst, src, n, [c](float x) { return x <= c; });
}

// ---------------------------------------------------------------------------
// Minima, maxima and clamps

namespace {

// Per component of `stride`-float elements: the running minimum and maximum, replaced
// only by strictly smaller or larger values (so NaN never replaces them).
void MinMaxComponents(float* min, float* max, const float* src, int32_t n, int components, int stride)
{
    for (int c = 0; c < components; c++) {
        min[c] = 1e30f;
        max[c] = -1e30f;
    }
    for (int32_t i = 0; i < n; i++, src += stride) {
        for (int c = 0; c < components; c++) {
            if (min[c] > src[c])
                min[c] = src[c];
            if (max[c] < src[c])
                max[c] = src[c];
        }
    }
}

}  // namespace

void CGeSimdGeneric::MinMaxVec3(float* min, float* max, const float* src, int32_t n) const
{
    MinMaxComponents(min, max, src, n, 3, 4);
}

void CGeSimdGeneric::MinMaxVec2(float* min, float* max, const float* src, int32_t n) const
{
    MinMaxComponents(min, max, src, n, 2, 2);
}

void CGeSimdGeneric::MinMax(float* min, float* max, const float* src, int32_t n) const
{
    MinMaxComponents(min, max, src, n, 1, 1);
}

void CGeSimdGeneric::ClampRange(float* dst, const float* src, float lo, float hi, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = src[i] < lo ? lo : (src[i] > hi ? hi : src[i]);
}

void CGeSimdGeneric::ClampMin(float* dst, const float* src, float lo, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = src[i] < lo ? lo : src[i];
}

void CGeSimdGeneric::ClampMax(float* dst, const float* src, float hi, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = src[i] > hi ? hi : src[i];
}

// ---------------------------------------------------------------------------
// Memory

void CGeSimdGeneric::Memcpy(void* dst, const void* src, size_t bytes) const
{
    if (bytes > 0)
        memcpy(dst, src, bytes);
}

void CGeSimdGeneric::Memset(void* dst, int32_t value, size_t bytes) const
{
    if (bytes > 0)
        memset(dst, value & 0xFF, bytes);
}

// ---------------------------------------------------------------------------
// Aligned float arrays (the generic code touches exactly n elements)

void CGeSimdGeneric::ZeroAligned(float* dst, int32_t n) const
{
    if (n > 0)
        memset(dst, 0, static_cast<size_t>(n) * sizeof(float));
}

void CGeSimdGeneric::NegateAligned(float* dst, int32_t n) const
{
    for (int32_t i = 0; i < n; i++) {
        uint32_t bits;
        memcpy(&bits, &dst[i], sizeof bits);
        bits ^= 0x80000000u;
        memcpy(&dst[i], &bits, sizeof bits);
    }
}

void CGeSimdGeneric::CopyAligned(float* dst, const float* src, int32_t n) const
{
    if (n > 0)
        memcpy(dst, src, static_cast<size_t>(n) * sizeof(float));
}

void CGeSimdGeneric::AddAligned(float* dst, const float* a, const float* b, int32_t n) const
{
    Add(dst, a, b, n);
}

void CGeSimdGeneric::SubAligned(float* dst, const float* a, const float* b, int32_t n) const
{
    Sub(dst, a, b, n);
}

void CGeSimdGeneric::MulConstAligned(float* dst, const float* src, float c, int32_t n) const
{
    MulConst(dst, c, src, n);
}

void CGeSimdGeneric::AddAssignAligned(float* dst, const float* src, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = dst[i] + src[i];
}

void CGeSimdGeneric::SubAssignAligned(float* dst, const float* src, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = dst[i] - src[i];
}

void CGeSimdGeneric::MulAssignAligned(float* dst, float c, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = dst[i] * c;
}

// ---------------------------------------------------------------------------
// Joint poses

void CGeSimdGeneric::TransformRecords(JointMatrix* dst, const JointPose* src, uint32_t count) const
{
    for (uint32_t i = 0; i < count; i++) {
        const float* q = src[i].rotation;
        const Matrix4 rotation = QuatToMatrix(Quat{q[0], q[1], q[2], q[3]});
        memcpy(dst[i].m, rotation.m, sizeof dst[i].m);
        dst[i].m[3] += src[i].position[0];
        dst[i].m[7] += src[i].position[1];
        dst[i].m[11] += src[i].position[2];
        dst[i].parent = src[i].parent;
    }
}

// ---------------------------------------------------------------------------
// Sound samples

void CGeSimdGeneric::ConvertInt16ToFloat(float* dst, const int16_t* src, int32_t n, int32_t rate,
                                         int32_t channels) const
{
    const int repeats = RepeatsForRate(rate);
    if (repeats == 0 || n <= 0)
        return;
    Int16ToFloatRepeated(dst, src, n, repeats, channels != 1);
}

void CGeSimdGeneric::ConvertFloatTo44k(float* dst, const float* const* channelTable, int32_t n,
                                       int32_t rate, int32_t channels) const
{
    const int repeats = RepeatsForRate(rate);
    if (repeats == 0 || n <= 0)
        return;
    if (channels == 1)
        FloatTo44kRepeated(dst, channelTable[0], nullptr, n, repeats, false);
    else
        FloatTo44kRepeated(dst, channelTable[0], channelTable[1], n / 2, repeats, true);
}

namespace {

// Mixes kMixFrames frames: output channel c of frame k gains the source channel
// sourceOf[c] times a volume that starts at start[c] and grows by one step per frame.
void MixRamped(float* mix, const float* src, int srcChannels, int outChannels, const int* sourceOf,
               const float* start, const float* end)
{
    float volume[6], step[6];
    for (int c = 0; c < outChannels; c++) {
        step[c] = (end[c] - start[c]) * (1.0f / kMixFrames);
        volume[c] = start[c];
    }
    for (int32_t k = 0; k < kMixFrames; k++, mix += outChannels, src += srcChannels) {
        for (int c = 0; c < outChannels; c++) {
            mix[c] += src[sourceOf[c]] * volume[c];
            volume[c] += step[c];
        }
    }
}

const int kMonoToAny[6] = {0, 0, 0, 0, 0, 0};
const int kStereoToStereo[2] = {0, 1};
const int kStereoToSix[6] = {0, 1, 0, 0, 0, 1};

}  // namespace

void CGeSimdGeneric::MixMonoToStereo(float* mix, const float* src, int32_t, const float* startVolumes,
                                     const float* endVolumes) const
{
    MixRamped(mix, src, 1, 2, kMonoToAny, startVolumes, endVolumes);
}

void CGeSimdGeneric::MixStereoToStereo(float* mix, const float* src, int32_t, const float* startVolumes,
                                       const float* endVolumes) const
{
    MixRamped(mix, src, 2, 2, kStereoToStereo, startVolumes, endVolumes);
}

void CGeSimdGeneric::MixMonoToSix(float* mix, const float* src, int32_t, const float* startVolumes,
                                  const float* endVolumes) const
{
    MixRamped(mix, src, 1, 6, kMonoToAny, startVolumes, endVolumes);
}

void CGeSimdGeneric::MixStereoToSix(float* mix, const float* src, int32_t, const float* startVolumes,
                                    const float* endVolumes) const
{
    MixRamped(mix, src, 2, 6, kStereoToSix, startVolumes, endVolumes);
}

void CGeSimdGeneric::MixToInt16(int16_t* dst, const float* src, int32_t n) const
{
    for (int32_t i = 0; i < n; i++) {
        const float x = src[i];
        if (x <= -32768.0f)
            dst[i] = -32768;
        else if (x >= 32767.0f)
            dst[i] = 32767;
        else if (x == x)
            dst[i] = static_cast<int16_t>(x);   // truncated toward zero
        else
            dst[i] = 0;   // NaN has no integer value
    }
}

// ---------------------------------------------------------------------------
// Pixels

void CGeSimdGeneric::Expand565To32(uint32_t* dst, const void* block) const
{
    const uint8_t* bytes = static_cast<const uint8_t*>(block);
    uint32_t byteCount;
    memcpy(&byteCount, bytes, sizeof byteCount);
    const uint8_t* pixels = bytes + 16;
    for (uint32_t i = 0; i < byteCount / 2; i++) {
        const uint32_t p = pixels[2 * i] | static_cast<uint32_t>(pixels[2 * i + 1]) << 8;
        const uint32_t red = (p >> 11) & 0x1F, green = (p >> 5) & 0x3F, blue = p & 0x1F;
        dst[i] = (red * 8) << 16 | (green * 4) << 8 | blue * 8;
    }
}

void CGeSimdGeneric::SetAlpha(uint32_t* dst, const uint8_t* alpha, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = WithAlpha(dst[i], alpha[i]);
}

void CGeSimdGeneric::ExpandRgb24To32(uint32_t* dst, const uint8_t* src, int32_t n) const
{
    for (int32_t i = 0; i < n; i++)
        dst[i] = Rgb24ToPixel(src + 3 * i);
}

namespace {

// v = sample * 32767.0 formed in double (so no float rounding moves it across an
// integer), truncated toward zero, limited to 16 bits; NaN gives 0.
int16_t SampleToInt16(float sample)
{
    const double v = static_cast<double>(sample) * 32767.0;
    if (v <= -32768.0)
        return -32768;
    if (v >= 32767.0)
        return 32767;
    return v == v ? static_cast<int16_t>(v) : 0;
}

#if defined(__SSE2__)
// The same for four samples: NaN lanes cleared, limited, truncated.
inline __m128i FourSamplesToInt32(const float* p)
{
    const __m128 f = _mm_loadu_ps(p);
    const __m128d scale = _mm_set1_pd(32767.0), lo = _mm_set1_pd(-32768.0), hi = _mm_set1_pd(32767.0);
    __m128d low = _mm_mul_pd(_mm_cvtps_pd(f), scale);
    __m128d high = _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(f, f)), scale);
    low = _mm_min_pd(_mm_max_pd(_mm_and_pd(low, _mm_cmpord_pd(low, low)), lo), hi);
    high = _mm_min_pd(_mm_max_pd(_mm_and_pd(high, _mm_cmpord_pd(high, high)), lo), hi);
    return _mm_unpacklo_epi64(_mm_cvttpd_epi32(low), _mm_cvttpd_epi32(high));
}
#endif

}  // namespace

// One body for every class. Vorbis output is mono or stereo almost always; those two
// layouts take the SSE2 path where there is one, with the same bits as the C loop.
void CGeSimdGeneric::ConvertFloatToInt16Interleaved(int16_t* dst, const float* const* channelTable,
                                                    uint32_t samples, uint32_t channels) const
{
    uint32_t done = 0;
#if defined(__SSE2__)
    if (channels == 1) {
        const float* src = channelTable[0];
        for (; done + 8 <= samples; done += 8) {
            const __m128i low = FourSamplesToInt32(src + done), high = FourSamplesToInt32(src + done + 4);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + done), _mm_packs_epi32(low, high));
        }
    } else if (channels == 2) {
        const float* left = channelTable[0];
        const float* right = channelTable[1];
        for (; done + 4 <= samples; done += 4) {
            const __m128i l = FourSamplesToInt32(left + done), r = FourSamplesToInt32(right + done);
            const __m128i packed = _mm_packs_epi32(_mm_unpacklo_epi32(l, r), _mm_unpackhi_epi32(l, r));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + 2 * done), packed);
        }
    }
#endif
    for (uint32_t c = 0; c < channels; c++) {
        const float* src = channelTable[c];
        for (uint32_t i = done; i < samples; i++)
            dst[static_cast<size_t>(i) * channels + c] = SampleToInt16(src[i]);
    }
}

namespace {

// One row of the full-range colour tables: entry x = floor((start + x * step) / 65536).
void BuildYuvTable(int16_t* table, int32_t start, int32_t step)
{
    for (int32_t x = 0; x < 256; x++) {
        const int32_t value = start + x * step;
        const int32_t floored = value >= 0 ? value / 65536 : -((-value + 65535) / 65536);
        table[x] = static_cast<int16_t>(floored);
    }
}

uint32_t ClampColor(int32_t value)
{
    return value < 0 ? 0u : (value > 255 ? 255u : static_cast<uint32_t>(value));
}

}  // namespace

// Full-range conversion through four tables built in this call's frame. Exactly width
// pixels are written per row, so an odd width never touches the pixel after the row.
void CGeSimdGeneric::ConvertYUVToRGB(const uint8_t* y, int32_t yStride, const uint8_t* u, const uint8_t* v,
                                     int32_t chromaStride, uint8_t* dst, int32_t dstPitch, int32_t width,
                                     int32_t height, uint8_t) const
{
    int16_t redFromV[256], greenFromU[256], greenFromV[256], blueFromU[256];
    BuildYuvTable(redFromV, -11728060, 91881);
    BuildYuvTable(greenFromU, -2854056, 22553);
    BuildYuvTable(greenFromV, -5966387, 46868);
    BuildYuvTable(blueFromU, -14831845, 116129);

    for (int32_t row = 0; row < height; row++) {
        const uint8_t* yRow = y + static_cast<ptrdiff_t>(row) * yStride;
        const uint8_t* uRow = u + static_cast<ptrdiff_t>(row / 2) * chromaStride;
        const uint8_t* vRow = v + static_cast<ptrdiff_t>(row / 2) * chromaStride;
        uint8_t* out = dst + static_cast<ptrdiff_t>(row) * dstPitch;
        for (int32_t x = 0; x < width; x++) {
            const int32_t luma = yRow[x];
            const uint8_t cu = uRow[x / 2], cv = vRow[x / 2];
            const uint32_t pixel = ClampColor(luma + redFromV[cv]) << 16 |
                                   ClampColor(luma - greenFromU[cu] - greenFromV[cv]) << 8 |
                                   ClampColor(luma + blueFromU[cu]);
            memcpy(out + 4 * x, &pixel, sizeof pixel);
        }
    }
}
