// The render-state cache over the recording stand-in of the device: what its
// reset sends, and that the wrapper's caches follow.
#include "Engine/Core/Gm/GmRenderStateCache.h"

#include "tests/Engine/Core/Gm/GLibLoc/D3d/DeviceTestFixture.h"

#include <gmock/gmock.h>

using ::testing::ElementsAre;

class GmRenderStateCache : public DeviceTest {};

TEST_F(GmRenderStateCache, ResetSendsTheDefaultStates)
{
    Create();
    CGmRenderStateCache cache(wrapper.get());
    Device()->ClearCalls();
    cache.Reset();
    EXPECT_THAT(Device()->Matching("SetRenderState"),
                ElementsAre("SetRenderState(7, 0)", "SetRenderState(14, 0)", "SetRenderState(8, 3)",
                            "SetRenderState(9, 2)", "SetRenderState(16, 1)", "SetRenderState(24, 0)",
                            "SetRenderState(26, 0)", "SetRenderState(28, 0)", "SetRenderState(52, 0)",
                            "SetRenderState(136, 1)", "SetRenderState(137, 0)", "SetRenderState(140, 0)"));
    EXPECT_EQ(0u, wrapper->m_cullMode);
    EXPECT_EQ(0, wrapper->m_failed);
}
