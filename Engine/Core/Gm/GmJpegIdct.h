// The JPEG decoder's inverse DCTs and the tables they share.
#pragma once

#include <cstdint>

// kJpegNaturalOrder[k]: the position in an 8x8 block (row * 8 + column) of the
// k-th coefficient in zigzag order.
extern const uint8_t kJpegNaturalOrder[64];

// The accurate integer IDCT (Loeffler, Ligtenberg and Moschytz, 13-bit
// constants): dequantises the 64 coefficients (natural order) with quant
// (natural order), transforms them and writes 8 rows of 8 samples, level
// shifted and clamped, to out with the given pitch.
void JpegIdctInteger(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, int pitch);

// The same transform one sample at a time in 64-bit arithmetic. It is what
// JpegIdctInteger falls back to for coefficients too large for its 16-bit
// lanes, and it gives the same samples as the vector form for all others.
void JpegIdctIntegerScalar(const int16_t* coefficients, const uint16_t* quant, uint8_t* out, int pitch);

// The fast scaled IDCT (Arai, Agui and Nakajima) in 16-bit lanes. It takes
// the quantisation table from JpegScaleQuantTable, which folds the method's
// output scaling into the dequantisation.
void JpegIdctFast(const int16_t* coefficients, const uint16_t* scaledQuant, uint8_t* out, int pitch);

// scaled[i] = round(quant[i] * aan[i] / 4096) with the AAN scale factors in
// 14-bit fixed point (natural order). False when the fast IDCT cannot carry
// the table, which must then use JpegIdctInteger: a scaled value above 32767
// overflows its 16-bit lanes, and one below kJpegFastIdctMinScaled keeps too
// little of its coefficient after rounding (quantisation as fine as quality
// 95 and above, where the fast IDCT would be off by 20 levels and more).
const uint32_t kJpegFastIdctMinScaled = 4;

bool JpegScaleQuantTable(const uint16_t* quant, uint16_t* scaled);

// The AAN scale factors: 16384 times the product of the row and column
// factors, where factor k is 1 for k = 0 and cos(k pi / 16) * sqrt(2) otherwise.
const uint16_t* JpegAanScales();
