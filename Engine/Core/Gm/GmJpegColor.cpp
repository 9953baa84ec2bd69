#include "Engine/Core/Gm/GmJpegColor.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void JpegBuildColorTables(GmJpegColorTables* tables)
{
    for (int c = 0; c < 256; c++) {
        int x = c - 128;
        tables->crToRed[c] = (91882 * x + 32768) >> 16;
        tables->cbToBlue[c] = (116130 * x + 32768) >> 16;
        tables->crToGreen[c] = -46802 * x;
        tables->cbToGreen[c] = -22554 * x + 32768;
    }
}

namespace {

inline uint8_t ClampToByte(int value)
{
    return (uint8_t)(value < 0 ? 0 : value > 255 ? 255 : value);
}

} // namespace

void JpegConvertRowWithTables(const GmJpegColorTables& tables, const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                              int width, int chromaShift, uint8_t* out)
{
    for (int x = 0; x < width; x++, out += 4) {
        int luma = y[x];
        int blue = cb[x >> chromaShift];
        int red = cr[x >> chromaShift];
        out[0] = ClampToByte(luma + tables.crToRed[red]);
        out[1] = ClampToByte(luma + ((tables.cbToGreen[blue] + tables.crToGreen[red]) >> 16));
        out[2] = ClampToByte(luma + tables.cbToBlue[blue]);
    }
}

#if defined(__SSE2__)

namespace {

// (c * x + 32768) >> 16 for a 16-bit constant c, exactly: the high half of
// the product plus the carry that the rounding term makes out of the low half.
inline __m128i MulRound16(__m128i x, int16_t c)
{
    __m128i factor = _mm_set1_epi16(c);
    __m128i low = _mm_mullo_epi16(x, factor);
    return _mm_add_epi16(_mm_mulhi_epi16(x, factor), _mm_srli_epi16(low, 15));
}

inline __m128i LoadChroma(const uint8_t* row, int x, int chromaShift)
{
    if (chromaShift) {
        int32_t samples;
        memcpy(&samples, row + (x >> 1), sizeof(samples));
        __m128i four = _mm_cvtsi32_si128(samples);
        return _mm_unpacklo_epi8(four, four); // each sample twice
    }
    return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(row + x));
}

} // namespace

// The table arithmetic in 16-bit lanes; the constants that do not fit 16 bits
// are split into whole multiples of 65536 and a remainder:
//   91882 x = 65536 x + 26346 x
//   116130 x = 131072 x - 14942 x
//   -46802 x = -65536 x + 18734 x
void JpegConvertRow(const GmJpegColorTables&, const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                    int width, int chromaShift, uint8_t* out)
{
    const __m128i zero = _mm_setzero_si128();
    const __m128i center = _mm_set1_epi16(128);
    const __m128i greenFactors = _mm_set_epi16(18734, -22554, 18734, -22554, 18734, -22554, 18734, -22554);
    const __m128i half = _mm_set1_epi32(32768);
    for (int x = 0; x < width; x += 8, out += 32) {
        __m128i luma = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(y + x)), zero);
        __m128i xb = _mm_sub_epi16(_mm_unpacklo_epi8(LoadChroma(cb, x, chromaShift), zero), center);
        __m128i xr = _mm_sub_epi16(_mm_unpacklo_epi8(LoadChroma(cr, x, chromaShift), zero), center);

        __m128i red = _mm_add_epi16(_mm_add_epi16(luma, xr), MulRound16(xr, 26346));
        __m128i blue = _mm_add_epi16(_mm_add_epi16(luma, _mm_add_epi16(xb, xb)), MulRound16(xb, -14942));
        __m128i greenLow = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpacklo_epi16(xb, xr), greenFactors), half), 16);
        __m128i greenHigh = _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(_mm_unpackhi_epi16(xb, xr), greenFactors), half), 16);
        __m128i green = _mm_add_epi16(_mm_sub_epi16(luma, xr), _mm_packs_epi32(greenLow, greenHigh));

        // Clamp to bytes and interleave R, G, B, 0.
        __m128i r8 = _mm_packus_epi16(red, red);
        __m128i g8 = _mm_packus_epi16(green, green);
        __m128i b8 = _mm_packus_epi16(blue, blue);
        __m128i rg = _mm_unpacklo_epi8(r8, g8);
        __m128i b0 = _mm_unpacklo_epi8(b8, zero);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm_unpacklo_epi16(rg, b0));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 16), _mm_unpackhi_epi16(rg, b0));
    }
}

#else

void JpegConvertRow(const GmJpegColorTables& tables, const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                    int width, int chromaShift, uint8_t* out)
{
    JpegConvertRowWithTables(tables, y, cb, cr, width, chromaShift, out);
}

#endif
