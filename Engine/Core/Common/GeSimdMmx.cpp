// The MMX family's pixel kernels: alpha insertion, 24-bit expansion and the studio-range
// YUV conversion, written with SSE2 and 64-bit integer code so that they run on every
// x86-64 processor. The SSE levels inherit them.
#include "Engine/Core/Common/GeSimdKernels.h"

#if GE_SIMD_X86

#include "Engine/Core/Common/GeSimdScalar.h"

#include <cstring>
#include <emmintrin.h>

using namespace gesimd;

const char* CGeSimdMMX::GetName() const
{
    return "MMX";
}

const char* CGeSimdMMX_EMMX::GetName() const
{
    return "MMX+EMMX";
}

const char* CGeSimdMMX_3DNow::GetName() const
{
    return "MMX+3DNow";
}

const char* CGeSimdMMX_3DNow2::GetName() const
{
    return "MMX+3DNow+3DNow2";
}

// ---------------------------------------------------------------------------
// Alpha insertion and 24-bit expansion: eight pixels per step when there are more than
// 16 and both pointers are 8-byte aligned, then the rest.

namespace {

bool UseEightPixelSteps(const void* dst, const void* src, int32_t n)
{
    return n > 16 && IsAligned(dst, 8) && IsAligned(src, 8);
}

// Eight 3-byte pixels (24 bytes, read as three words) to eight 32-bit pixels.
inline void ExpandEightRgb24(uint32_t* dst, const uint8_t* src)
{
    uint64_t w[3];
    memcpy(w, src, sizeof w);
    const uint64_t kMask = 0xFFFFFF;
    const uint64_t p0 = w[0] & kMask;
    const uint64_t p1 = (w[0] >> 24) & kMask;
    const uint64_t p2 = ((w[0] >> 48) | (w[1] << 16)) & kMask;
    const uint64_t p3 = (w[1] >> 8) & kMask;
    const uint64_t p4 = (w[1] >> 32) & kMask;
    const uint64_t p5 = ((w[1] >> 56) | (w[2] << 8)) & kMask;
    const uint64_t p6 = (w[2] >> 16) & kMask;
    const uint64_t p7 = w[2] >> 40;
    const uint64_t out[4] = {p0 | p1 << 32, p2 | p3 << 32, p4 | p5 << 32, p6 | p7 << 32};
    memcpy(dst, out, sizeof out);
}

template <bool kPrefetch>
void ExpandRgb24(uint32_t* dst, const uint8_t* src, int32_t n)
{
    int32_t i = 0;
    if (UseEightPixelSteps(dst, src, n)) {
        for (; i + 8 <= n; i += 8) {
            if (kPrefetch)
                _mm_prefetch(reinterpret_cast<const char*>(src + 3 * i) + 192, _MM_HINT_NTA);
            ExpandEightRgb24(dst + i, src + 3 * i);
        }
    }
    for (; i + 2 <= n; i += 2) {
        dst[i] = Rgb24ToPixel(src + 3 * i);
        dst[i + 1] = Rgb24ToPixel(src + 3 * i + 3);
    }
    if (i < n)
        dst[i] = Rgb24ToPixel(src + 3 * i);
}

}  // namespace

void CGeSimdMMX::SetAlpha(uint32_t* dst, const uint8_t* alpha, int32_t n) const
{
    int32_t i = 0;
    if (UseEightPixelSteps(dst, alpha, n)) {
        const __m128i zero = _mm_setzero_si128();
        const __m128i colorMask = _mm_set1_epi32(0x00FFFFFF);
        for (; i + 8 <= n; i += 8) {
            const __m128i a8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(alpha + i));
            const __m128i a16 = _mm_unpacklo_epi8(zero, a8);   // alpha in the high byte of 16 bits
            const __m128i lowAlpha = _mm_unpacklo_epi16(zero, a16);
            const __m128i highAlpha = _mm_unpackhi_epi16(zero, a16);
            __m128i* out = reinterpret_cast<__m128i*>(dst + i);
            const __m128i p0 = _mm_and_si128(_mm_loadu_si128(out), colorMask);
            const __m128i p1 = _mm_and_si128(_mm_loadu_si128(out + 1), colorMask);
            _mm_storeu_si128(out, _mm_or_si128(p0, lowAlpha));
            _mm_storeu_si128(out + 1, _mm_or_si128(p1, highAlpha));
        }
    }
    for (; i < n; i++)
        dst[i] = WithAlpha(dst[i], alpha[i]);
}

