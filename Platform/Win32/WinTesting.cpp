#include "Platform/Win32/WinTesting.h"

#include <cstring>

#include "Platform/Win32/WinInternal.h"
#include "Platform/Win32/WinSdl.h"

namespace {

SDL_WindowEventID SdlWindowEvent(WinTestDesktopEvent event)
{
    switch (event) {
    case WinTestDesktopEvent::FocusGained:
        return SDL_WINDOWEVENT_FOCUS_GAINED;
    case WinTestDesktopEvent::FocusLost:
        return SDL_WINDOWEVENT_FOCUS_LOST;
    case WinTestDesktopEvent::Minimized:
        return SDL_WINDOWEVENT_MINIMIZED;
    case WinTestDesktopEvent::Restored:
        return SDL_WINDOWEVENT_RESTORED;
    case WinTestDesktopEvent::CloseRequest:
        break;
    }
    return SDL_WINDOWEVENT_CLOSE;
}

} // namespace

bool WinTestInjectDesktopEvent(HWND window, WinTestDesktopEvent what)
{
    const WinWindowRecord* record = WinFindWindow(window);
    if (!record)
        return false;
    SDL_Event event;
    memset(&event, 0, sizeof(event));
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = record->sdlId;
    event.window.event = (Uint8)SdlWindowEvent(what);
    WinTranslateSdlEvents(&event, 1);
    return true;
}

bool WinTestDescribeWindow(HWND window, WinTestWindowFacts* facts)
{
    const WinWindowRecord* record = WinFindWindow(window);
    if (!record || !facts)
        return false;
    const char* title = record->sdl ? SDL_GetWindowTitle(record->sdl) : "";
    facts->title = title ? title : "";
    facts->style = record->style;
    facts->className = record->windowClass->name;
    facts->classProcedure = record->windowClass->proc;
    facts->classStyle = record->windowClass->style;
    facts->classIcon = record->windowClass->icon;
    facts->classCursor = record->windowClass->cursor;
    return true;
}

bool WinTestStartVideo()
{
    return WinEnsureSdlVideo();
}

const char* WinTestVideoDriver()
{
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver ? driver : "";
}

void WinTestRefuseMessageBoxes()
{
    WinSetMessageBoxBackend([](const SDL_MessageBoxData*, int*) { return -1; });
}

uint32_t WinTestSdlWindowId(HWND window)
{
    SDL_Window* sdl = WinGetSdlWindow(window);
    return sdl ? SDL_GetWindowID(sdl) : 0;
}
