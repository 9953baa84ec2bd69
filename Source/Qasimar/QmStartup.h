// The program's spine outside the frame: start-up, the main loop and
// shutdown, as free functions over the program-wide pointers.
//
// StartGame creates the program-wide objects in a fixed order: the pack path,
// the engine core, the settings file, the engine hub with the device (whose
// parameters in force go back into the settings), the debug switches, the
// dispatcher before any message client, the location manager, the device
// states, the script processor, the 2D viewport, the game processor, sound
// and gamma. ShutdownGame deletes them in the reverse direction, skipping any
// pointer that is null, and leaves every pointer null.
//
// The GUI steps load "Gui/gui_res.xml", make the keyboard, the mouse, the
// cursor set from its twenty-cursor list and the GUI manager with its current
// set "mainCtrlSet". Parts of the game that do not exist yet (dialog system,
// inventory, menu, puzzle manager, mini-games, catalogues)
// keep their pointers null; their steps are marked where they belong.
#pragma once

#include "Engine/Core/Common/GeDeviceConfig.h"

#include <cstdint>

class CGmStaticCamera;

// The program-wide 2D camera over the reference screen.
extern CGmStaticCamera* g_staticCamera;

// The path of the main pack: the working directory + "resource.fpk".
// (g_packPath of the file layer holds it.)

// Called with the settings once the settings file is read, before the device
// is made from them: tests ask for a small window here. Null by default.
typedef void (*QmSettingsHook)(GeDeviceConfig& settings);
void SetStartupSettingsHook(QmSettingsHook hook);

// StartGame(1280, 1024), the window's caption and icon, the dialog text
// position, the cursors' hot spots, the start location "loc01" and the
// mini-games. False when there is no device to draw with.
bool InitApplication();
bool StartGame(int32_t referenceWidth, int32_t referenceHeight);
// Initialises the game processor, plays the logos, then steps frames while
// the device window lives. Returns the frames stepped after the logos.
uint32_t RunMainLoop();
void ShutdownGame();

// Makes the static camera the 2D camera of the current device slot, over the
// reference screen, and sets the device viewport to the whole back buffer.
void SetupViewport();
// Recomputes the screen scale, reference size divided by the back-buffer size
// per axis, into the current device slot's 2D scale pair (g_gm2dScale) and
// returns that pair. It is the one copy: sprites and fonts size by it, and
// picking divides mouse positions by it.
const float* UpdateScreenScale();
// Creates the mini-games and registers them by name with the game processor.
void RegisterArcades();
// Sets the hot spot of cursor index (1 to 20) of the cursor set.
void SetCursorHotSpot(uint32_t index, int32_t x, int32_t y);
