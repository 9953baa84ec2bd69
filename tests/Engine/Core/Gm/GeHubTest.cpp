// The engine's start and end over the platform's own device on a hidden
// offscreen window: core start-up, device slot 0, a cleared and presented
// frame read back, lost-device recovery, shutdown with nothing left over.
#include "Engine/Core/Gm/GeHub.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmShadow.h"
#include "Engine/Core/Pack/Harvester.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "tests/Support/ErrorBoxRecorder.h"
#include "tests/Support/TestTempDir.h"
#include "tools/fpk/FpkWriter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

const uint32_t kWidth = 64;
const uint32_t kHeight = 48;

std::vector<DWORD> g_sleeps;
void RecordSleep(DWORD milliseconds)
{
    g_sleeps.push_back(milliseconds);
}

// A GPU resource whose device object the hub's manager can take away.
class HeldResource : public CGmGpuResource {
public:
    bool EnsureCreated() override { return held = true; }
    void ReleaseDeviceObject() override { held = false; }
    void Upload() override {}
    bool held = false;
};

} // namespace

// The other tests of this directory share one probe record and kernel object
// for the whole run; the engine's own start and end replace them meanwhile.
struct SharedCoreObjects {
    CGeCpuInfo* cpuInfo = g_pGeCpuInfo;
    CGeSimd* simd = g_pGeSimd;
    CGeSimd* current = g_pGeSimdCurrent;
    CGeSimd* chosen = g_pGeSimdChosen;
    CGeSimd* generic = g_pGeSimdGeneric;

    SharedCoreObjects()
    {
        g_pGeCpuInfo = nullptr;
        g_pGeSimd = g_pGeSimdCurrent = g_pGeSimdChosen = g_pGeSimdGeneric = nullptr;
    }
    ~SharedCoreObjects()
    {
        g_pGeCpuInfo = cpuInfo;
        g_pGeSimd = simd;
        g_pGeSimdCurrent = current;
        g_pGeSimdChosen = chosen;
        g_pGeSimdGeneric = generic;
    }
};

class GeHub : public ::testing::Test {
protected:
    void SetUp() override
    {
        shared.reset(new SharedCoreObjects());
        g_sleeps.clear();
        previousSleep = GmSetSleepFunction(RecordSleep);
        g_packPath = "";
        GeCoreInit();
        // What the settings file would say: a small window.
        g_videoSettings->windowed = 1;
        g_videoSettings->width = kWidth;
        g_videoSettings->height = kHeight;
        g_videoSettings->refreshRate = 1;
    }

    void TearDown() override
    {
        CGeHub::Shutdown();
        GeCoreShutdown();
        GmSetSleepFunction(previousSleep);
        shared.reset();
    }

    // Clears the back buffer, presents it and reads back what was shown.
    std::vector<uint32_t> ClearAndPresent(uint32_t color)
    {
        std::vector<uint32_t> pixels(kWidth * kHeight, 0x12345678);
        EXPECT_EQ(D3D_OK, g_pGmDevice->Clear(GE_CLEAR_TARGET | GE_CLEAR_ZBUFFER, color, 1.0f));
        D3d9CaptureNextPresent(g_pGmDevice->GetDevice(), pixels.data(), kWidth, kHeight);
        g_pGmDevice->Present();
        return pixels;
    }

    static bool AllPixelsAre(const std::vector<uint32_t>& pixels, uint32_t color)
    {
        for (uint32_t pixel : pixels) {
            if (pixel != color)
                return false;
        }
        return true;
    }

    std::unique_ptr<SharedCoreObjects> shared;
    CErrorBoxRecorder errorBoxes;
    GmSleepFunction previousSleep = nullptr;
};

TEST_F(GeHub, CoreStartsWithEveryProgramWideObject)
{
    ASSERT_NE(nullptr, g_pGeCpuInfo);
    ASSERT_NE(nullptr, g_geTimer);
    EXPECT_EQ(25.0f, g_geTimer->scale);
    EXPECT_NE(nullptr, g_pGeSimd);
    ASSERT_NE(nullptr, g_xmlHandle);
    EXPECT_EQ(nullptr, g_xmlHandle->element);
    EXPECT_EQ(0, g_xmlHandle->reportMissing);
    EXPECT_FALSE(TiXmlBase::IsWhiteSpaceCondensed());
    EXPECT_NE(nullptr, g_pGmResCollector);
    ASSERT_NE(nullptr, g_videoSettings);
    EXPECT_EQ(21, g_videoSettings->depthStencilFormat);
    EXPECT_EQ(0u, CHarvester::GetIndex().Count());
}

