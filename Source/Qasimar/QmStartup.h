// The program's start-up and shutdown routines and its main loop.
//
// Start-up, in this order: the pack path (working directory + "resource.fpk"),
// the engine core, the settings, the engine hub with device slot 0 (whose
// parameters in force go back into the settings), the debug switches, linear
// filtering on the first two sampler stages, the depth states, the 2D camera's
// viewport and the settings' gamma. Shutdown ends the hub, then the core.
#pragma once

#include "Engine/Core/Common/GeDeviceConfig.h"

#include <cstdint>

class CGmStaticCamera;

// The reference screen (width, height) for which all 2D layout is authored.
extern int32_t g_referenceScreenSize[2];

// The program-wide 2D camera.
extern CGmStaticCamera* g_staticCamera;

// The debug switches, watched by the debug overlay under the names
// "show_aux_geom", "show_aux_info", "show_aux_profiler" and "camera_movement"
// (the free debug camera moves while the last one is set).
extern uint8_t g_showAuxGeom;
extern uint8_t g_showAuxInfo;
extern uint8_t g_showAuxProfiler;
extern uint8_t g_cameraMovement;

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
