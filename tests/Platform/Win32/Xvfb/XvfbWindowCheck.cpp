// End-to-end check of the window layer on a real X server (run under
// xvfb-run with SDL_VIDEODRIVER=x11): the device-style window opens at the
// top right corner of the screen, shows what GL and the Direct3D-shaped device
// draw into it (through the desktop gamma ramp), the pointer moved with
// SetCursorPos comes back as WM_MOUSEMOVE in client coordinates, and a real
// key press as key and character messages. Exit code 0 on success; every
// failure prints why.
#include <GL/gl.h>

#include <dlfcn.h>

#include <vector>

#include "Platform/D3d9/D3d9.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "Platform/Win32/WinCursor.h"
#include "Platform/Win32/WinGdi.h"
#include "Platform/Win32/WinMessages.h"
#include "Platform/Win32/WinSdl.h"
#include "Platform/Win32/WinTime.h"
#include "Platform/Win32/WinWindow.h"
#include "tests/Support/XvfbCheck.h"

namespace {

const int kClientWidth = 320;
const int kClientHeight = 200;
const DWORD kDeviceWindowStyle = 0x80CF0000;

// A pixel of the GL buffer being read; GL counts rows from the bottom.
bool GlPixelIs(int x, int yFromTop, unsigned long rgb)
{
    unsigned char pixel[4] = {0, 0, 0, 0};
    glReadPixels(x, kClientHeight - 1 - yFromTop, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    unsigned long value = ((unsigned long)pixel[0] << 16) | ((unsigned long)pixel[1] << 8) | pixel[2];
    printf("  GL pixel (%d, %d) = %06lx\n", x, yFromTop, value);
    return value == rgb;
}

// What the engine's device wrapper does: a Direct3D device on the window,
// cleared and presented, first plainly, then through a desktop gamma ramp that
// halves every channel.
void CheckDevice(HWND window, SDL_Window* sdl)
{
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    Check(d3d != nullptr, "Direct3D object");
    if (!d3d)
        return;
    D3DPRESENT_PARAMETERS params = D3d9WindowedParameters(kClientWidth, kClientHeight, D3DFMT_X8R8G8B8, window);
    IDirect3DDevice9* device = nullptr;
    HRESULT result = d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, 0x40, &params, &device);
    Check(result == D3D_OK && device, "device on the window");
    if (device) {
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00C000, 1.0f, 0);
        device->Present(nullptr, nullptr, nullptr, nullptr);
        Check(ShownPixelIs(sdl, kClientWidth / 2, kClientHeight / 2, 0x00C000), "device frame shown");

        WORD ramp[3][256];
        for (int i = 0; i < 256; i++)
            ramp[0][i] = ramp[1][i] = ramp[2][i] = (WORD)(i * 257 / 2);
        HDC dc = GetDC(GetDesktopWindow());
        SetDeviceGammaRamp(dc, ramp);
        ReleaseDC(GetDesktopWindow(), dc);
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00C000, 1.0f, 0);
        device->Present(nullptr, nullptr, nullptr, nullptr);
        Check(ShownPixelIs(sdl, kClientWidth / 2, kClientHeight / 2, 0x006000), "desktop gamma ramp applied at present");
        device->Release();
    }
    d3d->Release();
}

// Presses and releases a key through the X server's XTEST extension, loaded
// at run time (only its library is needed). False when it is missing.
bool FakeKeyPress(SDL_Window* window, KeySym keysym)
{
    typedef int (*FakeKeyEvent)(Display*, unsigned int, Bool, unsigned long);
    void* library = dlopen("libXtst.so.6", RTLD_NOW);
    FakeKeyEvent fake = library ? (FakeKeyEvent)dlsym(library, "XTestFakeKeyEvent") : nullptr;
    SDL_SysWMinfo info;
    if (!fake || !X11Info(window, &info))
        return false;
    Display* display = info.info.x11.display;
    KeyCode keycode = XKeysymToKeycode(display, keysym);
    fake(display, keycode, True, 0);
    fake(display, keycode, False, 0);
    XSync(display, False);
    return true;
}

} // namespace

