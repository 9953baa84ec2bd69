#include "DeviceTestFixture.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Platform/Win32/WinGdi.h"
#include "Platform/Win32/WinMessages.h"

#include <gmock/gmock.h>

#include <cstring>

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;

// ---------------------------------------------------------------------------
// Creation.

class GmDeviceWrapper : public DeviceTest {};

TEST_F(GmDeviceWrapper, WindowSitsAtTheTopRightCornerAndTheLoopMayRun)
{
    Create();
    ASSERT_NE(nullptr, wrapper->GetWindow());
    EXPECT_STREQ("GE_D3dDevWnd_#1", wrapper->m_className.c_str());
    EXPECT_EQ(1, wrapper->m_running);
    RECT outer;
    ASSERT_TRUE(GetWindowRect(wrapper->GetWindow(), &outer));
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), outer.right);
    EXPECT_EQ(0, outer.top);
    RECT client;
    ASSERT_TRUE(GetClientRect(wrapper->GetWindow(), &client));
    EXPECT_EQ(320, client.right - client.left);
    EXPECT_EQ(240, client.bottom - client.top);
}

TEST_F(GmDeviceWrapper, FreshDeviceGetsItsDepthSurfaceDefaultStatesAndOneClear)
{
    wrapper.reset(new CGmDeviceWrapper(settings));
    RecordingDevice* device = Device();
    ASSERT_NE(nullptr, device);
    EXPECT_EQ(1, device->Count("Reset"));
    // D24S8 (75) at the back-buffer size, bound once.
    EXPECT_THAT(device->Matching("CreateDepthStencilSurface"),
                ElementsAre("CreateDepthStencilSurface(320, 240, D3DFMT_D24S8, 0, 0, 0)"));
    EXPECT_THAT(device->Matching("SetDepthStencilSurface"), ElementsAre("SetDepthStencilSurface(ptr)"));
    // Target and depth buffer: 1 | 2, black, depth 1.
    EXPECT_THAT(device->Matching("Clear"), ElementsAre("Clear(0, 3, 0, 1, 0)"));
    EXPECT_THAT(device->Matching("SetRenderState(D3DRS_CULLMODE,"),
                ElementsAre("SetRenderState(D3DRS_CULLMODE, 1)", "SetRenderState(D3DRS_CULLMODE, 1)"));
    EXPECT_EQ(0u, wrapper->m_cullMode);
    EXPECT_EQ(1, wrapper->m_zEnabled);
    EXPECT_EQ(D3DCMP_LESSEQUAL, wrapper->m_zFunc);
    EXPECT_EQ(D3DCMP_ALWAYS, wrapper->m_stencilFunc);
    // The information block from the caps.
    EXPECT_EQ(0xFFu, wrapper->m_info.vertexBlendIndexing);
    EXPECT_EQ(0xFFFFFu, wrapper->m_info.maxPrimitiveCount);
    EXPECT_EQ(0x1001u, wrapper->m_info.vertexProcessing);
    EXPECT_TRUE(errorBoxes.Messages().empty());
}

struct PresentParamsCase {
    uint8_t windowed;
    int32_t backBufferCount;
    uint8_t vsync;
    int32_t vertexProcessing;
    int32_t deviceType;
    D3DFORMAT format;
    D3DSWAPEFFECT swapEffect;
    UINT interval;
    DWORD behaviour;
    D3DDEVTYPE type;
};