void CGeSimdMMX::ExpandRgb24To32(uint32_t* dst, const uint8_t* src, int32_t n) const
{
    ExpandRgb24<false>(dst, src, n);
}

void CGeSimdMMX_EMMX::ExpandRgb24To32Prefetched(uint32_t* dst, const uint8_t* src, int32_t n) const
{
    ExpandRgb24<true>(dst, src, n);
}

// ---------------------------------------------------------------------------
// Studio-range YUV conversion (BT.601 with 6-bit coefficients) in 16-bit lanes:
//   y' = (y - 16) * 74, u' = u - 128, v' = v - 128
//   blue  = (y' + 129 u') >> 6
//   green = (y' - 25 u' - 52 v' + 32) >> 6
//   red   = (y' + 102 v' + 32) >> 6
// with saturating adds and each colour saturated to 0..255 when packed.

namespace {

struct Bgr16 {
    __m128i blue, green, red;
};

// Eight pixels: luma, and chroma already doubled so that lane i holds pixel i's u and v.
inline Bgr16 StudioColors(__m128i luma, __m128i chromaU, __m128i chromaV)
{
    const __m128i yScaled = _mm_mullo_epi16(_mm_sub_epi16(luma, _mm_set1_epi16(16)), _mm_set1_epi16(74));
    const __m128i uc = _mm_sub_epi16(chromaU, _mm_set1_epi16(128));
    const __m128i vc = _mm_sub_epi16(chromaV, _mm_set1_epi16(128));
    const __m128i round = _mm_set1_epi16(32);
    Bgr16 c;
    c.blue = _mm_srai_epi16(_mm_adds_epi16(yScaled, _mm_mullo_epi16(uc, _mm_set1_epi16(129))), 6);
    __m128i g = _mm_subs_epi16(yScaled, _mm_mullo_epi16(uc, _mm_set1_epi16(25)));
    g = _mm_subs_epi16(g, _mm_mullo_epi16(vc, _mm_set1_epi16(52)));
    c.green = _mm_srai_epi16(_mm_adds_epi16(g, round), 6);
    const __m128i r = _mm_adds_epi16(yScaled, _mm_mullo_epi16(vc, _mm_set1_epi16(102)));
    c.red = _mm_srai_epi16(_mm_adds_epi16(r, round), 6);
    return c;
}

template <bool kStream>
inline void StorePixels(uint8_t* dst, __m128i pixels)
{
    if (kStream)
        _mm_stream_si128(reinterpret_cast<__m128i*>(dst), pixels);
    else
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), pixels);
}

// Packs the colours of 16 pixels (two halves of eight) to bytes and stores them as
// 32-bit pixels with byte 3 zero; `pixels` is 8 or 16.
template <bool kStream>
inline void StoreBgr(uint8_t* dst, const Bgr16& low, const Bgr16& high, int pixels)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i blue = _mm_packus_epi16(low.blue, high.blue);
    const __m128i green = _mm_packus_epi16(low.green, high.green);
    const __m128i red = _mm_packus_epi16(low.red, high.red);
    const __m128i bgLow = _mm_unpacklo_epi8(blue, green);
    const __m128i r0Low = _mm_unpacklo_epi8(red, zero);
    StorePixels<kStream>(dst, _mm_unpacklo_epi16(bgLow, r0Low));
    StorePixels<kStream>(dst + 16, _mm_unpackhi_epi16(bgLow, r0Low));
    if (pixels == 16) {
        const __m128i bgHigh = _mm_unpackhi_epi8(blue, green);
        const __m128i r0High = _mm_unpackhi_epi8(red, zero);
        StorePixels<kStream>(dst + 32, _mm_unpacklo_epi16(bgHigh, r0High));
        StorePixels<kStream>(dst + 48, _mm_unpackhi_epi16(bgHigh, r0High));
    }
}

inline __m128i LoadChroma4(const uint8_t* p)
{
    int32_t word;
    memcpy(&word, p, sizeof word);
    return _mm_cvtsi32_si128(word);
}

