// A device wrapper over the recording device on a hidden window, a dispatcher,
// the settings record and a 2D camera of the reference size: what the input
// devices and the GUI need around them. Messages go to the device window
// through the platform's SendMessageA, as the window procedure would get them.
#pragma once

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Platform/Win32/WinMessages.h"
#include "tests/Engine/Core/Gm/GLibLoc/D3d/DeviceTestFixture.h"

#include <vector>

class GuiDeviceTest : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        m_previousDispatcher = g_dispatcher;
        g_dispatcher = &dispatcher;
        m_previousSettings = g_videoSettings;
        g_videoSettings = &settings;
        camera.boundWidth = 1280.0f;
        camera.boundHeight = 1024.0f;
        m_previousCamera = CGeHub::s_cameras2d[CGeHub::s_currentSlot];
        CGeHub::s_cameras2d[CGeHub::s_currentSlot] = &camera;
    }

    void TearDown() override
    {
        CGeHub::s_cameras2d[CGeHub::s_currentSlot] = m_previousCamera;
        if (g_pGmDevice == wrapper.get())
            g_pGmDevice = nullptr;
        DeviceTest::TearDown();
        g_videoSettings = m_previousSettings;
        g_dispatcher = m_previousDispatcher;
    }

    // The wrapper at a display size, current for the devices made after it.
    void CreateAt(int width, int height)
    {
        settings.width = width;
        settings.height = height;
        Create();
        g_pGmDevice = wrapper.get();
    }

    LRESULT Send(UINT message, WPARAM wParam, LPARAM lParam)
    {
        return SendMessageA(wrapper->GetWindow(), message, wParam, lParam);
    }

    // The codes the sender has pending, in posting order.
    std::vector<uint32_t> Pending(CCiMessageClient* sender)
    {
        uint32_t codes[CCiDispatcher::kMaxCollected];
        uint32_t n = dispatcher.CollectFor(sender, codes);
        if (n > CCiDispatcher::kMaxCollected)
            n = CCiDispatcher::kMaxCollected;
        return std::vector<uint32_t>(codes, codes + n);
    }

    // Delivers what is pending, so the next frame starts empty.
    void EndFrame() { dispatcher.RunPass(); }

    CCiDispatcher dispatcher;
    CGmStaticCamera camera;

private:
    CCiDispatcher* m_previousDispatcher = nullptr;
    GeDeviceConfig* m_previousSettings = nullptr;
    CGmCamera* m_previousCamera = nullptr;
};
