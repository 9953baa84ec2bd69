#include "Engine/Core/Gm/GmJpegIdct.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

const uint8_t kJpegNaturalOrder[64] = {
     0,  1,  8, 16,  9,  2,  3, 10,
    17, 24, 32, 25, 18, 11,  4,  5,
    12, 19, 26, 33, 40, 48, 41, 34,
    27, 20, 13,  6,  7, 14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36,
    29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46,
    53, 60, 61, 54, 47, 55, 62, 63,
};

namespace {

// ---------------------------------------------------------------------------
// Integer IDCT. Constants are cosine terms in units of 1/8192; the first pass
// keeps 2 extra bits. Products are 64-bit so that no coefficient the entropy
// decoder can produce overflows, however corrupt the stream.

const int kConstBits = 13;
const int kPass1Bits = 2;

const int64_t kFix0_298631336 = 2446;
const int64_t kFix0_390180644 = 3196;
const int64_t kFix0_541196100 = 4433;
const int64_t kFix0_765366865 = 6270;
const int64_t kFix0_899976223 = 7373;
const int64_t kFix1_175875602 = 9633;
const int64_t kFix1_501321110 = 12299;
const int64_t kFix1_847759065 = 15137;
const int64_t kFix1_961570560 = 16069;
const int64_t kFix2_053119869 = 16819;
const int64_t kFix2_562915447 = 20995;
const int64_t kFix3_072711026 = 25172;

// One 8-point IDCT; the results are scaled up by 2^13.
inline void Idct8(const int64_t* s, int stride, int64_t* out)
{
    // Even part: the rotation of inputs 2 and 6, then 0 and 4.
    int64_t z2 = s[2 * stride];
    int64_t z3 = s[6 * stride];
    int64_t z1 = (z2 + z3) * kFix0_541196100;
    int64_t tmp2 = z1 - z3 * kFix1_847759065;
    int64_t tmp3 = z1 + z2 * kFix0_765366865;
    int64_t tmp0 = (s[0] + s[4 * stride]) * (1 << kConstBits);
    int64_t tmp1 = (s[0] - s[4 * stride]) * (1 << kConstBits);
    int64_t tmp10 = tmp0 + tmp3;
    int64_t tmp13 = tmp0 - tmp3;
    int64_t tmp11 = tmp1 + tmp2;
    int64_t tmp12 = tmp1 - tmp2;

    // Odd part: inputs 7, 5, 3, 1.
    int64_t t0 = s[7 * stride];
    int64_t t1 = s[5 * stride];
    int64_t t2 = s[3 * stride];
    int64_t t3 = s[1 * stride];
    z1 = t0 + t3;
    z2 = t1 + t2;
    z3 = t0 + t2;
    int64_t z4 = t1 + t3;
    int64_t z5 = (z3 + z4) * kFix1_175875602;
    t0 *= kFix0_298631336;
    t1 *= kFix2_053119869;
    t2 *= kFix3_072711026;
    t3 *= kFix1_501321110;
    z1 *= -kFix0_899976223;
    z2 *= -kFix2_562915447;
    z3 = z3 * -kFix1_961570560 + z5;
    z4 = z4 * -kFix0_390180644 + z5;
    t0 += z1 + z3;
    t1 += z2 + z4;
    t2 += z2 + z3;
    t3 += z1 + z4;

    out[0] = tmp10 + t3;
    out[7] = tmp10 - t3;
    out[1] = tmp11 + t2;
    out[6] = tmp11 - t2;
    out[2] = tmp12 + t1;
    out[5] = tmp12 - t1;
    out[3] = tmp13 + t0;
    out[4] = tmp13 - t0;
}

inline uint8_t ClampSample(int64_t value)
{
    value += 128;
    return (uint8_t)(value < 0 ? 0 : value > 255 ? 255 : value);
}

} // namespace

