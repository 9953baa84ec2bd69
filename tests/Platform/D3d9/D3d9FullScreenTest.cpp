// A full-screen device: its window covers the desktop, the back buffer is
// shown scaled with its shape kept and black bars around it, through the gamma
// ramp; Reset goes back to a 1:1 window and full screen again.
#include "D3d9Fixture.h"

#include "Platform/Win32/WinWindow.h"

namespace {

// Under the headless driver the full-screen window keeps its size, which
// stands for a square desktop here: a 48 x 32 back buffer gets bars above and
// below (16 rows and 17 rows).
const int kDesktopSize = 100;
const UINT kBackWidth = 48;
const UINT kBackHeight = 32;
const DWORD kFullScreenStyle = 0x80000000; // WS_POPUP

LRESULT FullScreenWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

class D3d9FullScreen : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        static ATOM atom = 0;
        if (!atom) {
            WNDCLASSA windowClass = {};
            windowClass.lpfnWndProc = FullScreenWindowProc;
            windowClass.lpszClassName = "D3d9FullScreenTest";
            atom = RegisterClassA(&windowClass);
            ASSERT_NE(0, atom);
        }
        m_window = CreateWindowExA(0, "D3d9FullScreenTest", "device", kFullScreenStyle, 0, 0, kDesktopSize,
                                   kDesktopSize, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(nullptr, m_window);
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(nullptr, m_d3d);
        m_params = D3d9WindowedParameters(kBackWidth, kBackHeight, D3DFMT_X8R8G8B8, m_window);
        m_params.Windowed = FALSE;
        D3d9ForceGlFallbacks(GetParam(), GetParam());
        HRESULT result = m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, m_window, 0x40, &m_params, &m_device);
        D3d9ForceGlFallbacks(false, false);
        ASSERT_EQ(D3D_OK, result);
    }

    void TearDown() override
    {
        if (m_device) {
            EXPECT_EQ(0u, m_device->Release());
        }
        if (m_d3d)
            m_d3d->Release();
        if (m_window)
            DestroyWindow(m_window);
    }

    bool IsFullScreen() const
    {
        return (SDL_GetWindowFlags(WinGetSdlWindow(m_window)) & SDL_WINDOW_FULLSCREEN_DESKTOP) ==
               SDL_WINDOW_FULLSCREEN_DESKTOP;
    }

    // Top left quarter red, bottom left green, right half blue.
    void DrawQuarters(const D3DPRESENT_PARAMETERS& params)
    {
        LONG width = (LONG)params.BackBufferWidth, height = (LONG)params.BackBufferHeight;
        D3DRECT left = {0, 0, width / 2, height / 2};
        D3DRECT right = {width / 2, 0, width, height};
        ASSERT_EQ(D3D_OK, m_device->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0));
        ASSERT_EQ(D3D_OK, m_device->Clear(1, &left, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0));
        ASSERT_EQ(D3D_OK, m_device->Clear(1, &right, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0));
    }

    // Presents and reads back the whole window; *area is where the image went.
    std::vector<uint32_t> PresentAndCapture(const D3DPRESENT_PARAMETERS& params, int* width, int* height,
                                           SDL_Rect* area)
    {
        SDL_GL_GetDrawableSize(WinGetSdlWindow(m_window), width, height);
        std::vector<uint32_t> pixels((size_t)*width * (size_t)*height, 0x12345678);
        D3d9CaptureNextPresent(m_device, pixels.data(), (UINT)*width, (UINT)*height);
        EXPECT_EQ(D3D_OK, m_device->Present(nullptr, nullptr, nullptr, nullptr));
        *area = WinLetterbox((int)params.BackBufferWidth, (int)params.BackBufferHeight, *width, *height);
        return pixels;
    }

    // The image's colours at its quarters' centres and black outside it.
    void ExpectScaledImage(const D3DPRESENT_PARAMETERS& params, uint32_t red, uint32_t green, uint32_t blue)
    {
        int width = 0, height = 0;
        SDL_Rect area;
        std::vector<uint32_t> pixels = PresentAndCapture(params, &width, &height, &area);
        auto at = [&](int x, int y) { return pixels[(size_t)y * width + x]; };
        EXPECT_TRUE(ArgbNear(red, at(area.x + area.w / 4, area.y + area.h / 4))) << "top left";
        EXPECT_TRUE(ArgbNear(green, at(area.x + area.w / 4, area.y + area.h * 3 / 4))) << "bottom left";
        EXPECT_TRUE(ArgbNear(blue, at(area.x + area.w * 3 / 4, area.y + area.h / 2))) << "right";
        // Every pixel outside the image is black.
        int outside = 0, notBlack = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                if (x < area.x || x >= area.x + area.w || y < area.y || y >= area.y + area.h) {
                    ++outside;
                    notBlack += (at(x, y) & 0xFFFFFF) != 0;
                }
        EXPECT_EQ(0, notBlack) << "of " << outside << " pixels outside the image";
    }

    HWND m_window = nullptr;
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
    D3DPRESENT_PARAMETERS m_params = {};
};

