// Straightforward loops with the effect of three kernels, built at -O2: what the
// kernels must beat to be worth a virtual call.
#pragma once

#include <cstdint>

void PlainMixStereoToStereo(float* mix, const float* src, const float* start, const float* end);
void PlainFloatToInt16Interleaved(int16_t* dst, const float* const* channels, uint32_t samples,
                                  uint32_t channelCount);
void PlainYuvToRgb(const uint8_t* y, int yStride, const uint8_t* u, const uint8_t* v, int chromaStride,
                   uint8_t* dst, int pitch, int width, int height);
