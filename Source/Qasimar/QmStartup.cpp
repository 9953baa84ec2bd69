#include "Source/Qasimar/QmStartup.h"

#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"

#include <unistd.h>

#include <climits>

int32_t g_referenceScreenWidth = 0;
int32_t g_referenceScreenHeight = 0;
CGmStaticCamera* g_staticCamera = nullptr;

namespace {

// Nothing is drawn yet: each frame shows the cleared back buffer.
const uint32_t kClearColor = 0xFF000000;

} // namespace

bool StartGame(int32_t referenceWidth, int32_t referenceHeight, QmSettingsReader readSettings)
{
    g_referenceScreenWidth = referenceWidth;
    g_referenceScreenHeight = referenceHeight;

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

    SetupViewport();
    g_pGmDevice->SetGamma(g_videoSettings->gamma);
    g_pGmDevice->SetZEnable(1);
    g_pGmDevice->SetZWriteEnable(1);
    g_pGmDevice->SetZFunc();
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
    camera.screenWidth = g_referenceScreenWidth;
    camera.screenHeight = g_referenceScreenHeight;
    camera.boundWidth = (float)g_referenceScreenWidth;
    camera.boundHeight = (float)g_referenceScreenHeight;
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
