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

// Pumps until the X window covers the screen or two seconds have passed.
bool WaitForScreenCover(SDL_Window* sdl, int screenWidth, int screenHeight)
{
    int x = -1, y = -1;
    XWindowAttributes attributes = {};
    const bool covers = XvfbPumpUntil([&] {
        SDL_SysWMinfo info;
        return X11Info(sdl, &info) && XWindowOrigin(sdl, &x, &y) &&
               XGetWindowAttributes(info.info.x11.display, info.info.x11.window, &attributes) && x == 0 && y == 0 &&
               attributes.width == screenWidth && attributes.height == screenHeight;
    });
    if (!covers)
        printf("  X window at (%d, %d), %d x %d\n", x, y, attributes.width, attributes.height);
    return covers;
}

} // namespace

int main()
{
    if (!XvfbStartVideo())
        return 1;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = XvfbWindowProcedure;
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
    g_xvfbInput.sawMouseMove = false;
    SDL_WarpMouseInWindow(sdl, screenWidth / 2, screenHeight / 2);
    Check(XvfbWaitForMouseMove(MAKELPARAM(kBackWidth / 2, kBackHeight / 2)), "WM_MOUSEMOVE in back-buffer coordinates");

    // Windowed again: the window's own size and place.
    params.Windowed = TRUE;
    Check(device->Reset(&params) == D3D_OK, "reset to windowed");
    int width = 0, height = 0;
    Check(XvfbPumpUntil([&] {
              SDL_GetWindowSize(sdl, &width, &height);
              return width == kBackWidth && height == kBackHeight;
          }),
          "windowed size back");

    device->Release();
    d3d->Release();
    DestroyWindow(window);
    return XvfbCheckResult();
}
