// libFuzzer's entry for the location loader (built with QM_BUILD_FUZZ and clang).
#include "tests/fuzz/LocationFileFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzLocationFile(data, size);
}
