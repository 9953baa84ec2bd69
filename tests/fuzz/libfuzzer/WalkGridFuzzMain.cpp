// libFuzzer's entry for the walk grid (built with QM_BUILD_FUZZ and clang).
#include "tests/fuzz/WalkGridFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzWalkGrid(data, size);
}
