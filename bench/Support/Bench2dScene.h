// Slot 0 of the engine hub set up for drawing 2D visuals on CBenchDevice's 64
// by 64 back buffer: the render-state cache and a 2D camera over the
// reference screen (1280 by 1024), undone when the scene ends.
#pragma once

#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"

class CBench2dScene {
public:
    CBench2dScene()
    {
        g_pGmRenderStateCache = &states;
        CGeHub::s_currentSlot = 0;
        camera.screenWidth = 1280;
        camera.screenHeight = 1024;
        camera.boundWidth = 1280.0f;
        camera.boundHeight = 1024.0f;
        camera.Apply({0, 0, 64, 64, 0.0f, 1.0f});
        CGeHub::s_cameras2d[0] = &camera;
        states.Reset();
    }
    ~CBench2dScene()
    {
        CGeHub::s_cameras2d[0] = nullptr;
        g_pGmRenderStateCache = nullptr;
    }
    CBench2dScene(const CBench2dScene&) = delete;
    CBench2dScene& operator=(const CBench2dScene&) = delete;

    CGmRenderStateCache states{g_pGmDevice};
    CGmStaticCamera camera;
};
