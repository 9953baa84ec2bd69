// The program's start-up and shutdown routines and its main loop.
//
// Start-up, in this order: the pack path (working directory + "resource.fpk"),
// the engine core, the settings, the engine hub with device slot 0, the 2D
// camera's viewport, the settings' gamma and the depth states. Shutdown ends
// the hub, then the core.
#pragma once

#include "Engine/Core/Common/GeDeviceConfig.h"

#include <cstdint>

class CGmStaticCamera;

// The reference screen from which 2D sizes are given.
extern int32_t g_referenceScreenWidth;
extern int32_t g_referenceScreenHeight;

// The program-wide 2D camera.
extern CGmStaticCamera* g_staticCamera;

// Fills the settings record between the core's defaults and the device's
// creation; null keeps the defaults.
typedef void (*QmSettingsReader)(GeDeviceConfig& settings);

// False when there is no device to draw with (the error box has said why).
bool StartGame(int32_t referenceWidth, int32_t referenceHeight, QmSettingsReader readSettings);
void ShutdownGame();

// Makes the static camera the 2D camera of the current device slot, over the
// reference screen, and sets the device viewport to the whole back buffer.
void SetupViewport();

// One frame: timer, an empty cleared scene, present, window messages.
void RunFrame();
// Frames while the device window lives; returns how many ran.
uint32_t RunMainLoop();