int main()
{
    if (!XvfbStartVideo())
        return 1;

    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = XvfbWindowProcedure;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "GE_D3dDevWnd_#1";
    Check(RegisterClassA(&windowClass) != 0, "window class registered");

    // The device window's placement: outer rectangle against the top right corner.
    RECT outer = {0, 0, kClientWidth, kClientHeight};
    AdjustWindowRectEx(&outer, kDeviceWindowStyle, FALSE, 0);
    int outerWidth = outer.right - outer.left;
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    HWND window = CreateWindowExA(0, "GE_D3dDevWnd_#1", "Ge device window", kDeviceWindowStyle,
                                  screenWidth - outerWidth, 0, outerWidth, outer.bottom - outer.top,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    Check(window != nullptr, "window created");
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    XvfbPumpFor(200);

    SDL_Window* sdl = WinGetSdlWindow(window);
    int x = -1, y = -1;
    Check(XWindowOrigin(sdl, &x, &y), "X window found");
    printf("  screen width %d, X window client origin (%d, %d)\n", screenWidth, x, y);
    Check(x == screenWidth - kClientWidth && y == 0, "X window at the top right corner");
    RECT client;
    GetClientRect(window, &client);
    Check(client.right == kClientWidth && client.bottom == kClientHeight, "client size as requested");

    SDL_GLContext context = SDL_GL_CreateContext(sdl);
    Check(context != nullptr, "GL context on the window");
    if (context) {
        // Left half red, right half blue, shown, then read back from the window.
        glViewport(0, 0, kClientWidth, kClientHeight);
        glClearColor(1.0f, 0.0f, 0.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glEnable(GL_SCISSOR_TEST);
        glScissor(kClientWidth / 2, 0, kClientWidth / 2, kClientHeight);
        glClearColor(0.0f, 0.0f, 1.0f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        glDisable(GL_SCISSOR_TEST);
        glFinish();
        Check(GlPixelIs(10, 20, 0xFF0000) && GlPixelIs(kClientWidth - 10, 20, 0x0000FF), "GL drew both halves");
        SDL_GL_SwapWindow(sdl);
        glFinish();
        Check(ShownPixelIs(sdl, 10, kClientHeight / 2, 0xFF0000), "window shows red on the left");
        Check(ShownPixelIs(sdl, kClientWidth - 10, kClientHeight / 2, 0x0000FF), "window shows blue on the right");
        SDL_GL_DeleteContext(context);
    }

    CheckDevice(window, sdl);

    // The pointer, moved in desktop coordinates, arrives in client coordinates.
    Check(SetCursorPos(x + 40, y + 30) != FALSE, "pointer moved");
    g_xvfbInput.sawMouseMove = false;
    Check(XvfbWaitForMouseMove(MAKELPARAM(40, 30)), "WM_MOUSEMOVE at the client position");

    // A real key press, typed into the window under the pointer.
    std::vector<XvfbKeyMessage>& keys = g_xvfbInput.keys;
    keys.clear();
    if (FakeKeyPress(sdl, 0x61 /* XK_a */)) {
        XvfbPumpUntil([&keys] { return keys.size() >= 3; });
        for (const XvfbKeyMessage& m : keys)
            printf("  key message 0x%x (0x%lx, 0x%lx)\n", m.message, (unsigned long)m.wParam, (unsigned long)m.lParam);
        bool typed = keys.size() == 3 && keys[0].message == WM_KEYDOWN && keys[0].wParam == 'A' &&
                     keys[0].lParam == 0x001E0001 && keys[1].message == WM_CHAR && keys[1].wParam == 'a' &&
                     keys[2].message == WM_KEYUP && keys[2].lParam == (LPARAM)0xC01E0001;
        Check(typed, "key A gives WM_KEYDOWN, WM_CHAR, WM_KEYUP");
    } else {
        printf("skipped: no XTEST library for the key check\n");
    }

    // Default handling of WM_CLOSE destroys the window.
    SendMessageA(window, WM_CLOSE, 0, 0);
    Check(!IsWindow(window), "WM_CLOSE destroyed the window");

    return XvfbCheckResult();
}
