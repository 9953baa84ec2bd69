// libFuzzer's entry for the background's depth pictures (built with
// QM_BUILD_FUZZ and clang).
#include "tests/fuzz/DepthPictureFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzDepthPicture(data, size);
}
