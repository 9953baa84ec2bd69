// The program makes the CPU probe and the kernel object (sprites and vertex
// buffers use it) before anything of the game layer exists; so does this test
// program, before each test's fixture is made, since some tests shut the
// engine core down and the game processor's hint panel makes a sprite when it
// is constructed.
#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"

#include <gtest/gtest.h>

namespace {

class KernelObjectsListener : public ::testing::EmptyTestEventListener {
public:
    void OnTestStart(const ::testing::TestInfo&) override
    {
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        if (!g_pGeSimd)
            GeSimdCreate();
    }
};

[[maybe_unused]] const bool s_registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new KernelObjectsListener);
    return true;
}();

} // namespace