TEST_F(GmDeviceWrapper, PresentationParametersFollowTheSettings)
{
    const PresentParamsCase cases[] = {
        // Windowed: the desktop's format, whatever the settings say.
        {1, 1, 0, 0x1001, 0, D3DFMT_X8R8G8B8, D3DSWAPEFFECT_DISCARD, D3DPRESENT_INTERVAL_IMMEDIATE,
         D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DDEVTYPE_HAL},
        {1, 2, 1, 0, 1, D3DFMT_X8R8G8B8, D3DSWAPEFFECT_DISCARD, D3DPRESENT_INTERVAL_ONE,
         D3DCREATE_SOFTWARE_VERTEXPROCESSING, D3DDEVTYPE_REF},
        // Full screen: the settings format; flipping only with several buffers.
        {0, 2, 0, 0x1001, 0, D3DFMT_A8R8G8B8, D3DSWAPEFFECT_FLIP, D3DPRESENT_INTERVAL_IMMEDIATE,
         D3DCREATE_HARDWARE_VERTEXPROCESSING, D3DDEVTYPE_HAL},
        {0, 1, 1, 7, 0, D3DFMT_A8R8G8B8, D3DSWAPEFFECT_DISCARD, D3DPRESENT_INTERVAL_ONE,
         D3DCREATE_SOFTWARE_VERTEXPROCESSING, D3DDEVTYPE_HAL},
    };
    for (const PresentParamsCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << "windowed " << int(c.windowed) << " count " << c.backBufferCount);
        settings.windowed = c.windowed;
        settings.backBufferCount = c.backBufferCount;
        settings.vsync = c.vsync;
        settings.vertexProcessing = c.vertexProcessing;
        settings.deviceType = c.deviceType;
        settings.backBufferFormat = 2;
        wrapper.reset(new CGmDeviceWrapper(settings));
        const D3DPRESENT_PARAMETERS& pp = s_direct3D->lastParams;
        EXPECT_EQ(c.format, pp.BackBufferFormat);
        EXPECT_EQ(c.swapEffect, pp.SwapEffect);
        EXPECT_EQ(c.interval, pp.PresentationInterval);
        EXPECT_EQ(c.behaviour, s_direct3D->lastBehaviour);
        EXPECT_EQ(c.type, s_direct3D->lastType);
        EXPECT_EQ(D3DFMT_D24S8, pp.AutoDepthStencilFormat);
        EXPECT_EQ(FALSE, pp.EnableAutoDepthStencil);
        EXPECT_EQ(wrapper->GetWindow(), pp.hDeviceWindow);
        EXPECT_EQ(UINT(c.backBufferCount), pp.BackBufferCount);
        wrapper.reset();
    }
}

TEST_F(GmDeviceWrapper, MissingDirect3DIsReportedAndLeavesNoWindow)
{
    s_direct3D.reset();
    wrapper.reset(new CGmDeviceWrapper(settings));
    EXPECT_TRUE(errorBoxes.Saw("Direct3D initialization failed!"));
    EXPECT_EQ(nullptr, wrapper->GetWindow());
    EXPECT_EQ(0, wrapper->m_running);
    // Nothing the frame loop calls may fail for want of a device.
    wrapper->Present();
    wrapper->BeginScene();
    wrapper->SetZEnable(0);
    wrapper->SetSamplerFilters(0, 1, 1);
    EXPECT_EQ(D3DERR_INVALIDCALL, wrapper->Clear(GE_CLEAR_TARGET, 0, 1.0f));
}

TEST_F(GmDeviceWrapper, FailedCreationIsReportedAndEveryCallIsSafe)
{
    s_direct3D->createResult = D3DERR_NOTAVAILABLE;
    wrapper.reset(new CGmDeviceWrapper(settings));
    EXPECT_THAT(errorBoxes.Messages(),
                ElementsAre("m_d3d->CreateDevice() failed: D3DERR_NOTAVAILABLE\n", "D3D device initialization failed!"));
    EXPECT_EQ(nullptr, wrapper->GetDevice());
    wrapper->Present();
    wrapper->SetCullMode(1);
    wrapper->DrawPrimitive(4, 0, 1);
    wrapper->SetGamma(1.2f);
    EXPECT_EQ(1u, wrapper->m_cullMode);
}

// ---------------------------------------------------------------------------
// The guarded-call rule.

TEST_F(GmDeviceWrapper, MinimisedWindowSkipsGuardedCallsButCachesKeepTheValues)
{
    Create();
    SendMessageA(wrapper->GetWindow(), WM_SIZE, SIZE_MINIMIZED, 0);
    ASSERT_EQ(1, wrapper->m_minimised);
    wrapper->SetZEnable(0);
    wrapper->SetZWriteEnable(0);
    wrapper->SetCullMode(1);
    wrapper->SetStencilEnable(1);
    wrapper->SetDepthBias(0.25f);
    wrapper->SetTexCoordIndex(3, 1);
    wrapper->BeginScene();
    EXPECT_TRUE(Device()->calls.empty());
    EXPECT_EQ(0, wrapper->m_zEnabled);
    EXPECT_EQ(0, wrapper->m_zWrite);
    EXPECT_EQ(1u, wrapper->m_cullMode);
    EXPECT_EQ(1, wrapper->m_stencilEnabled);
    EXPECT_EQ(0.25f, wrapper->m_depthBias);
    EXPECT_EQ(1u, wrapper->m_texCoordIndex[3]);

    // The sampler setters are not guarded.
    wrapper->SetSamplerFilters(2, 1, 1);
    EXPECT_EQ(2, Device()->Count("SetSamplerState"));

    SendMessageA(wrapper->GetWindow(), WM_SIZE, SIZE_RESTORED, 0);
    Device()->ClearCalls();
    wrapper->SetZEnable(1);
    EXPECT_THAT(Device()->calls, ElementsAre("SetRenderState(D3DRS_ZENABLE, 1)"));
}

