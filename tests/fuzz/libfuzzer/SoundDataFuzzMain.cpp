// libFuzzer's entry for the sound data sources (built with QM_BUILD_FUZZ and clang).
#include "tests/fuzz/SoundDataFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzSoundData(data, size);
}
