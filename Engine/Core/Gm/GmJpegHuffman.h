// Huffman tables of the JPEG decoder, built from a DHT segment.
#pragma once

#include <cstdint>

const int kJpegFastAcBits = 11;

struct GmJpegHuffTable {
    // Indexed by the next 8 bits of the stream: symbol | length << 8 for a
    // code of at most 8 bits, -1 when the code is longer (or not a code).
    int16_t lookup[256];
    // For codes of 9 to 16 bits, completed bit by bit (ITU-T T.81 F.2.2.3):
    // the largest code of each length (-1 when there is none) and the offset
    // from a code of that length to its symbol's index.
    int32_t maxCode[17];
    int32_t valueOffset[17];
    int count;
    uint8_t values[256];
    // AC symbols whose code and magnitude bits together fit kJpegFastAcBits,
    // indexed by that many next bits: value << 8 | run << 4 | bits used; 0
    // for the others.
    int32_t fastAc[1 << kJpegFastAcBits];
};

// Builds table from the 16 code counts (counts[1..16]) and their symbols.
// False when the counts overfill the code space of some length, which would
// give codes that cannot be told apart.
bool JpegBuildHuffTable(const uint8_t* counts, const uint8_t* values, GmJpegHuffTable* table);