TEST_F(GmDeviceWrapper, SkippedDrawsSleepButEmptyIndexedDrawsDoNothing)
{
    Create();
    wrapper->m_minimised = 1;
    wrapper->DrawPrimitive(4, 0, 2);
    wrapper->DrawIndexedPrimitive(4, 0, 0, 4, 0, 2);
    EXPECT_THAT(s_sleeps, ElementsAre(1u, 1u));
    s_sleeps.clear();
    wrapper->m_minimised = 0;
    wrapper->DrawIndexedPrimitive(4, 0, 0, 4, 0, 0);
    wrapper->DrawIndexedPrimitive(4, 0, 0, 0, 0, 2);
    EXPECT_TRUE(s_sleeps.empty());
    EXPECT_TRUE(Device()->calls.empty());
    wrapper->DrawIndexedPrimitive(5, 2, 1, 4, 6, 2);
    wrapper->DrawPrimitive(6, 3, 1);
    EXPECT_THAT(Device()->calls, ElementsAre("DrawIndexedPrimitive(D3DPT_TRIANGLESTRIP, 2, 1, 4, 6, 2)",
                                             "DrawPrimitive(D3DPT_TRIANGLEFAN, 3, 1)"));
}

TEST_F(GmDeviceWrapper, AnErrorMarksTheDeviceFailedWithTheCallsTextInTheTrace)
{
    Create();
    Device()->results["SetRenderState"] = D3DERR_INVALIDCALL;
    wrapper->SetZEnable(1);
    ASSERT_EQ(1u, s_trace.size());
    EXPECT_THAT(s_trace[0], MatchesRegex("m_device->SetRenderState\\(D3DRS_ZENABLE, m_zEnabled\\) failed: "
                                         "\\(file .*GmDeviceState\\.cpp, [0-9]+\\) Error: D3DERR_INVALIDCALL\n"));
    EXPECT_EQ(1, wrapper->m_failed);

    // Failed: nothing reaches the device, the caches still follow.
    Device()->results.clear();
    Device()->ClearCalls();
    wrapper->SetStencilEnable(1);
    wrapper->SetFVF(0x101);
    wrapper->EndScene();
    EXPECT_TRUE(Device()->calls.empty());
    EXPECT_EQ(1, wrapper->m_stencilEnabled);
}

TEST_F(GmDeviceWrapper, ALostDeviceDuringACallIsTracedButNotMarkedFailed)
{
    Create();
    Device()->results["BeginScene"] = D3DERR_DEVICELOST;
    wrapper->BeginScene();
    ASSERT_EQ(1u, s_trace.size());
    EXPECT_THAT(s_trace[0], HasSubstr("m_device->BeginScene() failed: (file "));
    EXPECT_THAT(s_trace[0], HasSubstr("Error: D3DERR_DEVICELOST\n"));
    EXPECT_EQ(0, wrapper->m_failed);
}

struct GuardedCallCase {
    const char* name;
    void (*call)(CGmDeviceWrapper& w);
    const char* deviceCall;
    const char* text;
};

