// libFuzzer's entry for the ".gemesh" reader (built with QM_BUILD_FUZZ and clang).
#include "tests/fuzz/MeshLoaderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzMeshLoader(data, size);
}
