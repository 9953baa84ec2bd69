// IDirect3D9: the adapter (SDL's first display) and device creation on a
// window of the Win32 layer.
#include "Platform/D3d9/D3d9.h"

#include "Platform/D3d9/D3d9Device.h"
#include "Platform/Win32/WinRefCounted.h"
#include "Platform/Win32/WinSdl.h"

#include <algorithm>
#include <vector>

namespace {

// The modes a test put in place of the display's; listed while set.
std::vector<D3DDISPLAYMODE>& TestModes()
{
    static std::vector<D3DDISPLAYMODE> modes;
    return modes;
}
bool g_testModesSet = false;

class D3d9Direct3D final : public WinRefCounted<IDirect3D9> {
public:
    D3d9Direct3D() { ReadModes(); }

    UINT GetAdapterCount() override { return 1; }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override
    {
        if (adapter != 0 || !mode)
            return D3DERR_INVALIDCALL;
        SDL_DisplayMode desktop = {};
        if (SDL_GetDesktopDisplayMode(0, &desktop) != 0)
            return D3DERR_NOTAVAILABLE;
        *mode = {(UINT)desktop.w, (UINT)desktop.h, (UINT)desktop.refresh_rate, D3DFMT_X8R8G8B8};
        return D3D_OK;
    }

    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override
    {
        return (adapter == 0 && IsDisplayFormat(format)) ? (UINT)m_modes.size() : 0;
    }

    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT index, D3DDISPLAYMODE* out) override
    {
        if (adapter != 0 || !out || !IsDisplayFormat(format) || index >= m_modes.size())
            return D3DERR_INVALIDCALL;
        *out = m_modes[index];
        out->Format = format;
        return D3D_OK;
    }

    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9* caps) override;

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD, D3DPRESENT_PARAMETERS* params,
                         IDirect3DDevice9** device) override
    {
        if (!device || !params || adapter != 0 || (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF))
            return D3DERR_INVALIDCALL;
        *device = nullptr;
        HWND window = params->hDeviceWindow ? params->hDeviceWindow : focusWindow;
        SDL_Window* sdlWindow = WinRetainSdlWindow(window);
        if (!sdlWindow)
            return D3DERR_INVALIDCALL;
        HRESULT result = D3DERR_NOTAVAILABLE;
        D3d9Device* created = D3d9Device::Create(sdlWindow, *params, &result);
        if (!created) {
            WinReleaseSdlWindow(sdlWindow);
            return result;
        }
        created->SetWindowRelease(WinReleaseSdlWindow);
        *device = created;
        return D3D_OK;
    }

private:
    // The desktop formats that Direct3D lists modes for.
    static bool IsDisplayFormat(D3DFORMAT format)
    {
        return format == D3DFMT_X8R8G8B8 || format == D3DFMT_R5G6B5 || format == D3DFMT_X1R5G5B5;
    }

    // SDL lists a mode once per pixel format; Direct3D once per size and rate.
    void ReadModes()
    {
        if (g_testModesSet) {
            m_modes = TestModes();
            return;
        }
        int count = SDL_GetNumDisplayModes(0);
        for (int i = 0; i < count; ++i) {
            SDL_DisplayMode mode = {};
            if (SDL_GetDisplayMode(0, i, &mode) != 0)
                continue;
            D3DDISPLAYMODE m = {(UINT)mode.w, (UINT)mode.h, (UINT)mode.refresh_rate, D3DFMT_X8R8G8B8};
            bool known = std::any_of(m_modes.begin(), m_modes.end(), [&](const D3DDISPLAYMODE& k) {
                return k.Width == m.Width && k.Height == m.Height && k.RefreshRate == m.RefreshRate;
            });
            if (!known)
                m_modes.push_back(m);
        }
    }

    std::vector<D3DDISPLAYMODE> m_modes;
};

HRESULT D3d9Direct3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE, D3DCAPS9* caps)
{
    if (adapter != 0 || !caps)
        return D3DERR_INVALIDCALL;
    // The limits a device of this layer reports, before there is one.
    D3d9FillCaps(caps, 4096);
    return D3D_OK;
}

}  // namespace

void D3d9SetTestDisplayModes(const D3DDISPLAYMODE* modes, UINT count)
{
    g_testModesSet = modes != nullptr;
    TestModes().assign(modes, modes ? modes + count : modes);
}

IDirect3D9* Direct3DCreate9(UINT sdkVersion)
{
    if (sdkVersion != D3D_SDK_VERSION || !WinEnsureSdlVideo())
        return nullptr;
    return new D3d9Direct3D();
}