void JpegIdctIntegerScalar(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, int pitch)
{
    int64_t dequantised[64];
    for (int i = 0; i < 64; i++)
        dequantised[i] = (int64_t)coefficients[i] * quant[i];

    // Pass 1: columns. A column without AC terms is its DC term everywhere.
    int64_t work[64];
    for (int column = 0; column < 8; column++) {
        const int64_t* in = dequantised + column;
        if (!(in[8] | in[16] | in[24] | in[32] | in[40] | in[48] | in[56])) {
            int64_t dc = in[0] * (1 << kPass1Bits);
            for (int row = 0; row < 8; row++)
                work[row * 8 + column] = dc;
            continue;
        }
        int64_t result[8];
        Idct8(in, 8, result);
        for (int row = 0; row < 8; row++)
            work[row * 8 + column] = (result[row] + (1 << (kConstBits - kPass1Bits - 1))) >> (kConstBits - kPass1Bits);
    }

    // Pass 2: rows, then the level shift.
    const int shift = kConstBits + kPass1Bits + 3;
    for (int row = 0; row < 8; row++, out += pitch) {
        const int64_t* in = work + row * 8;
        if (!(in[1] | in[2] | in[3] | in[4] | in[5] | in[6] | in[7])) {
            uint8_t sample = ClampSample((in[0] + (1 << (kPass1Bits + 2))) >> (kPass1Bits + 3));
            for (int x = 0; x < 8; x++)
                out[x] = sample;
            continue;
        }
        int64_t result[8];
        Idct8(in, 1, result);
        for (int x = 0; x < 8; x++)
            out[x] = ClampSample((result[x] + ((int64_t)1 << (shift - 1))) >> shift);
    }
}

// ---------------------------------------------------------------------------
// The integer IDCT in SSE2: the same products summed exactly in 32-bit lanes
// (pmaddwd on pairs of inputs), so it gives the scalar version's samples for
// every block whose dequantised coefficients and first-pass results fit 16
// bits, which is every block of a stream a real encoder wrote. Blocks whose
// coefficients do not fit take the scalar version.

#if defined(__SSE2__)

namespace {

inline void Transpose8x8(__m128i* r)
{
    __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]);
    __m128i a1 = _mm_unpackhi_epi16(r[0], r[1]);
    __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]);
    __m128i a3 = _mm_unpackhi_epi16(r[2], r[3]);
    __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]);
    __m128i a5 = _mm_unpackhi_epi16(r[4], r[5]);
    __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]);
    __m128i a7 = _mm_unpackhi_epi16(r[6], r[7]);
    __m128i b0 = _mm_unpacklo_epi32(a0, a2);
    __m128i b1 = _mm_unpackhi_epi32(a0, a2);
    __m128i b2 = _mm_unpacklo_epi32(a1, a3);
    __m128i b3 = _mm_unpackhi_epi32(a1, a3);
    __m128i b4 = _mm_unpacklo_epi32(a4, a6);
    __m128i b5 = _mm_unpackhi_epi32(a4, a6);
    __m128i b6 = _mm_unpacklo_epi32(a5, a7);
    __m128i b7 = _mm_unpackhi_epi32(a5, a7);
    r[0] = _mm_unpacklo_epi64(b0, b4);
    r[1] = _mm_unpackhi_epi64(b0, b4);
    r[2] = _mm_unpacklo_epi64(b1, b5);
    r[3] = _mm_unpackhi_epi64(b1, b5);
    r[4] = _mm_unpacklo_epi64(b2, b6);
    r[5] = _mm_unpackhi_epi64(b2, b6);
    r[6] = _mm_unpacklo_epi64(b3, b7);
    r[7] = _mm_unpackhi_epi64(b3, b7);
}

// True when every AC coefficient of the block is zero, as in most blocks
// of smooth areas and of chroma.
inline bool HasOnlyDc(const int16_t* coefficients)
{
    const __m128i* rows = reinterpret_cast<const __m128i*>(coefficients);
    __m128i any = _mm_and_si128(_mm_loadu_si128(rows), _mm_set_epi16(-1, -1, -1, -1, -1, -1, -1, 0));
    for (int row = 1; row < 8; row++)
        any = _mm_or_si128(any, _mm_loadu_si128(rows + row));
    return _mm_movemask_epi8(_mm_cmpeq_epi8(any, _mm_setzero_si128())) == 0xFFFF;
}

inline void FillBlock(uint8_t sample, uint8_t* out, int pitch)
{
    __m128i row = _mm_set1_epi8((char)sample);
    for (int y = 0; y < 8; y++, out += pitch)
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out), row);
}

