// libFuzzer's entry for the track and skeleton readers (built with QM_BUILD_FUZZ and clang).
#include "tests/fuzz/AnimReadersFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzAnimReaders(data, size);
}
