// End-to-end check of the program's start-up on a real X server (run under
// xvfb-run with SDL_VIDEODRIVER=x11): the device window opens at the top
// right corner of the screen, the device's frames are what the window shows,
// and closing the window through the window manager's protocol (what the
// close button sends) ends the main loop, after which everything shuts down.
// Exit code 0 on success; every failure prints why.
#include <unistd.h>

#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Platform/Win32/WinTime.h"
#include "Source/Qasimar/QmStartup.h"
#include "tests/Support/XvfbCheck.h"

namespace {

const int kClientWidth = 320;
const int kClientHeight = 200;

void SmallWindow(GeDeviceConfig& settings)
{
    settings.windowed = 1;
    settings.width = kClientWidth;
    settings.height = kClientHeight;
}

// What a window manager sends when the close button is pressed.
bool SendDeleteWindow(SDL_Window* window)
{
    SDL_SysWMinfo info;
    if (!X11Info(window, &info))
        return false;
    Display* display = info.info.x11.display;
    XEvent event;
    memset(&event, 0, sizeof(event));
    event.xclient.type = ClientMessage;
    event.xclient.window = info.info.x11.window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = (long)XInternAtom(display, "WM_DELETE_WINDOW", False);
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, info.info.x11.window, False, NoEventMask, &event);
    XFlush(display);
    return true;
}

// Frames for a while, so that the X server maps and shows the window.
void FramesFor(DWORD milliseconds)
{
    DWORD start = GetTickCount();
    do {
        RunFrame();
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

} // namespace

int main()
{
    if (!XvfbStartVideo())
        return 1;

    Check(StartGame(1280, 1024, SmallWindow), "start-up made the window and the device");
    if (!g_pGmDevice || !g_pGmDevice->GetDevice()) {
        ShutdownGame();
        return 1;
    }
    FramesFor(300);

    SDL_Window* sdl = XvfbSdlWindow(g_pGmDevice->GetWindow());
    int x = -1, y = -1;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    Check(XWindowOrigin(sdl, &x, &y), "X window found");
    printf("  screen width %d, X window client origin (%d, %d)\n", screenWidth, x, y);
    Check(x == screenWidth - kClientWidth && y == 0, "device window at the top right corner");

    // What the device presents is what the window shows.
    g_pGmDevice->Clear(GE_CLEAR_TARGET, 0xFF00C000, 1.0f);
    g_pGmDevice->Present();
    Check(ShownPixelIs(sdl, kClientWidth / 2, kClientHeight / 2, 0x00C000), "a presented green frame is shown");
    FramesFor(100);
    Check(ShownPixelIs(sdl, kClientWidth - 1, kClientHeight - 1, 0x000000), "the main loop's cleared frames are shown");

    // The close button: the loop ends by itself (the alarm ends a hung run).
    alarm(20);
    Check(SendDeleteWindow(sdl), "close request sent");
    uint32_t frames = RunMainLoop();
    alarm(0);
    printf("  %u frames until the window closed\n", frames);
    Check(g_pGmDevice->m_running == 0, "WM_CLOSE ended the main loop");

    ShutdownGame();
    Check(g_pGmDevice == nullptr, "shut down");
    return XvfbCheckResult();
}
