// The gamma ramp is stored, not sent to the display: the device applies it in
// its final pass, so it changes this window only and disappears with it.
// (X servers accept hardware ramps only on DirectColor visuals, and a ramp
// that changes the whole screen outlives a crashed program.)
#include "Platform/Win32/WinGdi.h"

#include <cstring>

#include "Platform/Win32/WinSdl.h"

namespace {

HDC const kDesktopDc = (HDC)(uintptr_t)0x30000;

WinGammaRamp g_ramp;
uint32_t g_serial = 0;

void IdentityRamp(WinGammaRamp* ramp)
{
    for (int i = 0; i < 256; i++)
        ramp->red[i] = ramp->green[i] = ramp->blue[i] = (WORD)(i * 257);
}

} // namespace

void WinStoreGammaRamp(const WinGammaRamp& ramp)
{
    g_ramp = ramp;
    g_serial++;
    if (g_serial == 0)
        g_serial = 1;
}

uint32_t WinGetGammaRamp(WinGammaRamp* ramp)
{
    if (ramp) {
        if (g_serial == 0)
            IdentityRamp(ramp);
        else
            *ramp = g_ramp;
    }
    return g_serial;
}

HDC GetDC(HWND /*window*/)
{
    return kDesktopDc;
}

int ReleaseDC(HWND /*window*/, HDC dc)
{
    return dc == kDesktopDc ? 1 : 0;
}

BOOL SetDeviceGammaRamp(HDC dc, const void* ramp)
{
    if (dc != kDesktopDc || !ramp)
        return FALSE;
    WinGammaRamp stored;
    memcpy(&stored, ramp, sizeof(stored));
    WinStoreGammaRamp(stored);
    return TRUE;
}

BOOL GetDeviceGammaRamp(HDC dc, void* ramp)
{
    if (dc != kDesktopDc || !ramp)
        return FALSE;
    WinGammaRamp current;
    WinGetGammaRamp(&current);
    memcpy(ramp, &current, sizeof(current));
    return TRUE;
}
