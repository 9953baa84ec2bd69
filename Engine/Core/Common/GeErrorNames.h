// Texts for error codes, for log lines and error boxes.
#pragma once

#include <cstdint>

// "D3D_OK", the "D3DERR_..." name of a Direct3D 9 result, or
// "Unspecified D3D error" for any other code.
const char* GetD3dErrorName(int32_t result);

// The system's text for a Win32 error code, or "undefined error: no
// description". The text lives in one buffer shared by every call: the next
// call overwrites it.
const char* GetWin32ErrorText(uint32_t code);