// Products of the pairs (a, b) in pair: a * first + b * second.
inline __m128i Madd(__m128i pair, int16_t first, int16_t second)
{
    return _mm_madd_epi16(pair, _mm_set_epi16(second, first, second, first, second, first, second, first));
}

// One 8-point integer IDCT on eight 16-bit lanes: results descaled by Shift
// bits with rounding, plus bias, saturated to 16 bits. The constants are the
// scalar version's, combined where two products share an input.
template <int Shift>
inline void Llm8(const __m128i* v, __m128i* out, int bias)
{
    const __m128i rounding = _mm_set1_epi32((1 << (Shift - 1)) + (bias << Shift));
    __m128i z3 = _mm_add_epi16(v[7], v[3]);
    __m128i z4 = _mm_add_epi16(v[5], v[1]);
    __m128i halves[2][8];
    for (int half = 0; half < 2; half++) {
        auto pair = [half](__m128i a, __m128i b) { return half ? _mm_unpackhi_epi16(a, b) : _mm_unpacklo_epi16(a, b); };
        // Even part.
        __m128i p26 = pair(v[2], v[6]);
        __m128i p04 = pair(v[0], v[4]);
        __m128i tmp3 = Madd(p26, 4433 + 6270, 4433);   // z2 (0.541 + 0.765) + z3 0.541
        __m128i tmp2 = Madd(p26, 4433, 4433 - 15137);  // z2 0.541 + z3 (0.541 - 1.848)
        __m128i tmp0 = Madd(p04, 8192, 8192);
        __m128i tmp1 = Madd(p04, 8192, -8192);
        __m128i tmp10 = _mm_add_epi32(tmp0, tmp3);
        __m128i tmp13 = _mm_sub_epi32(tmp0, tmp3);
        __m128i tmp11 = _mm_add_epi32(tmp1, tmp2);
        __m128i tmp12 = _mm_sub_epi32(tmp1, tmp2);

        // Odd part: inputs 7, 5, 3, 1.
        __m128i p34 = pair(z3, z4);
        __m128i z3r = Madd(p34, 9633 - 16069, 9633);  // z3 (1.176 - 1.962) + z4 1.176
        __m128i z4r = Madd(p34, 9633, 9633 - 3196);   // z3 1.176 + z4 (1.176 - 0.390)
        __m128i p71 = pair(v[7], v[1]);
        __m128i p53 = pair(v[5], v[3]);
        __m128i o0 = _mm_add_epi32(Madd(p71, 2446 - 7373, -7373), z3r);
        __m128i o3 = _mm_add_epi32(Madd(p71, -7373, 12299 - 7373), z4r);
        __m128i o1 = _mm_add_epi32(Madd(p53, 16819 - 20995, -20995), z4r);
        __m128i o2 = _mm_add_epi32(Madd(p53, -20995, 25172 - 20995), z3r);

        __m128i* r = halves[half];
        r[0] = _mm_add_epi32(tmp10, o3);
        r[7] = _mm_sub_epi32(tmp10, o3);
        r[1] = _mm_add_epi32(tmp11, o2);
        r[6] = _mm_sub_epi32(tmp11, o2);
        r[2] = _mm_add_epi32(tmp12, o1);
        r[5] = _mm_sub_epi32(tmp12, o1);
        r[3] = _mm_add_epi32(tmp13, o0);
        r[4] = _mm_sub_epi32(tmp13, o0);
        for (int i = 0; i < 8; i++)
            r[i] = _mm_srai_epi32(_mm_add_epi32(r[i], rounding), Shift);
    }
    for (int i = 0; i < 8; i++)
        out[i] = _mm_packs_epi32(halves[0][i], halves[1][i]);
}

// Dequantises one row of coefficients; false when a product leaves 16 bits.
inline bool Dequantise(const int16_t* coefficients, const uint16_t* quant, __m128i* row)
{
    __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients));
    __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(quant));
    __m128i low = _mm_mullo_epi16(c, q);
    __m128i high = _mm_mulhi_epi16(c, q);
    *row = low;
    // Fits when the high half is the low half's sign, and q was positive.
    __m128i fits = _mm_cmpeq_epi16(high, _mm_srai_epi16(low, 15));
    fits = _mm_and_si128(fits, _mm_cmpgt_epi16(q, _mm_set1_epi16(-1)));
    return _mm_movemask_epi8(fits) == 0xFFFF;
}

