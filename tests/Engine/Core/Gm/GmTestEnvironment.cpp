// The image code calls the program-wide SIMD kernel object and reads the
// processor probe; every test of this directory runs with both in place.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"

#include <gtest/gtest.h>

namespace {

class CGmTestEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        if (!g_pGeSimd)
            GeSimdCreate();
    }
};

const ::testing::Environment* const s_environment = ::testing::AddGlobalTestEnvironment(new CGmTestEnvironment);

}  // namespace
