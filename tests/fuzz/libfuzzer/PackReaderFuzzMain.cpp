// libFuzzer's entry for the pack reader (built with QM_BUILD_FUZZ and clang).
#include "tests/fuzz/PackReaderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzPackReader(data, size);
}
