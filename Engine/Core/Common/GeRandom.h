// The engine's random numbers: the same sequence as the C runtime of the
// original platform, so that a seed gives the same game on every system.
#pragma once

#include <cstdint>

// Largest value GeRand returns.
constexpr int kGeRandMax = 0x7FFF;

// Starts the sequence anew from seed.
void GeSrand(uint32_t seed);

// The next number of the sequence, 0 to kGeRandMax.
int GeRand();

// A value from 0 to n inclusive: GeRand() mod (n + 1). n = 0xFFFFFFFF takes
// the whole range of GeRand.
int32_t RandomInt(uint32_t n);