TEST_F(GeHub, DeviceSlotZeroFromStartToShutdown)
{
    CGeHub::Init(*g_videoSettings);
    ASSERT_NE(nullptr, g_pGmDevice);
    EXPECT_EQ(CGeHub::s_wrappers[0], g_pGmDevice);
    EXPECT_EQ(CGeHub::s_resourceManagers[0], g_pGmResourceManager);
    ASSERT_EQ(CGeHub::s_stateCaches[0], g_pGmRenderStateCache);
    EXPECT_EQ(g_pGmDevice, g_pGmRenderStateCache->wrapper);
    EXPECT_EQ(1u, CGeHub::s_deviceCount);
    EXPECT_EQ(0u, CGeHub::s_currentSlot);
    EXPECT_NE(nullptr, g_shadowFaceBuffer);
    EXPECT_NE(nullptr, g_pGmLayers);
    EXPECT_EQ(kWidth, g_pGmDevice->BackBufferWidth());
    EXPECT_EQ(kHeight, g_pGmDevice->BackBufferHeight());
    EXPECT_EQ(1, g_pGmDevice->m_running);
    EXPECT_EQ(0, g_pGmDevice->m_failed);
    // The render-state cache's reset leaves depth off.
    EXPECT_EQ(0, g_pGmDevice->m_zEnabled);

    // The default half-pixel offset of 2D drawing.
    EXPECT_EQ(-0.5f, g_halfPixelOffsetX);
    EXPECT_EQ(-0.5f, g_2dOffsetMatrix[3]);
    EXPECT_EQ(-0.5f, g_2dOffsetMatrix[7]);
    EXPECT_EQ(0.0f, g_2dOffsetMatrix[11]);
    EXPECT_EQ(1.0f, g_2dOffsetMatrix[15]);
    EXPECT_EQ(-0.5f, g_2dOffsetVector[3]);

    EXPECT_TRUE(AllPixelsAre(ClearAndPresent(0xFF336699), 0xFF336699));
    EXPECT_TRUE(AllPixelsAre(ClearAndPresent(0xFF000000), 0xFF000000));
    EXPECT_TRUE(errorBoxes.Messages().empty());

    CGeHub::Shutdown();
    EXPECT_EQ(nullptr, g_pGmDevice);
    EXPECT_EQ(nullptr, g_pGmResourceManager);
    EXPECT_EQ(nullptr, g_pGmRenderStateCache);
    EXPECT_EQ(nullptr, g_shadowFaceBuffer);
    EXPECT_EQ(nullptr, g_pGmLayers);
    EXPECT_EQ(nullptr, CGeHub::s_wrappers[0]);

    GeCoreShutdown();
    EXPECT_EQ(nullptr, g_pGeCpuInfo);
    EXPECT_EQ(nullptr, g_geTimer);
    EXPECT_EQ(nullptr, g_pGeSimd);
    EXPECT_EQ(nullptr, g_xmlHandle);
    EXPECT_EQ(nullptr, g_videoSettings);
    EXPECT_EQ(nullptr, g_pGmResCollector);
    // TearDown ends the same way again: both ends are safe to repeat.
}

TEST_F(GeHub, LostDeviceRecoversThroughTwentyOneResets)
{
    CGeHub::Init(*g_videoSettings);
    HeldResource texture;
    g_pGmResourceManager->Use(&texture, GE_RES_TEXTURE);
    texture.held = true;

    // One more failing Reset than the wrapper tries in one go.
    D3d9SimulateDeviceLost(g_pGmDevice->GetDevice(), 21);
    g_pGmDevice->Present();
    EXPECT_EQ(std::vector<DWORD>(20, 50u), g_sleeps);
    EXPECT_EQ(1, g_pGmDevice->m_failed);
    EXPECT_FALSE(texture.held);
    EXPECT_EQ(0u, g_pGmResourceManager->Count());

    // The next frame's reset succeeds and the device draws again.
    g_pGmDevice->Present();
    EXPECT_EQ(0, g_pGmDevice->m_failed);
    EXPECT_TRUE(AllPixelsAre(ClearAndPresent(0xFF00FF00), 0xFF00FF00));
}