bool IdctIntegerSse2(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, int pitch)
{
    if (HasOnlyDc(coefficients)) {
        // Both passes reduce to the DC term: the scalar shortcut's value.
        int64_t dc = (int64_t)coefficients[0] * quant[0] * (1 << kPass1Bits);
        FillBlock(ClampSample((dc + (1 << (kPass1Bits + 2))) >> (kPass1Bits + 3)), out, pitch);
        return true;
    }
    __m128i v[8];
    bool fits = true;
    for (int row = 0; row < 8; row++)
        fits &= Dequantise(coefficients + row * 8, quant + row * 8, &v[row]);
    if (!fits)
        return false;
    Llm8<kConstBits - kPass1Bits>(v, v, 0); // columns
    Transpose8x8(v);
    Llm8<kConstBits + kPass1Bits + 3>(v, v, 128); // rows, level shifted
    Transpose8x8(v);
    for (int row = 0; row < 8; row += 2) {
        __m128i packed = _mm_packus_epi16(v[row], v[row + 1]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + row * pitch), packed);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (row + 1) * pitch), _mm_unpackhi_epi64(packed, packed));
    }
    return true;
}

} // namespace

#endif

void JpegIdctInteger(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, int pitch)
{
#if defined(__SSE2__)
    if (IdctIntegerSse2(coefficients, quant, out, pitch))
        return;
#endif
    JpegIdctIntegerScalar(coefficients, quant, out, pitch);
}

// ---------------------------------------------------------------------------
// AAN scale factors and the scaled quantisation table.

const uint16_t* JpegAanScales()
{
    static const struct Table {
        uint16_t values[64];
        Table()
        {
            double factor[8];
            factor[0] = 1.0;
            for (int k = 1; k < 8; k++)
                factor[k] = std::cos(k * M_PI / 16.0) * std::sqrt(2.0);
            for (int row = 0; row < 8; row++)
                for (int column = 0; column < 8; column++)
                    values[row * 8 + column] = (uint16_t)std::lround(16384.0 * factor[row] * factor[column]);
        }
    } table;
    return table.values;
}

bool JpegScaleQuantTable(const uint16_t* quant, uint16_t* scaled)
{
    const uint16_t* aan = JpegAanScales();
    bool fits = true;
    for (int i = 0; i < 64; i++) {
        uint32_t value = ((uint32_t)quant[i] * aan[i] + 2048) >> 12;
        if (value < kJpegFastIdctMinScaled || value > 0x7FFF) {
            fits = false;
            value = value > 0x7FFF ? 0x7FFF : value;
        }
        scaled[i] = (uint16_t)value;
    }
#if !defined(__SSE2__)
    fits = false; // no fast IDCT in this build
#endif
    return fits;
}

// ---------------------------------------------------------------------------
// Fast IDCT: the scaled AAN flow on eight 16-bit lanes at once. The scaled
// quantisation values carry the method's scaling and 2 extra bits, so the
// passes need no descaling between them; multiplications by the irrational
// constants take the high half of a 16x16-bit product with the constant's
// fractional part (which rounds down by at most one unit).

#if defined(__SSE2__)

