// Platform-internal view of the window layer for the other Platform libraries
// (the Direct3D-shaped device) and for the layer's own tests. Nothing above
// Platform/ includes this header: it brings in SDL.
// Internal header of the platform layer: only Platform/ and its tests include it.
#pragma once

#include <SDL.h>

#include "Platform/Win32/WinTypes.h"

// Starts SDL's video subsystem once (with the quit-on-signal behaviour the
// window layer expects). Window creation calls it; the device layer may call
// it earlier, e.g. to set GL attributes before the window exists. Safe to call
// repeatedly; false when SDL video cannot start.
bool WinEnsureSdlVideo();

// The SDL window behind a window handle, or null for an unknown handle. Every
// window is created with SDL_WINDOW_OPENGL (when the driver has GL), so a GL
// context can be made for it; GL attributes that choose the window's visual
// (depth, stencil, double buffering) must be set before CreateWindowExA. The
// full-screen style (WS_POPUP alone) gives a borderless window; switching the
// display mode is the device's business (SDL_SetWindowFullscreen).
SDL_Window* WinGetSdlWindow(HWND window);

// The device outlives its window at shutdown: DestroyWindow hides the SDL
// window but keeps it (and so its GL context's drawable) until every holder
// has released it. Retain returns the SDL window (null for an unknown handle).
SDL_Window* WinRetainSdlWindow(HWND window);
void WinReleaseSdlWindow(SDL_Window* window);

// The device gamma ramp, red, green and blue, 256 words each (full scale
// 65535). SetDeviceGammaRamp stores it; the device's own SetGammaRamp may store
// it too. The serial changes at every store, so the final blit knows when to
// rebuild its lookup; it is 0 while no ramp was ever set (identity).
struct WinGammaRamp {
    WORD red[256];
    WORD green[256];
    WORD blue[256];
};
void WinStoreGammaRamp(const WinGammaRamp& ramp);
uint32_t WinGetGammaRamp(WinGammaRamp* ramp);

// Message box seam: the function that shows the dialog (SDL_ShowMessageBox
// unless the video driver is headless). Tests script it. Returns the previous
// one; null restores the default.
typedef int (*WinMessageBoxBackend)(const SDL_MessageBoxData* data, int* buttonId);
WinMessageBoxBackend WinSetMessageBoxBackend(WinMessageBoxBackend backend);

// Releases the ClipCursor confinement around a modal dialog and restores it.
void WinSuspendCursorClip();
void WinResumeCursorClip();

// Full screen shows the back buffer scaled into the whole window with its
// aspect ratio kept and black bars beside or above it. The rectangle the back
// buffer (sourceWidth x sourceHeight) takes inside an area of areaWidth x
// areaHeight, centred; empty when either size is empty.
SDL_Rect WinLetterbox(int sourceWidth, int sourceHeight, int areaWidth, int areaHeight);

// The device tells the window layer that it shows a back buffer of width x
// height scaled into this window (full screen), so that mouse messages, WM_SIZE
// and GetClientRect speak back-buffer pixels, as the engine's 2D maths expects.
// 0 x 0 ends the scaling (windowed: client and back buffer are the same).
void WinSetBackBufferScaling(SDL_Window* window, int width, int height);