TEST_F(GeHub, ViewportOverrideReachesBothCamerasAndGoesAgain)
{
    CGeHub::Init(*g_videoSettings);
    CGmStaticCamera camera2d;
    CGmPerspectiveCamera camera3d;
    CGeHub::s_cameras2d[0] = &camera2d;
    CGeHub::s_cameras3d[0] = &camera3d;

    CGeHub::SetViewport(0, 0, 200, 100, 0.0f, 1.0f);
    ASSERT_NE(nullptr, CGeHub::GetViewportOverride());
    EXPECT_EQ(200u, camera2d.currentViewport.Width);
    EXPECT_EQ(100u, camera3d.currentViewport.Height);
    EXPECT_EQ(1, camera2d.frame.localDirty);

    camera2d.frame.localDirty = camera3d.frame.localDirty = 0;
    CGeHub::ResetViewport();
    EXPECT_EQ(nullptr, CGeHub::GetViewportOverride());
    EXPECT_EQ(1, camera2d.frame.localDirty);
    EXPECT_EQ(1, camera3d.frame.localDirty);
    // Back to the cameras' own requested viewport.
    EXPECT_EQ(100u, camera3d.currentViewport.Width);
    EXPECT_EQ(1000.0f, camera3d.currentViewport.MaxZ);

    // A device reset pushes the back-buffer size into both.
    camera3d.currentViewport.MinZ = 0.25f;
    camera2d.clipRect[2] = 5.0f;
    g_pGmDevice->ResetDevice();
    EXPECT_EQ(kWidth, camera2d.currentViewport.Width);
    EXPECT_EQ(kHeight, camera2d.currentViewport.Height);
    EXPECT_EQ(1.0f, camera2d.currentViewport.MaxZ);
    EXPECT_EQ(kWidth, camera3d.currentViewport.Width);
    EXPECT_EQ(0.25f, camera3d.currentViewport.MinZ);
    EXPECT_EQ(1000.0f, camera3d.currentViewport.MaxZ);
    EXPECT_EQ((float)camera2d.screenWidth, camera2d.clipRect[2]);
    CGeHub::s_cameras2d[0] = nullptr;
    CGeHub::s_cameras3d[0] = nullptr;
}

TEST_F(GeHub, PackPathMountsThePacksOfItsDirectory)
{
    GeCoreShutdown();
    CTestTempDir dir;
    dir.Write("tree/Data/Hello.txt", "packed words");
    std::string error;
    ASSERT_TRUE(WritePackFromDirectory((dir.Path() + "/resource.fpk").c_str(), (dir.Path() + "/tree").c_str(),
                                       &error))
        << error;
    g_packPath = (dir.Path() + "/resource.fpk").c_str();
    GeCoreInit();
    CGeFileData file = LoadFileData("data/hello.txt");
    ASSERT_EQ(12u, file.size);
    EXPECT_EQ(0, memcmp(file.data, "packed words", 12));
    FreeFileData(file);
    GeCoreShutdown();
    EXPECT_EQ(0u, CHarvester::GetIndex().Count());

    // A pack path with no packs beside it mounts nothing and does no harm.
    g_packPath = (dir.Path() + "/missing/resource.fpk").c_str();
    GeCoreInit();
    EXPECT_EQ(0u, CHarvester::GetIndex().Count());
    g_packPath = "";
}

TEST(GeHubSlots, ANinthDeviceIsRefused)
{
    for (uint32_t slot = 0; slot < CGeHub::kMaxDevices; ++slot)
        CGeHub::s_wrappers[slot] = nullptr;
    // Filled slots need no real devices for the count check.
    CGeHub::s_deviceCount = CGeHub::kMaxDevices;
    GeDeviceConfig settings;
    SetDefaultDeviceConfig(settings);
    EXPECT_EQ(CGeHub::kMaxDevices, CGeHub::CreateDevice(settings));
    EXPECT_EQ(CGeHub::kMaxDevices, CGeHub::s_deviceCount);
    CGeHub::s_deviceCount = 0;
}
