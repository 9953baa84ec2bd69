#include "Engine/Core/Pack/PackScrambler.h"

#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the key stream is applied as little-endian words");

static inline uint64_t NextKeyWord(uint64_t& state)
{
    state += 0x9E3779B97F4A7C15ull;
    uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

void ScramblePackBody(uint8_t* body, size_t count, uint32_t seed)
{
    uint64_t state = (static_cast<uint64_t>(seed) << 32) | (seed ^ 0x5A17C0DEu);
    size_t whole = count & ~static_cast<size_t>(7);
    for (size_t at = 0; at < whole; at += 8) {
        uint64_t word;
        memcpy(&word, body + at, 8);
        word ^= NextKeyWord(state);
        memcpy(body + at, &word, 8);
    }
    if (whole < count) {
        uint64_t key = NextKeyWord(state);
        for (size_t at = whole; at < count; ++at, key >>= 8)
            body[at] ^= static_cast<uint8_t>(key);
    }
}
