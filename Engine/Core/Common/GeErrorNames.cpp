#include "Engine/Core/Common/GeErrorNames.h"

#include "Platform/Win32/WinErrorText.h"

#include <cstring>

namespace {

// Searched in order up to the end marker; the name table has one more entry at
// each end: D3D_OK before the first code, the unspecified text for the marker.
const uint32_t kEndMarker = 0x12345678;

const uint32_t kD3dCodes[] = {
    0x88760818, 0x88760819, 0x8876081A, 0x8876081B, 0x8876081C, 0x8876081D, 0x8876081E,
    0x8876081F, 0x88760821, 0x88760822, 0x88760826, 0x88760827, 0x88760866, 0x88760867,
    0x88760868, 0x88760869, 0x8876086A, 0x8876017C, 0x8876086B, 0x8876086C, 0x8876086D,
    kEndMarker,
};

const char* const kD3dNames[] = {
    "D3D_OK",
    "D3DERR_WRONGTEXTUREFORMAT",
    "D3DERR_UNSUPPORTEDCOLOROPERATION",
    "D3DERR_UNSUPPORTEDCOLORARG",
    "D3DERR_UNSUPPORTEDALPHAOPERATION",
    "D3DERR_UNSUPPORTEDALPHAARG",
    "D3DERR_TOOMANYOPERATIONS",
    "D3DERR_CONFLICTINGTEXTUREFILTER",
    "D3DERR_UNSUPPORTEDFACTORVALUE",
    "D3DERR_CONFLICTINGRENDERSTATE",
    "D3DERR_UNSUPPORTEDTEXTUREFILTER",
    "D3DERR_CONFLICTINGTEXTUREPALETTE",
    "D3DERR_DRIVERINTERNALERROR",
    "D3DERR_NOTFOUND",
    "D3DERR_MOREDATA",
    "D3DERR_DEVICELOST",
    "D3DERR_DEVICENOTRESET",
    "D3DERR_NOTAVAILABLE",
    "D3DERR_OUTOFVIDEOMEMORY",
    "D3DERR_INVALIDDEVICE",
    "D3DERR_INVALIDCALL",
    "D3DERR_DRIVERINVALIDCALL",
    "Unspecified D3D error",
};

static_assert(sizeof(kD3dNames) / sizeof(kD3dNames[0]) == sizeof(kD3dCodes) / sizeof(kD3dCodes[0]) + 1,
              "one name per code, plus D3D_OK");

const char kNoDescription[] = "undefined error: no description";
char g_win32ErrorText[1024];

} // namespace

const char* GetD3dErrorName(int32_t result)
{
    if (result == 0)
        return kD3dNames[0];
    size_t i = 0;
    while (kD3dCodes[i] != kEndMarker && kD3dCodes[i] != (uint32_t)result)
        i++;
    return kD3dNames[i + 1];
}

const char* GetWin32ErrorText(uint32_t code)
{
    memcpy(g_win32ErrorText, kNoDescription, sizeof(kNoDescription));
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   g_win32ErrorText, sizeof(g_win32ErrorText) - 1, nullptr);
    return g_win32ErrorText;
}
