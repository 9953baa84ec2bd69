// Shared by the check programs that run on a real X server (under xvfb-run
// with SDL_VIDEODRIVER=x11): the pass/fail tally they print, the start of SDL's
// x11 driver, a window procedure that records what input arrives, the message
// pump, and what the X server itself says about a window.
#pragma once

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "Platform/Win32/WinMessages.h"
#include "Platform/Win32/WinTesting.h"
#include "Platform/Win32/WinTime.h"
#include "Platform/Win32/WinWindow.h"

inline int g_xvfbFailures = 0;

// The X server's XTEST input calls, loaded at run time: the pointer moved to
// a root-window point, the first button and keys pressed and released as a
// user would.
struct XvfbFakeInput {
    typedef int (*Motion)(Display*, int, int, int, unsigned long);
    typedef int (*Button)(Display*, unsigned int, Bool, unsigned long);
    typedef int (*Key)(Display*, unsigned int, Bool, unsigned long);
    Motion motion = nullptr;
    Button button = nullptr;
    Key key = nullptr;
    Display* display = nullptr;

    bool Load(Display* target)
    {
        void* library = dlopen("libXtst.so.6", RTLD_NOW);
        if (!library || !target)
            return false;
        motion = (Motion)dlsym(library, "XTestFakeMotionEvent");
        button = (Button)dlsym(library, "XTestFakeButtonEvent");
        key = (Key)dlsym(library, "XTestFakeKeyEvent");
        display = target;
        return motion && button && key;
    }
    void MoveTo(int x, int y)
    {
        motion(display, -1, x, y, 0);
        XSync(display, False);
    }
    void Left(bool down)
    {
        button(display, 1, down ? True : False, 0);
        XSync(display, False);
    }
    void Tap(KeySym symbol)
    {
        const unsigned int code = XKeysymToKeycode(display, symbol);
        key(display, code, True, 0);
        key(display, code, False, 0);
        XSync(display, False);
    }
};

// Prints one result line; a failure makes the program's exit code 1.
inline void Check(bool ok, const char* what)
{
    printf("%s: %s\n", ok ? "ok" : "FAILED", what);
    if (!ok)
        g_xvfbFailures++;
}

// The last line and the exit code.
inline int XvfbCheckResult()
{
    printf("%s\n", g_xvfbFailures == 0 ? "PASSED" : "FAILED");
    return g_xvfbFailures == 0 ? 0 : 1;
}

// SDL video through the window layer, on the x11 driver; false (with the
// reason printed) otherwise. Message boxes are refused: a dialog on this
// display would wait for a click that never comes.
inline bool XvfbStartVideo()
{
    if (!WinTestStartVideo() || strcmp(WinTestVideoDriver(), "x11") != 0) {
        printf("FAILED: no x11 video driver (%s)\n", SDL_GetError());
        return false;
    }
    WinTestRefuseMessageBoxes();
    return true;
}

// The SDL window behind a window of the window layer, found by its id.
inline SDL_Window* XvfbSdlWindow(HWND window)
{
    return SDL_GetWindowFromID(WinTestSdlWindowId(window));
}

inline bool X11Info(SDL_Window* window, SDL_SysWMinfo* info)
{
    SDL_VERSION(&info->version);
    return window && SDL_GetWindowWMInfo(window, info) && info->subsystem == SDL_SYSWM_X11;
}

// Where the X server really has the window: its client area's root position.
inline bool XWindowOrigin(SDL_Window* window, int* x, int* y)
{
    SDL_SysWMinfo info;
    if (!X11Info(window, &info))
        return false;
    Window child;
    return XTranslateCoordinates(info.info.x11.display, info.info.x11.window,
                                 DefaultRootWindow(info.info.x11.display), 0, 0, x, y, &child) != 0;
}

// A pixel as the X server shows it in the window (24-bit TrueColor screen).
inline bool ShownPixelIs(SDL_Window* window, int x, int y, unsigned long rgb)
{
    SDL_SysWMinfo info;
    if (!X11Info(window, &info))
        return false;
    XSync(info.info.x11.display, False);
    XImage* image = XGetImage(info.info.x11.display, info.info.x11.window, x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return false;
    unsigned long value = XGetPixel(image, 0, 0) & 0xFFFFFF;
    XDestroyImage(image);
    printf("  shown pixel (%d, %d) = %06lx\n", x, y, value);
    return value == rgb;
}

// What the checks' window procedure has seen: the last mouse move and every
// key and character message, in order.
struct XvfbKeyMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
struct XvfbInput {
    bool sawMouseMove = false;
    LPARAM lastMove = 0;
    std::vector<XvfbKeyMessage> keys;
};
inline XvfbInput g_xvfbInput;

inline LRESULT XvfbWindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MOUSEMOVE) {
        g_xvfbInput.sawMouseMove = true;
        g_xvfbInput.lastMove = lParam;
    }
    if (message >= WM_KEYDOWN && message <= WM_SYSCHAR)
        g_xvfbInput.keys.push_back({message, wParam, lParam});
    return DefWindowProcA(window, message, wParam, lParam);
}

// Dispatches every queued message.
inline void XvfbPump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Pumps until done() holds or timeout milliseconds have passed; whether it held.
template <class Done>
bool XvfbPumpUntil(Done done, DWORD timeout = 2000)
{
    const DWORD start = GetTickCount();
    for (;;) {
        XvfbPump();
        if (done())
            return true;
        if (GetTickCount() - start >= timeout)
            return false;
        Sleep(5);
    }
}

// Pumps for a while, so that the X server maps, moves and shows windows.
inline void XvfbPumpFor(DWORD milliseconds)
{
    XvfbPumpUntil([] { return false; }, milliseconds);
}

// Pumps until a WM_MOUSEMOVE at position arrives (two seconds at most); the
// last move is printed either way.
inline bool XvfbWaitForMouseMove(LPARAM position)
{
    const bool arrived = XvfbPumpUntil(
        [position] { return g_xvfbInput.sawMouseMove && g_xvfbInput.lastMove == position; });
    printf("  last WM_MOUSEMOVE at (%d, %d)\n", GET_X_LPARAM(g_xvfbInput.lastMove),
           GET_Y_LPARAM(g_xvfbInput.lastMove));
    return arrived;
}
