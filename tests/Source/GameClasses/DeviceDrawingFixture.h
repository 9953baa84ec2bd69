// The platform's device seen through the recording decorator, made the
// program's device with a resource manager and a render-state cache: the
// fixture of the tests that count what a visual draws.
#pragma once

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "tests/Engine/Core/Gm/GLibLoc/D3d/DeviceTestFixture.h"

#include <memory>

class DeviceDrawingTest : public PlatformDeviceTest {
protected:
    void SetUp() override
    {
        PlatformDeviceTest::SetUp();
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        if (!g_pGeSimd)
            GeSimdCreate();
        g_pGmDevice = wrapper.get();
        g_pGmResourceManager = &manager;
        states.reset(new CGmRenderStateCache(wrapper.get()));
        g_pGmRenderStateCache = states.get();
    }
    void TearDown() override
    {
        g_pGmRenderStateCache = nullptr;
        g_pGmResourceManager = nullptr;
        g_pGmDevice = nullptr;
        PlatformDeviceTest::TearDown();
    }

    CGmResourceManager manager;
    std::unique_ptr<CGmRenderStateCache> states;
};
