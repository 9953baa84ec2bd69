// JFIF YCbCr to RGB conversion of the JPEG decoder.
#pragma once

#include <cstdint>

// Per chroma value c (x = c - 128), in 16 fractional bits: red and blue
// offsets round(1.40200 x) and round(1.77200 x); the green terms are kept
// unshifted and summed before one shift (the Cb term carries the rounding).
struct GmJpegColorTables {
    int crToRed[256];
    int cbToBlue[256];
    int32_t crToGreen[256];
    int32_t cbToGreen[256];
};

void JpegBuildColorTables(GmJpegColorTables* tables);

// One row of width pixels to R, G, B and an unused fourth byte. Chroma sample
// x >> chromaShift serves pixel x. With SSE2 it works in groups of 8 pixels
// and may read and write up to 7 pixels past width: rows must be padded to a
// multiple of 8 pixels (chroma rows to the matching count).
void JpegConvertRow(const GmJpegColorTables& tables, const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                    int width, int chromaShift, uint8_t* out);

// The same conversion pixel by pixel through the tables, exactly width pixels.
void JpegConvertRowWithTables(const GmJpegColorTables& tables, const uint8_t* y, const uint8_t* cb, const uint8_t* cr,
                              int width, int chromaShift, uint8_t* out);
