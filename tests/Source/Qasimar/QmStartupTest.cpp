// The program's start-up, main loop and shutdown on the platform's device,
// headless: the window opens, frames are cleared and presented until the
// window is closed, and everything is gone afterwards.
#include "Source/Qasimar/QmStartup.h"

#include "Engine/Core/Common/GeAuxOverlay.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "Platform/Win32/WinMessages.h"
#include "tests/Support/ErrorBoxRecorder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <string>
#include <vector>

namespace {

void SmallWindow(GeDeviceConfig& settings)
{
    settings.windowed = 1;
    settings.width = 160;
    settings.height = 128;
    settings.refreshRate = 1; // no display mode has it: the size is kept
    settings.gamma = 1.2f;
    settings.soundVolume = 0.25f;
}

} // namespace

TEST(QmStartup, OpensTheWindowPresentsFramesUntilClosedAndShutsDown)
{
    CErrorBoxRecorder errorBoxes;
    ASSERT_TRUE(StartGame(1280, 1024, SmallWindow));

    // The pack path names the working directory's packs (none here).
    char directory[PATH_MAX];
    ASSERT_NE(nullptr, getcwd(directory, sizeof(directory)));
    EXPECT_EQ(std::string(directory) + "/resource.fpk", g_packPath.c_str());

    // The 2D camera maps the reference screen onto the whole back buffer.
    ASSERT_NE(nullptr, g_staticCamera);
    EXPECT_EQ(g_staticCamera, CGeHub::s_cameras2d[0]);
    EXPECT_EQ(1280, g_staticCamera->screenWidth);
    EXPECT_EQ(1024.0f, g_staticCamera->boundHeight);
    EXPECT_EQ(160u, g_staticCamera->currentViewport.Width);
    EXPECT_EQ(128u, g_staticCamera->currentViewport.Height);
    EXPECT_EQ(160.0f / 1280.0f, g_staticCamera->scaleX);
    // Settings applied after the device: gamma, filters and the depth states.
    EXPECT_FLOAT_EQ(1.2f, g_pGmDevice->m_gamma);
    EXPECT_EQ(1, g_pGmDevice->m_zEnabled);
    EXPECT_EQ(1, g_pGmDevice->m_zWrite);
    EXPECT_EQ((uint32_t)D3DTEXF_LINEAR, g_pGmDevice->m_filters[1][1]);
    // The settings hold the parameters in force; the audio part stays.
    EXPECT_EQ(160, g_videoSettings->width);
    EXPECT_EQ(1, g_videoSettings->refreshRate);
    EXPECT_EQ(0.25f, g_videoSettings->soundVolume);
    EXPECT_EQ(1280, g_referenceScreenSize[0]);
    // A windowed game watches its debug switches.
    for (const char* name : {"show_aux_geom", "show_aux_info", "show_aux_profiler", "camera_movement"})
        EXPECT_TRUE(AuxOverlay::IsRegistered(name)) << name;

    // A frame shows the cleared back buffer.
    std::vector<uint32_t> pixels(160 * 128, 0x12345678);
    D3d9CaptureNextPresent(g_pGmDevice->GetDevice(), pixels.data(), 160, 128);
    RunFrame();
    EXPECT_EQ(0xFF000000u, pixels[0]);
    EXPECT_EQ(0xFF000000u, pixels[160 * 128 - 1]);
    EXPECT_EQ(1u, g_geTimer->frames);

    // Nobody answers WM_CLOSE yet: the window goes and the loop ends.
    PostMessageA(g_pGmDevice->GetWindow(), WM_CLOSE, 0, 0);
    EXPECT_EQ(1u, RunMainLoop());
    EXPECT_EQ(0, g_pGmDevice->m_running);

    ShutdownGame();
    EXPECT_EQ(nullptr, g_pGmDevice);
    EXPECT_EQ(nullptr, g_videoSettings);
    EXPECT_EQ(nullptr, g_staticCamera);
    EXPECT_TRUE(errorBoxes.Messages().empty());
    g_packPath = "";
}