TEST_P(D3d9FullScreen, ShowsTheBackBufferScaledWithBlackBarsThroughTheRamp)
{
    EXPECT_TRUE(IsFullScreen());
    RECT client = {};
    ASSERT_TRUE(GetClientRect(m_window, &client));
    EXPECT_EQ((LONG)kBackWidth, client.right) << "the client is the back buffer";
    EXPECT_EQ((LONG)kBackHeight, client.bottom);

    DrawQuarters(m_params);
    ExpectScaledImage(m_params, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF);

    // Full-screen gamma goes through the device's ramp; the bars stay black.
    D3DGAMMARAMP ramp;
    for (int i = 0; i < 256; ++i)
        ramp.red[i] = ramp.green[i] = ramp.blue[i] = (WORD)(i * 257 / 2);
    m_device->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &ramp);
    DrawQuarters(m_params);
    ExpectScaledImage(m_params, 0xFF800000, 0xFF008000, 0xFF000080);
    for (int i = 0; i < 256; ++i)
        ramp.red[i] = ramp.green[i] = ramp.blue[i] = (WORD)(i * 257);
    m_device->SetGammaRamp(0, D3DSGR_NO_CALIBRATION, &ramp);
}

TEST_P(D3d9FullScreen, ResetSwitchesBetweenWindowAndFullScreen)
{
    D3DPRESENT_PARAMETERS windowed = D3d9WindowedParameters(kDesktopSize, kDesktopSize, D3DFMT_X8R8G8B8, m_window);
    ASSERT_EQ(D3D_OK, m_device->Reset(&windowed));
    EXPECT_FALSE(IsFullScreen());
    int width = 0, height = 0;
    SDL_GetWindowSize(WinGetSdlWindow(m_window), &width, &height);
    EXPECT_EQ(kDesktopSize, width) << "the window's own size again";
    EXPECT_EQ(kDesktopSize, height);
    RECT client = {};
    ASSERT_TRUE(GetClientRect(m_window, &client));
    EXPECT_EQ(kDesktopSize, client.right);
    DrawQuarters(windowed);
    std::vector<uint32_t> shown(kDesktopSize * kDesktopSize);
    D3d9CaptureNextPresent(m_device, shown.data(), kDesktopSize, kDesktopSize);
    ASSERT_EQ(D3D_OK, m_device->Present(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0xFFFF0000u, shown[0]) << "1:1, no bars";
    EXPECT_EQ(0xFF00FF00u, shown[(kDesktopSize - 1) * kDesktopSize]);
    EXPECT_EQ(0xFF0000FFu, shown[kDesktopSize - 1]);

    // Refused parameters keep the window as it is.
    D3DPRESENT_PARAMETERS refused = m_params;
    refused.BackBufferFormat = D3DFMT_DXT1;
    EXPECT_EQ(D3DERR_INVALIDCALL, m_device->Reset(&refused));
    EXPECT_FALSE(IsFullScreen());

    // Full screen again with a tall back buffer: bars left and right.
    D3DPRESENT_PARAMETERS tall = m_params;
    tall.BackBufferWidth = 24;
    tall.BackBufferHeight = 48;
    ASSERT_EQ(D3D_OK, m_device->Reset(&tall));
    EXPECT_TRUE(IsFullScreen());
    ASSERT_TRUE(GetClientRect(m_window, &client));
    EXPECT_EQ(24, client.right);
    EXPECT_EQ(48, client.bottom);
    DrawQuarters(tall);
    ExpectScaledImage(tall, 0xFFFF0000, 0xFF00FF00, 0xFF0000FF);
}

TEST_P(D3d9FullScreen, ReleasingTheDeviceLeavesFullScreen)
{
    ASSERT_TRUE(IsFullScreen());
    EXPECT_EQ(0u, m_device->Release());
    m_device = nullptr;
    EXPECT_FALSE(IsFullScreen());
}

INSTANTIATE_TEST_SUITE_P(GlPaths, D3d9FullScreen, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Fallback" : "ClipControl";
                         });

} // namespace
