// libFuzzer's entry for the catalogues (built with QM_BUILD_FUZZ and clang).
#include "tests/fuzz/CatalogueFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzCatalogue(data, size);
}
