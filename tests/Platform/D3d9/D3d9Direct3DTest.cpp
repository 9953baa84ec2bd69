// The factory: adapter modes and device creation on a window of the Win32 layer.
#include "Platform/D3d9/D3d9.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "Platform/Win32/WinWindow.h"

#include <gtest/gtest.h>

namespace {

LRESULT TestWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

HWND MakeWindow(int width, int height)
{
    static ATOM atom = 0;
    if (!atom) {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = TestWindowProc;
        windowClass.lpszClassName = "D3d9FactoryTest";
        atom = RegisterClassA(&windowClass);
    }
    return CreateWindowExA(0, "D3d9FactoryTest", "device", 0x80CF0000, 0, 0, width, height, nullptr, nullptr,
                           nullptr, nullptr);
}

}  // namespace

TEST(D3d9Direct3D, ListsModesSortedFreeOfDuplicatesAndOnlyForDisplayFormats)
{
    EXPECT_EQ(nullptr, Direct3DCreate9(31));
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, d3d);
    D3DDISPLAYMODE desktop = {};
    ASSERT_EQ(D3D_OK, d3d->GetAdapterDisplayMode(0, &desktop));
    EXPECT_EQ(D3DFMT_X8R8G8B8, desktop.Format);
    EXPECT_GT(desktop.Width, 0u);

    UINT count = d3d->GetAdapterModeCount(0, D3DFMT_X8R8G8B8);
    EXPECT_GE(count, 1u);
    EXPECT_EQ(0u, d3d->GetAdapterModeCount(0, D3DFMT_A8R8G8B8)) << "not a display format";
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode = {};
        ASSERT_EQ(D3D_OK, d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, i, &mode));
        for (UINT j = 0; j < i; ++j) {
            D3DDISPLAYMODE earlier = {};
            d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, j, &earlier);
            EXPECT_FALSE(earlier.Width == mode.Width && earlier.Height == mode.Height &&
                         earlier.RefreshRate == mode.RefreshRate);
        }
    }
    D3DDISPLAYMODE past = {};
    EXPECT_EQ(D3DERR_INVALIDCALL, d3d->EnumAdapterModes(0, D3DFMT_X8R8G8B8, count, &past));
    EXPECT_EQ(0u, d3d->Release());
}

// The engine's way: windowed, back buffer of the settings' size, no
// automatic depth buffer, then a depth surface of its own.
TEST(D3d9Direct3D, CreatesADeviceOnAWin32Window)
{
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(nullptr, d3d);
    HWND window = MakeWindow(64, 48);
    ASSERT_NE(nullptr, window);

    D3DPRESENT_PARAMETERS params = D3d9WindowedParameters(64, 48, D3DFMT_X8R8G8B8, window);
    params.AutoDepthStencilFormat = D3DFMT_D24S8;
    IDirect3DDevice9* device = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, 0x40, &params, nullptr));
    D3DPRESENT_PARAMETERS noWindow = params;
    noWindow.hDeviceWindow = nullptr;
    EXPECT_EQ(D3DERR_INVALIDCALL, d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, 0x40, &noWindow, &device));
    ASSERT_EQ(D3D_OK, d3d->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &params,
                                        &device));
    D3DCAPS9 caps = {};
    ASSERT_EQ(D3D_OK, device->GetDeviceCaps(&caps));
    EXPECT_EQ(255u, caps.MaxVertexBlendMatrixIndex);

    IDirect3DSurface9* depth = nullptr;
    EXPECT_EQ(D3DERR_NOTFOUND, device->GetDepthStencilSurface(&depth));
    ASSERT_EQ(D3D_OK, device->CreateDepthStencilSurface(64, 48, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &depth,
                                                        nullptr));
    ASSERT_EQ(D3D_OK, device->SetDepthStencilSurface(depth));
    EXPECT_EQ(D3D_OK, device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0));
    EXPECT_EQ(D3D_OK, device->BeginScene());
    EXPECT_EQ(D3D_OK, device->EndScene());
    EXPECT_EQ(D3D_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
    depth->Release();

    // The window may go first; the device keeps drawing into it until released.
    DestroyWindow(window);
    EXPECT_EQ(D3D_OK, device->Present(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(0u, device->Release());
    EXPECT_EQ(0u, d3d->Release());
}
