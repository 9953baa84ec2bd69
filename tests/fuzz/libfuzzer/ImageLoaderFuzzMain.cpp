// libFuzzer's entry for the image loader (built with QM_BUILD_FUZZ and clang).
#include "tests/fuzz/ImageLoaderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzImageLoader(data, size);
}
