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
                ElementsAre("SetRenderState(D3DRS_ZENABLE, 0)", "SetRenderState(D3DRS_ZWRITEENABLE, 0)",
                            "SetRenderState(D3DRS_FILLMODE, 3)", "SetRenderState(D3DRS_SHADEMODE, 2)",
                            "SetRenderState(D3DRS_LASTPIXEL, 1)", "SetRenderState(D3DRS_ALPHAREF, 0)",
                            "SetRenderState(D3DRS_DITHERENABLE, 0)", "SetRenderState(D3DRS_FOGENABLE, 0)",
                            "SetRenderState(D3DRS_STENCILENABLE, 0)", "SetRenderState(D3DRS_CLIPPING, 1)",
                            "SetRenderState(D3DRS_LIGHTING, 0)", "SetRenderState(D3DRS_FOGVERTEXMODE, 0)"));
    EXPECT_EQ(0u, wrapper->m_cullMode);
    EXPECT_EQ(0, wrapper->m_failed);
}