TEST_F(GmDeviceWrapper, EachGuardedSetterSendsItsStateAndTracesItsOwnText)
{
    const GuardedCallCase cases[] = {
        {"ZWrite", [](CGmDeviceWrapper& w) { w.SetZWriteEnable(1); }, "SetRenderState(D3DRS_ZWRITEENABLE, 1)",
         "m_device->SetRenderState(D3DRS_ZWRITEENABLE, m_zWrite)"},
        {"ZFunc", [](CGmDeviceWrapper& w) { w.SetZFunc(); }, "SetRenderState(D3DRS_ZFUNC, 4)",
         "m_device->SetRenderState(D3DRS_ZFUNC, (DWORD)func)"},
        {"Lighting", [](CGmDeviceWrapper& w) { w.SetLighting(1); }, "SetRenderState(D3DRS_LIGHTING, 1)",
         "m_device->SetRenderState(D3DRS_LIGHTING, (DWORD)enable)"},
        {"Cull", [](CGmDeviceWrapper& w) { w.SetCullMode(2); }, "SetRenderState(D3DRS_CULLMODE, 3)",
         "m_device->SetRenderState(D3DRS_CULLMODE, cm)"},
        {"StencilRef", [](CGmDeviceWrapper& w) { w.SetStencilRef(9); }, "SetRenderState(D3DRS_STENCILREF, 9)",
         "m_device->SetRenderState(D3DRS_STENCILREF, (DWORD)stencilVal)"},
        {"StencilPass", [](CGmDeviceWrapper& w) { w.SetStencilPass(4); }, "SetRenderState(D3DRS_STENCILPASS, 4)",
         "m_device->SetRenderState(D3DRS_STENCILPASS, GetD3dStencilOp(opCode))"},
        {"StencilZFail", [](CGmDeviceWrapper& w) { w.SetStencilZFail(2); }, "SetRenderState(D3DRS_STENCILZFAIL, 6)",
         "m_device->SetRenderState(D3DRS_STENCILZFAIL, GetD3dStencilOp(opCode))"},
        {"StencilFail", [](CGmDeviceWrapper& w) { w.SetStencilFail(1); }, "SetRenderState(D3DRS_STENCILFAIL, 2)",
         "m_device->SetRenderState(D3DRS_STENCILFAIL, GetD3dStencilOp(opCode))"},
        {"StencilFunc", [](CGmDeviceWrapper& w) { w.SetStencilFunc(); }, "SetRenderState(D3DRS_STENCILFUNC, 8)",
         "m_device->SetRenderState(D3DRS_STENCILFUNC, (DWORD)func)"},
        // 1.0f is 0x3F800000.
        {"DepthBias", [](CGmDeviceWrapper& w) { w.SetDepthBias(1.0f); }, "SetRenderState(D3DRS_DEPTHBIAS, 1065353216)",
         "m_device->SetRenderState(D3DRS_DEPTHBIAS, *((DWORD*)(&bias)))"},
        {"TexCoordIndex", [](CGmDeviceWrapper& w) { w.SetTexCoordIndex(2, 5); },
         "SetTextureStageState(2, D3DTSS_TEXCOORDINDEX, 5)",
         "m_device->SetTextureStageState(texStage, D3DTSS_TEXCOORDINDEX, texCoordSetIndex)"},
        {"EndScene", [](CGmDeviceWrapper& w) { w.EndScene(); }, "EndScene()", "m_device->EndScene()"},
        {"Stream", [](CGmDeviceWrapper& w) { w.SetStreamSource(nullptr, 16); }, "SetStreamSource(0, null, 0, 16)",
         "m_device->SetStreamSource(streamIndex, srcVb->m_vb, 0, stride)"},
        {"Indices", [](CGmDeviceWrapper& w) { w.SetIndices(nullptr); }, "SetIndices(null)",
         "m_device->SetIndices(ib->m_ib)"},
        {"FVF", [](CGmDeviceWrapper& w) { w.SetFVF(0x1101); }, "SetFVF(322)", "m_device->SetFVF(GetD3DFVF(geVef))"},
        {"Draw", [](CGmDeviceWrapper& w) { w.DrawPrimitive(2, 0, 1); }, "DrawPrimitive(D3DPT_LINELIST, 0, 1)",
         "GetDevice()->DrawPrimitive(GetD3DPT(pType), startVertex, primCount)"},
        {"DrawIndexed", [](CGmDeviceWrapper& w) { w.DrawIndexedPrimitive(4, 0, 0, 3, 0, 1); },
         "DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1)",
         "GetDevice()->DrawIndexedPrimitive(GetD3DPT(pType), baseVertexIndex, minIndex, numVertices, startIndex, "
         "primCount)"},
    };
    Create();
    for (const GuardedCallCase& c : cases) {
        SCOPED_TRACE(c.name);
        wrapper->m_failed = 0;
        Device()->ClearCalls();
        Device()->results.clear();
        s_trace.clear();
        c.call(*wrapper);
        EXPECT_THAT(Device()->calls, ElementsAre(c.deviceCall));

        // The same call failing: traced with its text, device marked failed.
        wrapper->m_cullMode = 0;
        for (const char* method : {"SetRenderState", "SetTextureStageState", "EndScene", "SetStreamSource",
                                   "SetIndices", "SetFVF", "DrawPrimitive", "DrawIndexedPrimitive"})
            Device()->results[method] = D3DERR_OUTOFVIDEOMEMORY;
        c.call(*wrapper);
        ASSERT_EQ(1u, s_trace.size());
        EXPECT_EQ(0u, s_trace[0].find(std::string(c.text) + " failed: (file "));
        EXPECT_THAT(s_trace[0], HasSubstr("Error: D3DERR_OUTOFVIDEOMEMORY\n"));
        EXPECT_EQ(1, wrapper->m_failed);
    }
}

TEST_F(GmDeviceWrapper, CullModeEqualToTheCacheMakesNoCall)
{
    Create();
    wrapper->SetCullMode(0);
    EXPECT_TRUE(Device()->calls.empty());
    wrapper->SetCullMode(1);
    wrapper->SetCullMode(1);
    EXPECT_THAT(Device()->calls, ElementsAre("SetRenderState(D3DRS_CULLMODE, 2)"));
}

// ---------------------------------------------------------------------------
// Presenting and the lost device.