namespace {

inline __m128i Add(__m128i a, __m128i b) { return _mm_add_epi16(a, b); }
inline __m128i Sub(__m128i a, __m128i b) { return _mm_sub_epi16(a, b); }
inline __m128i MulFraction(__m128i a, int16_t fraction) { return _mm_mulhi_epi16(a, _mm_set1_epi16(fraction)); }

// Fractional parts of the constants in units of 1/65536.
const int16_t kFrac1_414213562 = 27146;  // 1 + 0.414213562
const int16_t kFrac1_847759065 = -9977;  // 2 - 0.152240935
const int16_t kFrac1_082392200 = 5400;   // 1 + 0.082392200
const int16_t kFrac2_613125930 = 25354;  // 3 - 0.386874070

inline __m128i Times1_414(__m128i a) { return Add(a, MulFraction(a, kFrac1_414213562)); }

// One 8-point scaled IDCT on eight lanes in place.
inline void Aan8(__m128i* v)
{
    // Even part.
    __m128i tmp10 = Add(v[0], v[4]);
    __m128i tmp11 = Sub(v[0], v[4]);
    __m128i tmp13 = Add(v[2], v[6]);
    __m128i tmp12 = Sub(Times1_414(Sub(v[2], v[6])), tmp13);
    __m128i e0 = Add(tmp10, tmp13);
    __m128i e3 = Sub(tmp10, tmp13);
    __m128i e1 = Add(tmp11, tmp12);
    __m128i e2 = Sub(tmp11, tmp12);

    // Odd part.
    __m128i z13 = Add(v[5], v[3]);
    __m128i z10 = Sub(v[5], v[3]);
    __m128i z11 = Add(v[1], v[7]);
    __m128i z12 = Sub(v[1], v[7]);
    __m128i t7 = Add(z11, z13);
    __m128i t11 = Times1_414(Sub(z11, z13));
    __m128i sum = Add(z10, z12);
    __m128i z5 = Add(Add(sum, sum), MulFraction(sum, kFrac1_847759065));
    __m128i t10 = Sub(Add(z12, MulFraction(z12, kFrac1_082392200)), z5);
    __m128i z10Times3 = Add(Add(z10, z10), z10);
    __m128i t12 = Add(Sub(MulFraction(z10, kFrac2_613125930), z10Times3), z5);
    __m128i t6 = Sub(t12, t7);
    __m128i t5 = Sub(t11, t6);
    __m128i t4 = Add(t10, t5);

    v[0] = Add(e0, t7);
    v[7] = Sub(e0, t7);
    v[1] = Add(e1, t6);
    v[6] = Sub(e1, t6);
    v[2] = Add(e2, t5);
    v[5] = Sub(e2, t5);
    v[4] = Add(e3, t4);
    v[3] = Sub(e3, t4);
}

} // namespace

void JpegIdctFast(const int16_t* coefficients, const uint16_t* scaledQuant, uint8_t* out, int pitch)
{
    if (HasOnlyDc(coefficients)) {
        // Every lane of both passes holds the dequantised DC term, in 16 bits.
        int16_t dc = (int16_t)(coefficients[0] * scaledQuant[0]);
        int sample = ((int16_t)(dc + 16) >> 5) + 128;
        FillBlock((uint8_t)(sample < 0 ? 0 : sample > 255 ? 255 : sample), out, pitch);
        return;
    }
    __m128i v[8];
    for (int row = 0; row < 8; row++) {
        __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coefficients + row * 8));
        __m128i q = _mm_loadu_si128(reinterpret_cast<const __m128i*>(scaledQuant + row * 8));
        v[row] = _mm_mullo_epi16(c, q);
    }
    Aan8(v);        // columns
    Transpose8x8(v);
    Aan8(v);        // rows (lane = row, vector = column)
    Transpose8x8(v);

    // Remove the 2 extra bits and the IDCT's factor 8 with rounding, then
    // level shift; the pack clamps to 0..255.
    const __m128i round = _mm_set1_epi16(16);
    const __m128i center = _mm_set1_epi16(128);
    for (int row = 0; row < 8; row += 2) {
        __m128i a = _mm_add_epi16(_mm_srai_epi16(_mm_add_epi16(v[row], round), 5), center);
        __m128i b = _mm_add_epi16(_mm_srai_epi16(_mm_add_epi16(v[row + 1], round), 5), center);
        __m128i packed = _mm_packus_epi16(a, b);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + row * pitch), packed);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (row + 1) * pitch), _mm_unpackhi_epi64(packed, packed));
    }
}

#else

// Without SSE2 JpegScaleQuantTable reports no table as fitting, so callers
// take the accurate IDCT and this is never reached.
void JpegIdctFast(const int16_t* coefficients, const uint16_t* scaledQuant, uint8_t* out, int pitch)
{
    (void)coefficients;
    (void)scaledQuant;
    (void)out;
    (void)pitch;
}

#endif
