// The engine hub: per-device tables (wrapper, render-state cache, resource
// manager, cameras, viewport override) for up to eight devices, with the
// current device's objects mirrored in program-wide pointers; and the start
// and end of the engine core.
//
// Order of a run: GeCoreInit, the settings file is read into g_videoSettings,
// CGeHub::Init, frames, CGeHub::Shutdown, GeCoreShutdown.
#pragma once

#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GeViewport.h"

#include <cstdint>

class CGmDeviceWrapper;
class CGmRenderStateCache;
class CGmResourceManager;
class CGmCamera;

// Processor probe, frame timer, SIMD kernels, random seed, packs (when the
// pack path is set), default settings, the shared XML handle and the
// resource collector, in that order; GeCoreShutdown undoes it in reverse.
void GeCoreInit();
void GeCoreShutdown();

class CGeHub {
public:
    static constexpr uint32_t kMaxDevices = 8;

    // Creates device slot 0 (wrapper with its window, render-state cache,
    // resource manager), makes it current, then the debug buffers, one empty
    // scene, the shadow work buffer, the render layers and the 2D offsets.
    static void Init(const GeDeviceConfig& settings);
    // The new slot's index; kMaxDevices when every slot is taken.
    static uint32_t CreateDevice(const GeDeviceConfig& settings);
    static void Shutdown();

    // A viewport override for the current slot, passed to its cameras.
    static void SetViewport(uint32_t x, uint32_t y, uint32_t width, uint32_t height, float minZ, float maxZ);
    static void ResetViewport();
    // Pushes slot 0's back-buffer size into slot 0's cameras (after a reset).
    static void ApplyBackBufferSize();

    // The current slot's override, or null.
    static GeViewport* GetViewportOverride();

    // The tables. The cameras are set by the game, never created here.
    static CGmDeviceWrapper* s_wrappers[kMaxDevices];
    static CGmRenderStateCache* s_stateCaches[kMaxDevices];
    static CGmResourceManager* s_resourceManagers[kMaxDevices];
    static CGmCamera* s_cameras3d[kMaxDevices];
    static CGmCamera* s_cameras2d[kMaxDevices];
    static GeViewport* s_viewportOverrides[kMaxDevices];
    static GeViewport s_viewports[kMaxDevices];
    static uint32_t s_deviceCount;
    static uint32_t s_currentSlot;
};

// The current render-state cache (the wrapper and the resource manager
// mirrors sit beside their classes).
extern CGmRenderStateCache* g_pGmRenderStateCache;

// The half-pixel offset of 2D drawing: for the 2D visuals, as a translation
// matrix (x and y) and as a four-float vector.
extern float g_halfPixelOffsetX;
extern float g_halfPixelOffsetY;
extern float g_2dOffsetMatrix[16];
extern float g_2dOffsetVector[4];