TEST_F(GmDeviceWrapper, PresentSleepsWhileMinimisedOrInTheBackgroundInFullScreen)
{
    Create();
    wrapper->m_minimised = 1;
    wrapper->Present();
    wrapper->m_minimised = 0;
    wrapper->m_active = 0;
    wrapper->m_windowed = 0;
    wrapper->Present();
    EXPECT_THAT(s_sleeps, ElementsAre(1u, 1u));
    EXPECT_EQ(0, Device()->Count("Present"));

    // A window in the background keeps presenting.
    wrapper->m_windowed = 1;
    wrapper->Present();
    EXPECT_EQ(1, Device()->Count("Present"));

    wrapper->m_running = 0;
    wrapper->Present();
    EXPECT_EQ(1, Device()->Count("Present"));
}

// A GPU resource that records what the manager does to it.
class CountingResource : public CGmGpuResource {
public:
    bool EnsureCreated() override { return true; }
    void ReleaseDeviceObject() override { releases++; }
    void Upload() override {}
    int releases = 0;
};

TEST_F(GmDeviceWrapper, LostDeviceReleasesTheDeviceObjectsAndResets)
{
    Create();
    CountingResource texture, vertices, other;
    CGmResourceManager manager;
    manager.Use(&texture, GE_RES_TEXTURE);
    manager.Use(&vertices, GE_RES_VERTEX_BUFFER);
    manager.Use(&other, 5);
    g_pGmResourceManager = &manager;

    Device()->results["Present"] = D3DERR_DEVICELOST;
    wrapper->m_cullMode = 1;
    wrapper->Present();
    g_pGmResourceManager = nullptr;

    EXPECT_EQ(1, texture.releases);
    EXPECT_EQ(1, vertices.releases);
    EXPECT_EQ(0, other.releases);
    EXPECT_EQ(1u, manager.Count());
    // Scores aged first: the used flags become a point each.
    EXPECT_EQ(1, other.score);
    EXPECT_EQ(1, Device()->Count("Reset"));
    EXPECT_EQ(0, wrapper->m_failed);
    EXPECT_TRUE(s_sleeps.empty());
    // The defaults reach the reset device.
    EXPECT_THAT(Device()->Matching("SetRenderState(D3DRS_CULLMODE,"), ElementsAre("SetRenderState(D3DRS_CULLMODE, 1)"));
    EXPECT_EQ(0u, wrapper->m_cullMode);
}

TEST_F(GmDeviceWrapper, AResetThatKeepsFailingIsTriedTwentyOneTimesAndAgainNextFrame)
{
    Create();
    Device()->results["Present"] = D3DERR_DEVICELOST;
    Device()->results["Reset"] = D3DERR_DEVICELOST;
    wrapper->Present();
    EXPECT_EQ(21, Device()->Count("Reset"));
    EXPECT_EQ(std::vector<DWORD>(20, 50u), s_sleeps);
    EXPECT_EQ(1, wrapper->m_failed);

    // Guarded calls stay skipped meanwhile.
    Device()->ClearCalls();
    wrapper->SetZEnable(0);
    EXPECT_TRUE(Device()->calls.empty());

    // No more loss: the next frame's Present resets, and the device works.
    Device()->results.clear();
    wrapper->Present();
    EXPECT_EQ(1, Device()->Count("Present"));
    EXPECT_EQ(1, Device()->Count("Reset"));
    EXPECT_EQ(0, wrapper->m_failed);
    Device()->ClearCalls();
    wrapper->SetZEnable(1);
    EXPECT_THAT(Device()->calls, ElementsAre("SetRenderState(D3DRS_ZENABLE, 1)"));
}

TEST_F(GmDeviceWrapper, AFailedDeviceInTheBackgroundWaitsForActivation)
{
    Create();
    wrapper->m_failed = 1;
    wrapper->m_active = 0;
    wrapper->Present();
    EXPECT_EQ(1, Device()->Count("Present"));
    EXPECT_EQ(0, Device()->Count("Reset"));
    wrapper->m_active = 1;
    wrapper->Present();
    EXPECT_EQ(1, Device()->Count("Reset"));
    EXPECT_EQ(0, wrapper->m_failed);
}

TEST_F(GmDeviceWrapper, OtherPresentFailuresLeaveTheFlagsAlone)
{
    Create();
    Device()->results["Present"] = D3DERR_DRIVERINTERNALERROR;
    wrapper->Present();
    EXPECT_EQ(0, wrapper->m_failed);
    EXPECT_EQ(0, Device()->Count("Reset"));
}

