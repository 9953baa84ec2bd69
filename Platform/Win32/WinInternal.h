// Shared state of the window layer's own files: window records, the message
// queue, SDL key mapping and the input state. Not for use outside the layer
// (its tests excepted).
// Internal header of the platform layer: only Platform/ and its tests include it.
#pragma once

#include <SDL.h>

#include <string>

#include "Platform/Win32/WinMessages.h"
#include "Platform/Win32/WinTypes.h"
#include "Platform/Win32/WinWindow.h"

struct WinClassRecord {
    std::string name;
    ATOM atom;
    UINT style;
    WNDPROC proc;
    HCURSOR cursor;
    HICON icon;
};

struct WinWindowRecord {
    HWND handle;
    WinClassRecord* windowClass;
    SDL_Window* sdl;
    Uint32 sdlId;
    DWORD style;
    bool destroyed;
    int sdlHolders; // device layers holding the SDL window past DestroyWindow
    bool minimized;
    bool maximized;
    int clientWidth; // as last reported by SDL
    int clientHeight;
    // Back buffer shown scaled into the window (full screen); 0 when 1:1.
    int scaledWidth;
    int scaledHeight;
};

// Live windows only (not destroyed).
WinWindowRecord* WinFindWindow(HWND window);
WinWindowRecord* WinFindWindowBySdlId(Uint32 sdlId);
// The window that receives input without a window of its own (SDL_QUIT,
// events for unknown SDL windows): the oldest live window, i.e. the device
// window. Null when there is none.
WinWindowRecord* WinMainWindow();

// A position in the SDL window as a client position: the back-buffer pixel
// under it while the device scales (clamped to the back buffer), else the SDL
// position clamped to the client area.
void WinMapClientPosition(const WinWindowRecord* window, int x, int y, int* clientX, int* clientY);
// The other way, for SetCursorPos: the SDL window pixel that shows client
// position (x, y). While the device scales, the centre of that back-buffer
// pixel (clamped to the back buffer), so that WinMapClientPosition gives the
// position back; else the position as it is.
void WinMapSdlPosition(const WinWindowRecord* window, int clientX, int clientY, int* x, int* y);
// And for ClipCursor: the SDL window pixels that WinMapClientPosition maps
// into the client rectangle (right and bottom exclusive), cut to the image or
// the window. Empty (w or h <= 0) when nothing of it is visible.
SDL_Rect WinMapSdlRect(const WinWindowRecord* window, const RECT& client);
// The client size messages and GetClientRect report.
void WinClientSize(const WinWindowRecord* window, int* width, int* height);

// The client area's desktop position.
void WinClientOrigin(const WinWindowRecord* window, int* x, int* y);

// A queued message and what GetKeyState needs when it is read: the left or
// right virtual key behind a generic one, and SDL's lock-key state.
struct WinQueuedMessage {
    MSG msg;
    BYTE sideVk;
    Uint16 sdlMod;
};

void WinQueueAppend(HWND window, UINT message, WPARAM wParam, LPARAM lParam, BYTE sideVk = 0,
                    Uint16 sdlMod = 0);
// The entry appended last, while it is still queued; null otherwise.
WinQueuedMessage* WinQueueLast();
void WinQueueDropWindow(HWND window);
// Empties the queue and resets the read state (tests).
void WinQueueReset();

// Translates one batch of SDL events (one drain of SDL's queue) into queued
// messages. PeekMessageA calls it; tests call it with made-up events.
void WinTranslateSdlEvents(const SDL_Event* events, int count);
// Forgets the input state kept between events (tests).
void WinResetInputState();

// Virtual key, left/right key, set-1 scan code and extended bit of an SDL key.
struct WinKeyCode {
    BYTE vk;
    BYTE sideVk;
    BYTE scan;
    bool extended;
};
// False for keys that have no Win32 virtual key.
bool WinMapSdlKey(SDL_Scancode scancode, SDL_Keycode sym, Uint16 mod, WinKeyCode* key);
// The control character TranslateMessage makes for a key-down with the given
// modifiers, or -1 when the key types nothing by itself (its text comes from
// SDL's text input).
int WinControlCharacter(int vk, bool shift, bool ctrl);

// Key state as read messages report it, and as input arrives.
void WinKeyStateOnRead(const WinQueuedMessage& entry);
void WinAsyncKeyState(BYTE vk, BYTE sideVk, bool down);
void WinResetKeyState();

// Cursor shape: the window class's cursor comes back before each mouse
// message is dispatched; the wanted state is applied when the queue runs dry.
void WinCursorBeforeMouseDispatch(const WinWindowRecord* window);
void WinCursorApply();
// Last pointer position seen in the device window's client area.
void WinCursorSetClientPosition(int x, int y);
void WinCursorReset();
