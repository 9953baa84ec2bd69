#include "Engine/Core/Common/GeRandom.h"

namespace {

// Like the C runtime, an unseeded generator starts as if seeded with 1.
uint32_t g_randomState = 1;

}  // namespace

void GeSrand(uint32_t seed)
{
    g_randomState = seed;
}

int GeRand()
{
    g_randomState = g_randomState * 214013u + 2531011u;
    return int((g_randomState >> 16) & 0x7FFF);
}

int32_t RandomInt(uint32_t n)
{
    return int32_t(uint64_t(GeRand()) % (uint64_t(n) + 1));
}