TEST_F(GmDeviceWrapper, EachResetReplacesTheDepthSurfaceWithoutLeakingIt)
{
    const int before = FakeSurface::live;
    Create();
    const int created = FakeSurface::live; // the device's target and one depth surface
    EXPECT_EQ(before + 2, created);
    for (int i = 0; i < 3; ++i)
        wrapper->ResetDevice();
    EXPECT_EQ(created, FakeSurface::live);
    EXPECT_EQ(3, Device()->Count("CreateDepthStencilSurface"));
    wrapper.reset();
    s_direct3D.reset();
    EXPECT_EQ(before, FakeSurface::live);
}

// ---------------------------------------------------------------------------
// Clear, viewport, gamma.

TEST_F(GmDeviceWrapper, ClearMapsTheEngineFlags)
{
    const struct {
        uint8_t engine;
        DWORD d3d;
    } cases[] = {{7, 7}, {GE_CLEAR_TARGET, D3DCLEAR_TARGET}, {GE_CLEAR_ZBUFFER, D3DCLEAR_ZBUFFER},
                 {GE_CLEAR_STENCIL, D3DCLEAR_STENCIL}, {0, 0}};
    Create();
    for (const auto& c : cases) {
        Device()->ClearCalls();
        wrapper->Clear(c.engine, 0xFF102030, 0.5f);
        EXPECT_THAT(Device()->calls, ElementsAre("Clear(0, " + std::to_string(c.d3d) + ", 4279246896, 0.5, 0)"));
    }
    // Not guarded: it reaches the device while minimised and returns its answer.
    wrapper->m_minimised = 1;
    Device()->results["Clear"] = D3DERR_INVALIDCALL;
    EXPECT_EQ(D3DERR_INVALIDCALL, wrapper->Clear(GE_CLEAR_TARGET, 0, 1.0f));
}

TEST_F(GmDeviceWrapper, ViewportOutsideTheBackBufferIsReported)
{
    Create();
    wrapper->SetViewPort({0, 0, 320, 240, 0.0f, 1.0f});
    EXPECT_TRUE(errorBoxes.Messages().empty());
    wrapper->SetViewPort({10, 0, 320, 240, 0.0f, 1.0f});
    EXPECT_THAT(errorBoxes.Messages(), ElementsAre("CGmDeviceWrapper::SetViewPort failed: out of range\n"));
    // A zero size is passed on unchecked.
    wrapper->SetViewPort({1000, 1000, 0, 240, 0.0f, 1.0f});
    EXPECT_EQ(1u, errorBoxes.Messages().size());
    EXPECT_EQ(3, Device()->Count("SetViewport"));

    Device()->results["SetViewport"] = D3DERR_INVALIDCALL;
    wrapper->SetViewPort({0, 0, 10, 10, 0.0f, 1.0f});
    EXPECT_TRUE(errorBoxes.Saw("CGmDeviceWrapper::SetViewPort failed: D3DERR_INVALIDCALL\n"));
}

TEST_F(GmDeviceWrapper, GammaIsClampedAndOnlyChangesSendARamp)
{
    GeDeviceConfig* previous = g_videoSettings;
    g_videoSettings = nullptr;
    settings.windowed = 0;
    Create();
    wrapper->SetGamma(1.0f);
    EXPECT_TRUE(Device()->calls.empty());
    wrapper->SetGamma(2.0f);
    EXPECT_EQ(1.5f, wrapper->m_gamma);
    // (128 / 255) ^ 0.5 * 65535.
    EXPECT_THAT(Device()->calls, ElementsAre("SetGammaRamp(0, 0, 46431)"));
    wrapper->SetGamma(0.1f);
    EXPECT_EQ(0.5f, wrapper->m_gamma);
    wrapper->SetGamma(0.5f);
    EXPECT_EQ(2, Device()->Count("SetGammaRamp"));
    g_videoSettings = previous;
}

TEST_F(GmDeviceWrapper, WindowedGammaGoesToTheDesktopAndOneIsLinear)
{
    GeDeviceConfig* previous = g_videoSettings;
    g_videoSettings = nullptr;
    Create();
    wrapper->SetGamma(0.7f);
    wrapper->SetGamma(1.0f);
    EXPECT_EQ(0, Device()->Count("SetGammaRamp"));
    WORD ramp[3][256];
    HDC dc = GetDC(GetDesktopWindow());
    ASSERT_TRUE(GetDeviceGammaRamp(dc, ramp));
    ReleaseDC(GetDesktopWindow(), dc);
    for (int i = 0; i < 256; ++i) {
        ASSERT_EQ(257 * i, ramp[0][i]) << i;
        ASSERT_EQ(257 * i, ramp[2][i]) << i;
    }
    g_videoSettings = previous;
}

// ---------------------------------------------------------------------------
// Transforms, samplers, render targets, defaults.

