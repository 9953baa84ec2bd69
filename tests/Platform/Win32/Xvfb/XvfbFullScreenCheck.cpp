// End-to-end check of full screen on a real X server (run under xvfb-run with
// SDL_VIDEODRIVER=x11): a full-screen device window (WS_POPUP) covers the
// whole screen, shows its back buffer scaled with black bars above and below,
// and a pointer on the screen comes back as WM_MOUSEMOVE in back-buffer
// coordinates. Exit code 0 on success; every failure prints why.
#include "Platform/D3d9/D3d9.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "Platform/Win32/WinMessages.h"
#include "Platform/Win32/WinSdl.h"
#include "Platform/Win32/WinTime.h"
#include "Platform/Win32/WinWindow.h"
#include "tests/Support/XvfbCheck.h"

namespace {

// 320 x 200 on the 1024 x 768 screen: shown 1024 x 640 from row 64.
const int kBackWidth = 320;
const int kBackHeight = 200;
const DWORD kFullScreenStyle = 0x80000000;

bool g_sawMouseMove = false;
LPARAM g_lastMove = 0;

LRESULT Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_MOUSEMOVE) {
        g_sawMouseMove = true;
        g_lastMove = lParam;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Pumps until the X window covers the screen or two seconds have passed.
bool WaitForScreenCover(SDL_Window* sdl, int screenWidth, int screenHeight)
{
    DWORD start = GetTickCount();
    for (;;) {
        Pump();
        SDL_SysWMinfo info;
        int x = -1, y = -1;
        XWindowAttributes attributes = {};
        if (X11Info(sdl, &info) && XWindowOrigin(sdl, &x, &y) &&
            XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes) && x == 0 && y == 0 &&
            attributes.width == screenWidth && attributes.height == screenHeight)
            return true;
        if (GetTickCount() - start > 2000) {
            printf("  X window at (%d, %d), %d x %d\n", x, y, attributes.width, attributes.height);
            return false;
        }
        Sleep(10);
    }
}

} // namespace

int main()
{
    if (!XvfbStartVideo())
        return 1;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.lpszClassName = "GE_D3dDevWnd_#1";
    Check(RegisterClassA(&windowClass) != 0, "window class registered");
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    HWND window = CreateWindowExA(0, "GE_D3dDevWnd_#1", "Ge device window", kFullScreenStyle,
                                  screenWidth - kBackWidth, 0, kBackWidth, kBackHeight, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    Check(window != nullptr, "window created");
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    SDL_Window* sdl = WinGetSdlWindow(window);

    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS params = D3d9WindowedParameters(kBackWidth, kBackHeight, D3DFMT_X8R8G8B8, window);
    params.Windowed = FALSE;
    IDirect3DDevice9* device = nullptr;
    HRESULT result = d3d ? d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, 0x40, &params, &device) : D3DERR_NOTAVAILABLE;
    Check(result == D3D_OK && device, "full-screen device");
    if (!device)
        return XvfbCheckResult();

    Check(WaitForScreenCover(sdl, screenWidth, screenHeight), "the window covers the screen");
    RECT client = {};
    GetClientRect(window, &client);
    Check(client.right == kBackWidth && client.bottom == kBackHeight, "client size is the back buffer's");

    // GL may draw the first frame after the resize at the old size, as a
    // driver meets the new size at the next swap; the game presents every frame.
    for (int frame = 0; frame < 2; frame++) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00C000, 1.0f, 0);
        device->Present(nullptr, nullptr, nullptr, nullptr);
    }
    SDL_Rect image = WinLetterbox(kBackWidth, kBackHeight, screenWidth, screenHeight);
    printf("  image at (%d, %d), %d x %d\n", image.x, image.y, image.w, image.h);
    Check(ShownPixelIs(sdl, screenWidth / 2, screenHeight / 2, 0x00C000), "frame shown in the middle");
    Check(ShownPixelIs(sdl, image.x + 1, image.y + 1, 0x00C000) &&
              ShownPixelIs(sdl, image.x + image.w - 2, image.y + image.h - 2, 0x00C000),
          "frame reaches the image's corners");
    Check(image.y == 0 || (ShownPixelIs(sdl, screenWidth / 2, image.y - 1, 0x000000) &&
                           ShownPixelIs(sdl, screenWidth / 2, image.y + image.h, 0x000000)),
          "black bars above and below");

    // The screen's centre is the back buffer's centre.
    g_sawMouseMove = false;
    SDL_WarpMouseInWindow(sdl, screenWidth / 2, screenHeight / 2);
    LPARAM expected = MAKELPARAM(kBackWidth / 2, kBackHeight / 2);
    DWORD start = GetTickCount();
    while ((!g_sawMouseMove || g_lastMove != expected) && GetTickCount() - start < 2000) {
        Pump();
        Sleep(10);
    }
    printf("  last WM_MOUSEMOVE at (%d, %d)\n", GET_X_LPARAM(g_lastMove), GET_Y_LPARAM(g_lastMove));
    Check(g_sawMouseMove && g_lastMove == expected, "WM_MOUSEMOVE in back-buffer coordinates");

    // Windowed again: the window's own size and place.
    params.Windowed = TRUE;
    Check(device->Reset(&params) == D3D_OK, "reset to windowed");
    start = GetTickCount();
    int width = 0, height = 0;
    do {
        Pump();
        SDL_GetWindowSize(sdl, &width, &height);
    } while ((width != kBackWidth || height != kBackHeight) && GetTickCount() - start < 2000 && (Sleep(10), true));
    Check(width == kBackWidth && height == kBackHeight, "windowed size back");

    device->Release();
    d3d->Release();
    DestroyWindow(window);
    return XvfbCheckResult();
}
