// libFuzzer's entry for the video decoder (built with QM_BUILD_FUZZ and clang).
#include "tests/fuzz/VideoDecoderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzVideoDecoder(data, size);
}