TEST_F(GmDeviceWrapper, TransformsKeepTheEngineMatrixAndSendTheTranspose)
{
    Create();
    float world[16] = {1, 0, 0, 7, 0, 1, 0, 8, 0, 0, 1, 9, 0, 0, 0, 1};
    EXPECT_EQ(D3D_OK, wrapper->SetTransform(world, 3));
    EXPECT_EQ(0, memcmp(world, wrapper->m_world[3], sizeof(world)));
    EXPECT_EQ(7.0f, wrapper->m_worldD3d[3]._41);
    EXPECT_EQ(9.0f, wrapper->m_worldD3d[3]._43);
    wrapper->ResetWorldTransform();
    EXPECT_EQ(0.0f, wrapper->m_world[0][3]);
    float view[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 5, 0, 0, 0, 1};
    float projection[16] = {2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 1, -10, 0, 0, 1, 0};
    wrapper->SetViewProjection(view, projection);
    EXPECT_THAT(Device()->calls,
                ElementsAre("SetTransform(D3DTS_WORLD3, 7, 8, 9)", "SetTransform(D3DTS_WORLD, 0, 0, 0)",
                            "SetTransform(D3DTS_VIEW, 0, 0, 5)", "SetTransform(D3DTS_PROJECTION, 0, 0, -10)"));
    EXPECT_EQ(5.0f, wrapper->m_viewD3d._43);
    EXPECT_EQ(-10.0f, wrapper->m_projection[11]);
}

TEST_F(GmDeviceWrapper, SamplerSettersCacheEngineCodesAndRestoreSetsOnlyStageZero)
{
    Create();
    wrapper->SetAddressU(1, 2);
    wrapper->SetAddressV(1, 4);
    EXPECT_THAT(Device()->calls,
                ElementsAre("SetSamplerState(1, D3DSAMP_ADDRESSU, 3)", "SetSamplerState(1, D3DSAMP_ADDRESSV, 4)"));
    EXPECT_EQ(2u, wrapper->m_addressU[1]);
    EXPECT_EQ(4u, wrapper->m_addressV[1]);

    for (int stage = 0; stage < 8; ++stage) {
        wrapper->m_savedFilters[stage][0] = 1;
        wrapper->m_savedFilters[stage][1] = 3;
    }
    Device()->ClearCalls();
    wrapper->RestoreSamplerFilters();
    EXPECT_THAT(Device()->calls,
                ElementsAre("SetSamplerState(0, D3DSAMP_MAGFILTER, 1)", "SetSamplerState(0, D3DSAMP_MINFILTER, 3)"));
    EXPECT_EQ(1u, wrapper->m_filters[7][0]);
    EXPECT_EQ(3u, wrapper->m_filters[7][1]);
}

TEST_F(GmDeviceWrapper, RenderTargetSwitchSavesAndRestoresTheSurfaces)
{
    Create();
    FakeSurface& backBuffer = Device()->renderTarget;
    wrapper->SetRenderTarget(nullptr);
    EXPECT_EQ(2, backBuffer.refs);
    EXPECT_EQ(&backBuffer, wrapper->m_argbSurface);
    ASSERT_NE(nullptr, wrapper->m_depthSurface);
    wrapper->RestoreRenderTarget();
    EXPECT_THAT(Device()->Matching("Set"), ElementsAre("SetRenderTarget(0, ptr)", "SetDepthStencilSurface(ptr)"));
    EXPECT_EQ(1, backBuffer.refs);
    EXPECT_EQ(nullptr, wrapper->m_argbSurface);
    EXPECT_EQ(nullptr, wrapper->m_depthSurface);

    // Skipped calls still give the saved references back.
    wrapper->SetRenderTarget(nullptr);
    wrapper->m_minimised = 1;
    wrapper->RestoreRenderTarget();
    EXPECT_EQ(1, backBuffer.refs);

    // A second switch without a restore, then the end: nothing is kept.
    wrapper->m_minimised = 0;
    wrapper->SetRenderTarget(nullptr);
    wrapper->SetRenderTarget(nullptr);
    EXPECT_EQ(2, backBuffer.refs);
    wrapper.reset();
    EXPECT_EQ(1, backBuffer.refs);
}

