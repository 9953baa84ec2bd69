// A device wrapper over the recording stand-in of Direct3D, on a real (hidden,
// offscreen) window of the Win32 layer. Sleeps, trace lines and error boxes
// are recorded instead of happening.
#pragma once

#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "RecordingDevice.h"
#include "tests/Support/ErrorBoxRecorder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

class DeviceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        s_sleeps.clear();
        s_trace.clear();
        s_direct3D.reset(new RecordingDirect3D(nullptr));
        m_previousCreate = GmSetDirect3DCreateFunction(CreateRecording);
        m_previousSleep = GmSetSleepFunction(RecordSleep);
        m_previousTrace = GmSetTraceFunction(RecordTrace);
        SetDefaultDeviceConfig(settings);
        settings.windowed = 1;
        settings.width = 320;
        settings.height = 240;
    }

    void TearDown() override
    {
        wrapper.reset();
        s_direct3D.reset();
        GmSetDirect3DCreateFunction(m_previousCreate);
        GmSetSleepFunction(m_previousSleep);
        GmSetTraceFunction(m_previousTrace);
    }

    // Builds the wrapper and forgets the calls of its construction.
    void Create()
    {
        wrapper.reset(new CGmDeviceWrapper(settings));
        ASSERT_NE(nullptr, Device());
        Device()->ClearCalls();
        s_sleeps.clear();
        s_trace.clear();
    }

    RecordingDevice* Device() const { return s_direct3D->lastDevice; }

    static IDirect3D9* CreateRecording(UINT sdkVersion)
    {
        if (sdkVersion != D3D_SDK_VERSION || !s_direct3D)
            return nullptr;
        s_direct3D->AddRef();
        return s_direct3D.get();
    }
    static void RecordSleep(DWORD milliseconds) { s_sleeps.push_back(milliseconds); }
    static void RecordTrace(const char* text) { s_trace.push_back(text); }

    CErrorBoxRecorder errorBoxes;
    GeDeviceConfig settings;
    std::unique_ptr<CGmDeviceWrapper> wrapper;

    static std::unique_ptr<RecordingDirect3D> s_direct3D;
    static std::vector<DWORD> s_sleeps;
    static std::vector<std::string> s_trace;

private:
    GmDirect3DCreateFunction m_previousCreate = nullptr;
    GmSleepFunction m_previousSleep = nullptr;
    GmTraceFunction m_previousTrace = nullptr;
};

// The same wrapper over the platform's own GL device (32 by 16), seen through
// the recording decorator.
class PlatformDeviceTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        IDirect3D9* platform = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(nullptr, platform);
        s_direct3D.reset(new RecordingDirect3D(platform));
        settings.width = 32;
        settings.height = 16;
        settings.refreshRate = 1; // no display mode matches: the size stays
        Create();
        ASSERT_NE(nullptr, Device()->inner);
    }

    // Clears, presents and reads back what the window was given.
    bool PresentedFrameIs(uint32_t color, uint32_t shown)
    {
        std::vector<uint32_t> pixels(32 * 16, 0x12345678);
        wrapper->Clear(GE_CLEAR_TARGET, color, 1.0f);
        D3d9CaptureNextPresent(Device()->inner, pixels.data(), 32, 16);
        wrapper->Present();
        for (uint32_t pixel : pixels) {
            if (pixel != shown) {
                printf("shown %08x, expected %08x\n", pixel, shown);
                return false;
            }
        }
        return true;
    }
    bool PresentedFrameIs(uint32_t color) { return PresentedFrameIs(color, color); }
};
