#include "Source/Qasimar/QmStartup.h"

#include "Engine/Core/Common/GeAuxOverlay.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"

#include <unistd.h>

#include <climits>

int32_t g_referenceScreenSize[2] = {0, 0};
CGmStaticCamera* g_staticCamera = nullptr;
uint8_t g_showAuxGeom = 0;
uint8_t g_showAuxInfo = 0;
uint8_t g_showAuxProfiler = 0;
uint8_t g_cameraMovement = 0;

namespace {

// Nothing is drawn yet: each frame shows the cleared back buffer.
const uint32_t kClearColor = 0xFF000000;

// The device part of the record: every field up to and including the gamma.
void CopyDeviceParameters(GeDeviceConfig& to, const GeDeviceConfig& from)
{
    const int32_t soundCard = to.soundCard;
    const float soundVolume = to.soundVolume;
    to = from;
    to.soundCard = soundCard;
    to.soundVolume = soundVolume;
}

void RegisterDebugSwitches()
{
    AuxOverlay::RegisterVariable({&g_showAuxGeom, GE_VALUE_BOOL}, "show_aux_geom");
    AuxOverlay::RegisterVariable({&g_showAuxInfo, GE_VALUE_BOOL}, "show_aux_info");
    AuxOverlay::RegisterVariable({&g_showAuxProfiler, GE_VALUE_BOOL}, "show_aux_profiler");
    AuxOverlay::RegisterVariable({&g_cameraMovement, GE_VALUE_BOOL}, "camera_movement");
}

} // namespace

bool StartGame(int32_t referenceWidth, int32_t referenceHeight, QmSettingsReader readSettings)
{
    g_referenceScreenSize[0] = referenceWidth;
    g_referenceScreenSize[1] = referenceHeight;

    // Data comes from the packs beside the program's working directory.
    char directory[PATH_MAX];
    g_packPath = getcwd(directory, sizeof(directory)) ? directory : ".";
    g_packPath.Append("/resource.fpk");

    GeCoreInit();
    if (readSettings)
        readSettings(*g_videoSettings);
    CGeHub::Init(*g_videoSettings);
    if (!g_pGmDevice->GetDevice())
        return false;
    // The settings now hold what the device really uses (the chosen mode).
    CopyDeviceParameters(*g_videoSettings, g_pGmDevice->m_settings);
    RegisterDebugSwitches();

    for (uint32_t stage = 0; stage < 2; ++stage)
        g_pGmDevice->SetSamplerFilters(stage, D3DTEXF_LINEAR, D3DTEXF_LINEAR);
    g_pGmDevice->SetZEnable(1);
    g_pGmDevice->SetZWriteEnable(1);
    g_pGmDevice->SetZFunc();
    SetupViewport();
    g_pGmDevice->SetGamma(g_videoSettings->gamma);
    return true;
}

void ShutdownGame()
{
    CGeHub::Shutdown();
    delete g_staticCamera;
    g_staticCamera = nullptr;
    GeCoreShutdown();
}

void SetupViewport()
{
    if (!g_staticCamera)
        g_staticCamera = new CGmStaticCamera();
    CGmStaticCamera& camera = *g_staticCamera;
    CGeHub::s_cameras2d[CGeHub::s_currentSlot] = &camera;
    camera.screenWidth = g_referenceScreenSize[0];
    camera.screenHeight = g_referenceScreenSize[1];
    camera.boundWidth = (float)g_referenceScreenSize[0];
    camera.boundHeight = (float)g_referenceScreenSize[1];
    camera.requestedViewport = {0, 0, g_pGmDevice->BackBufferWidth(), g_pGmDevice->BackBufferHeight(), 0.0f, 1.0f};
    camera.SetViewport(CGeHub::GetViewportOverride());
    g_pGmDevice->SetViewPort(camera.currentViewport);
}

void RunFrame()
{
    g_geTimer->Update();
    g_pGmDevice->BeginScene();
    g_pGmDevice->Clear(GE_CLEAR_TARGET | GE_CLEAR_ZBUFFER | GE_CLEAR_STENCIL, kClearColor, 1.0f);
    g_pGmDevice->EndScene();
    g_pGmDevice->Present();
    PumpWindowMessages();
}

uint32_t RunMainLoop()
{
    uint32_t frames = 0;
    while (g_pGmDevice && g_pGmDevice->m_running) {
        RunFrame();
        frames++;
    }
    return frames;
}
