#include "Engine/Core/Gm/GeHub.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeDateTime.h"
#include "Engine/Core/Common/GeFileData.h"
#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Common/GeRandom.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmDebugDraw.h"
#include "Engine/Core/Gm/GmLayers.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "Engine/Core/Gm/GmResCollector.h"
#include "Engine/Core/Gm/GmShadow.h"
#include "Engine/Core/Pack/Harvester.h"

#include <cstdlib>
#include <cstring>

CGmDeviceWrapper* CGeHub::s_wrappers[kMaxDevices];
CGmRenderStateCache* CGeHub::s_stateCaches[kMaxDevices];
CGmResourceManager* CGeHub::s_resourceManagers[kMaxDevices];
CGmCamera* CGeHub::s_cameras3d[kMaxDevices];
CGmCamera* CGeHub::s_cameras2d[kMaxDevices];
GeViewport* CGeHub::s_viewportOverrides[kMaxDevices];
GeViewport CGeHub::s_viewports[kMaxDevices];
uint32_t CGeHub::s_deviceCount = 0;
uint32_t CGeHub::s_currentSlot = 0;

float g_halfPixelOffsetX = 0.0f;
float g_halfPixelOffsetY = 0.0f;
float g_2dOffsetMatrix[16];
float g_2dOffsetVector[4];

// ---------------------------------------------------------------------------
// Engine core.

void GeCoreInit()
{
    GeCpuProbeCreate();
    g_geTimer = new CGeTimer(25.0f);
    GeSimdCreate();
    GeSrand(CGeDateTimeDecoder::Now());
    if (g_packPath.length)
        CHarvester::Init();
    g_videoSettings = new GeDeviceConfig();
    SetDefaultDeviceConfig(*g_videoSettings);
    g_xmlHandle = new XmlHandle();
    // Texts keep their blanks as written.
    TiXmlBase::SetCondenseWhiteSpace(false);
    g_pGmResCollector = new CGmResCollector();
}

void GeCoreShutdown()
{
    delete g_pGmResCollector;
    g_pGmResCollector = nullptr;
    delete g_xmlHandle;
    g_xmlHandle = nullptr;
    delete g_videoSettings;
    g_videoSettings = nullptr;
    GeSimdDestroy();
    delete g_geTimer;
    g_geTimer = nullptr;
    CHarvester::Unmount();
    GeCpuProbeDestroy();
}

// ---------------------------------------------------------------------------
// Devices.

void CGeHub::Init(const GeDeviceConfig& settings)
{
    for (uint32_t slot = 0; slot < kMaxDevices; ++slot) {
        s_wrappers[slot] = nullptr;
        s_stateCaches[slot] = nullptr;
        s_resourceManagers[slot] = nullptr;
        s_cameras3d[slot] = nullptr;
        s_cameras2d[slot] = nullptr;
        s_viewportOverrides[slot] = nullptr;
    }
    s_deviceCount = 0;
    const uint32_t slot = CreateDevice(settings);

    g_pGmRenderStateCache = s_stateCaches[slot];
    g_pGmDevice = s_wrappers[slot];
    g_pGmResourceManager = s_resourceManagers[slot];
    s_currentSlot = slot;

    CreateDebugBuffers();
    g_pGmDevice->BeginScene();
    g_pGmDevice->EndScene();
    g_shadowFaceBuffer = (uint8_t*)malloc(kShadowFaceBufferSize);
    g_pGmLayers = new CGmLayers();

    const float offset = g_videoSettings ? g_videoSettings->halfPixelOffset : settings.halfPixelOffset;
    g_halfPixelOffsetX = offset;
    g_halfPixelOffsetY = offset;
    static const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    memcpy(g_2dOffsetMatrix, kIdentity, sizeof(g_2dOffsetMatrix));
    g_2dOffsetMatrix[3] = offset;
    g_2dOffsetMatrix[7] = offset;
    for (float& component : g_2dOffsetVector)
        component = offset;
}

uint32_t CGeHub::CreateDevice(const GeDeviceConfig& settings)
{
    if (s_deviceCount >= kMaxDevices) {
        GeLog(1, "CGeHub::CreateDevice: all %u device slots are taken\n", kMaxDevices);
        return kMaxDevices;
    }
    const uint32_t slot = s_deviceCount;
    s_wrappers[slot] = new CGmDeviceWrapper(settings);
    s_wrappers[slot]->m_afterReset = &CGeHub::ApplyBackBufferSize;
    s_stateCaches[slot] = new CGmRenderStateCache(s_wrappers[slot]);
    s_stateCaches[slot]->Reset();
    s_resourceManagers[slot] = new CGmResourceManager();
    s_deviceCount++;
    return slot;
}

void CGeHub::Shutdown()
{
    ReleaseShadowResources();
    ReleaseDebugBuffers();
    delete g_pGmLayers;
    g_pGmLayers = nullptr;
    for (uint32_t slot = 0; slot < kMaxDevices; ++slot) {
        delete s_stateCaches[slot];
        s_stateCaches[slot] = nullptr;
        delete s_resourceManagers[slot];
        s_resourceManagers[slot] = nullptr;
        delete s_wrappers[slot];
        s_wrappers[slot] = nullptr;
    }
    s_deviceCount = 0;
    g_pGmRenderStateCache = nullptr;
    g_pGmDevice = nullptr;
    g_pGmResourceManager = nullptr;
}

// ---------------------------------------------------------------------------
// Viewports.

GeViewport* CGeHub::GetViewportOverride()
{
    return s_viewportOverrides[s_currentSlot];
}

void CGeHub::SetViewport(uint32_t x, uint32_t y, uint32_t width, uint32_t height, float minZ, float maxZ)
{
    GeViewport& viewport = s_viewports[s_currentSlot];
    viewport = {x, y, width, height, minZ, maxZ};
    s_viewportOverrides[s_currentSlot] = &viewport;
    for (CGmCamera* camera : {s_cameras2d[s_currentSlot], s_cameras3d[s_currentSlot]}) {
        if (camera) {
            camera->SetViewport(&viewport);
            camera->frame.localDirty = 1;
        }
    }
}

void CGeHub::ResetViewport()
{
    s_viewportOverrides[s_currentSlot] = nullptr;
    for (CGmCamera* camera : {s_cameras2d[s_currentSlot], s_cameras3d[s_currentSlot]}) {
        if (camera) {
            camera->SetViewport(nullptr);
            camera->frame.localDirty = 1;
        }
    }
}

void CGeHub::ApplyBackBufferSize()
{
    CGmDeviceWrapper* wrapper = s_wrappers[0];
    if (!wrapper)
        return;
    const uint32_t width = wrapper->BackBufferWidth();
    const uint32_t height = wrapper->BackBufferHeight();
    if (CGmCamera* camera = s_cameras2d[0]) {
        camera->SetViewportParams({0, 0, width, height, 0.0f, 1.0f});
        camera->SetClipRect(nullptr);
    }
    if (CGmCamera* camera = s_cameras3d[0]) {
        camera->SetViewportParams({0, 0, width, height, camera->currentViewport.MinZ, camera->currentViewport.MaxZ});
        camera->SetClipRect(nullptr);
    }
}
