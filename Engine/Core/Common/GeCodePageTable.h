// The byte-to-UTF-16 pairs of the upper half of the engine's code page.
#pragma once

#include <cstdint>

struct GeCodePagePair {
    uint8_t byte;
    char16_t code;
};

// 0x80 to 0xFF in byte order, without the undefined 0x98.
const int kWindows1251PairCount = 127;
extern const GeCodePagePair kWindows1251Pairs[kWindows1251PairCount];