TEST_F(GmDeviceWrapper, DefaultStatesInTheirOrder)
{
    Create();
    wrapper->ApplyDefaultStates();
    std::vector<std::string> renderStates = Device()->Matching("SetRenderState");
    EXPECT_THAT(renderStates,
                ElementsAre("SetRenderState(D3DRS_FILLMODE, 3)", "SetRenderState(D3DRS_CULLMODE, 1)",
                            "SetRenderState(D3DRS_ZENABLE, 1)", "SetRenderState(D3DRS_ZWRITEENABLE, 1)",
                            "SetRenderState(D3DRS_ZFUNC, 4)", "SetRenderState(D3DRS_DEPTHBIAS, 0)",
                            "SetRenderState(D3DRS_STENCILENABLE, 0)", "SetRenderState(D3DRS_STENCILFUNC, 8)",
                            "SetRenderState(D3DRS_STENCILFAIL, 1)", "SetRenderState(D3DRS_STENCILZFAIL, 1)",
                            "SetRenderState(D3DRS_STENCILPASS, 1)", "SetRenderState(D3DRS_STENCILREF, 0)",
                            "SetRenderState(D3DRS_ALPHABLENDENABLE, 1)", "SetRenderState(D3DRS_ALPHAFUNC, 8)",
                            "SetRenderState(D3DRS_ALPHAREF, 0)", "SetRenderState(D3DRS_TEXTUREFACTOR, 0)"));
    // Per stage: linear filters, wrap addressing, its own coordinate set.
    EXPECT_THAT(Device()->Matching("SetSamplerState(7,"),
                ElementsAre("SetSamplerState(7, D3DSAMP_MAGFILTER, 2)", "SetSamplerState(7, D3DSAMP_MINFILTER, 2)",
                            "SetSamplerState(7, D3DSAMP_ADDRESSU, 1)", "SetSamplerState(7, D3DSAMP_ADDRESSV, 1)"));
    EXPECT_THAT(Device()->Matching("SetTextureStageState(7,"),
                ElementsAre("SetTextureStageState(7, D3DTSS_TEXCOORDINDEX, 7)"));
}

// ---------------------------------------------------------------------------
// Display modes.

TEST_F(GmDeviceWrapper, ModesAreSortedAndTheLargestFittingOneIsChosen)
{
    s_direct3D->modes = {{1024, 768, 75, D3DFMT_X8R8G8B8}, {800, 600, 60, D3DFMT_X8R8G8B8},
                         {1024, 768, 60, D3DFMT_X8R8G8B8}, {1280, 1024, 60, D3DFMT_X8R8G8B8},
                         {640, 480, 60, D3DFMT_X8R8G8B8},  {1024, 600, 60, D3DFMT_X8R8G8B8}};
    settings.width = 1100;
    settings.height = 900;
    settings.refreshRate = 60;
    Create();
    ASSERT_EQ(6u, wrapper->m_modes.Count());
    const uint32_t expected[6][3] = {{640, 480, 60},  {800, 600, 60},  {1024, 600, 60},
                                     {1024, 768, 60}, {1024, 768, 75}, {1280, 1024, 60}};
    for (uint32_t i = 0; i < 6; ++i) {
        EXPECT_EQ(expected[i][0], wrapper->m_modes[i].width);
        EXPECT_EQ(expected[i][1], wrapper->m_modes[i].height);
        EXPECT_EQ(expected[i][2], wrapper->m_modes[i].refreshRate);
    }
    // The window was made for the chosen mode.
    EXPECT_EQ(1024u, wrapper->BackBufferWidth());
    EXPECT_EQ(768u, wrapper->BackBufferHeight());

    const struct {
        uint32_t w, h, rate;
        uint32_t ew, eh, erate;
    } cases[] = {
        {1280, 1024, 60, 1280, 1024, 60}, {1280, 1024, 75, 1024, 768, 75}, {1000, 700, 60, 800, 600, 60},
        {1024, 700, 60, 1024, 600, 60},   {600, 400, 60, 600, 400, 60},    {1280, 1024, 85, 1280, 1024, 85},
    };
    for (const auto& c : cases) {
        GmDisplayMode mode = wrapper->ChooseMode(c.w, c.h, c.rate);
        EXPECT_EQ(c.ew, mode.width) << c.w << "x" << c.h << "@" << c.rate;
        EXPECT_EQ(c.eh, mode.height) << c.w << "x" << c.h << "@" << c.rate;
        EXPECT_EQ(c.erate, mode.refreshRate) << c.w << "x" << c.h << "@" << c.rate;
    }
}

// ---------------------------------------------------------------------------
// Destruction.

TEST_F(GmDeviceWrapper, DestructionRestoresGammaAndTakesTheWindow)
{
    settings.windowed = 0;
    GeDeviceConfig* previous = g_videoSettings;
    g_videoSettings = nullptr;
    Create();
    wrapper->SetGamma(1.3f);
    HWND window = wrapper->GetWindow();
    RecordingDevice* device = Device();
    device->ClearCalls();
    wrapper.reset();
    EXPECT_THAT(device->calls, ElementsAre("GetDepthStencilSurface()", "SetGammaRamp(0, 0, 32896)"));
    EXPECT_EQ(0, device->refs);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(1, s_direct3D->refs);
    g_videoSettings = previous;
}
