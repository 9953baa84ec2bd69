#include "Engine/Core/Gm/GmJpegHuffman.h"

#include <cstring>

namespace {

// Every code of at most kJpegFastAcBits bits whose magnitude bits follow
// within the same bits gets its decoded value in advance.
void BuildFastAc(const uint8_t* counts, const uint8_t* values, GmJpegHuffTable* table)
{
    const int kBits = kJpegFastAcBits;
    memset(table->fastAc, 0, sizeof(table->fastAc));
    int code = 0;
    int index = 0;
    for (int length = 1; length <= kBits; length++, code <<= 1) {
        for (int i = 0; i < counts[length]; i++, code++, index++) {
            int symbol = values[index];
            int run = symbol >> 4;
            int size = symbol & 15;
            if (size == 0 || length + size > kBits)
                continue;
            int first = code << (kBits - length);
            int spare = kBits - length - size; // bits after the magnitude
            for (int entry = first; entry < first + (1 << (kBits - length)); entry++) {
                int magnitude = (entry >> spare) & ((1 << size) - 1);
                int value = magnitude < (1 << (size - 1)) ? magnitude - (1 << size) + 1 : magnitude;
                table->fastAc[entry] = value * 256 + run * 16 + length + size;
            }
        }
    }
}

} // namespace

bool JpegBuildHuffTable(const uint8_t* counts, const uint8_t* values, GmJpegHuffTable* table)
{
    for (int i = 0; i < 256; i++)
        table->lookup[i] = -1;
    table->count = 0;

    // Canonical codes: each length continues from the previous one's next
    // code, shifted left by one.
    int32_t code = 0;
    int index = 0;
    for (int length = 1; length <= 16; length++) {
        int n = counts[length];
        table->maxCode[length] = -1;
        table->valueOffset[length] = 0;
        if (n > 0) {
            table->valueOffset[length] = index - code;
            for (int i = 0; i < n; i++, code++, index++) {
                if (length <= 8) {
                    int first = code << (8 - length);
                    int last = (code + 1) << (8 - length);
                    if (last > 256)
                        return false;
                    for (int entry = first; entry < last; entry++)
                        table->lookup[entry] = (int16_t)(values[index] | length << 8);
                }
            }
            table->maxCode[length] = code - 1;
        }
        if (code > (1 << length))
            return false;
        code <<= 1;
    }
    table->count = index;
    memcpy(table->values, values, (size_t)index);
    BuildFastAc(counts, values, table);
    return true;
}