// One row whose width is a multiple of 8: sixteen pixels per step, then eight.
template <bool kStream>
void StudioRow(const uint8_t* y, const uint8_t* u, const uint8_t* v, uint8_t* dst, int32_t width)
{
    const __m128i zero = _mm_setzero_si128();
    int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
        const __m128i luma = _mm_loadu_si128(reinterpret_cast<const __m128i*>(y + x));
        const __m128i u8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(u + x / 2));
        const __m128i v8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(v + x / 2));
        const __m128i uu = _mm_unpacklo_epi8(u8, u8);
        const __m128i vv = _mm_unpacklo_epi8(v8, v8);
        const Bgr16 low = StudioColors(_mm_unpacklo_epi8(luma, zero), _mm_unpacklo_epi8(uu, zero),
                                       _mm_unpacklo_epi8(vv, zero));
        const Bgr16 high = StudioColors(_mm_unpackhi_epi8(luma, zero), _mm_unpackhi_epi8(uu, zero),
                                        _mm_unpackhi_epi8(vv, zero));
        StoreBgr<kStream>(dst + 4 * x, low, high, 16);
    }
    if (x < width) {
        const __m128i luma = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(y + x));
        const __m128i u4 = LoadChroma4(u + x / 2);
        const __m128i v4 = LoadChroma4(v + x / 2);
        const Bgr16 low = StudioColors(_mm_unpacklo_epi8(luma, zero),
                                       _mm_unpacklo_epi8(_mm_unpacklo_epi8(u4, u4), zero),
                                       _mm_unpacklo_epi8(_mm_unpacklo_epi8(v4, v4), zero));
        StoreBgr<kStream>(dst + 4 * x, low, low, 8);
    }
}

bool UseStudioConversion(const uint8_t* y, const uint8_t* u, const uint8_t* v, const uint8_t* dst,
                         int32_t width, uint8_t forceGeneric)
{
    return forceGeneric == 0 && IsAligned(y, 8) && IsAligned(u, 8) && IsAligned(v, 8) &&
           IsAligned(dst, 8) && width % 8 == 0;
}

template <bool kStream>
void StudioFrame(const uint8_t* y, int32_t yStride, const uint8_t* u, const uint8_t* v, int32_t chromaStride,
                 uint8_t* dst, int32_t dstPitch, int32_t width, int32_t height)
{
    for (int32_t row = 0; row < height; row++) {
        const ptrdiff_t chromaOffset = static_cast<ptrdiff_t>(row / 2) * chromaStride;
        StudioRow<kStream>(y + static_cast<ptrdiff_t>(row) * yStride, u + chromaOffset, v + chromaOffset,
                           dst + static_cast<ptrdiff_t>(row) * dstPitch, width);
    }
    if (kStream)
        _mm_sfence();
}

}  // namespace

void CGeSimdMMX::ConvertYUVToRGB(const uint8_t* y, int32_t yStride, const uint8_t* u, const uint8_t* v,
                                 int32_t chromaStride, uint8_t* dst, int32_t dstPitch, int32_t width,
                                 int32_t height, uint8_t forceGeneric) const
{
    if (!UseStudioConversion(y, u, v, dst, width, forceGeneric)) {
        CGeSimdGeneric::ConvertYUVToRGB(y, yStride, u, v, chromaStride, dst, dstPitch, width, height,
                                        forceGeneric);
        return;
    }
    StudioFrame<false>(y, yStride, u, v, chromaStride, dst, dstPitch, width, height);
}

// As the MMX conversion, with stores that bypass the cache where every row of the
// destination starts on a 16-byte boundary.
void CGeSimdMMX_EMMX::ConvertYUVToRGB(const uint8_t* y, int32_t yStride, const uint8_t* u, const uint8_t* v,
                                      int32_t chromaStride, uint8_t* dst, int32_t dstPitch, int32_t width,
                                      int32_t height, uint8_t forceGeneric) const
{
    if (!UseStudioConversion(y, u, v, dst, width, forceGeneric)) {
        CGeSimdGeneric::ConvertYUVToRGB(y, yStride, u, v, chromaStride, dst, dstPitch, width, height,
                                        forceGeneric);
        return;
    }
    if (IsAligned(dst, 16) && dstPitch % 16 == 0)
        StudioFrame<true>(y, yStride, u, v, chromaStride, dst, dstPitch, width, height);
    else
        StudioFrame<false>(y, yStride, u, v, chromaStride, dst, dstPitch, width, height);
}

#endif  // GE_SIMD_X86
