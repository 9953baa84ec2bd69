// libFuzzer's entry for the XML reader (built with QM_BUILD_FUZZ and clang).
#include "tests/fuzz/XmlReaderFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzXmlReader(data, size);
}
