// libFuzzer's entry for the static-environment loader (built with QM_BUILD_FUZZ and clang).
#include "tests/fuzz/StaticEnvironmentFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzStaticEnvironment(data, size); // the count of geoms is for the replay test
    return 0;
}
