// Test switches of the device layer. A lost device, an exhausted video memory
// or a missing GL feature cannot be provoked on demand on a real GL driver;
// these switches let tests walk those paths. They do nothing to a device that
// this layer did not create.
// Public header of the platform layer.
#pragma once

#include "Platform/D3d9/D3d9.h"

#include <cstdint>

// From now on Present and TestCooperativeLevel answer D3DERR_DEVICELOST; the
// next `failingResets` calls of Reset fail with D3DERR_DEVICELOST (and
// TestCooperativeLevel answers D3DERR_DEVICENOTRESET once none are left); the
// Reset after them succeeds and ends the loss.
void D3d9SimulateDeviceLost(IDirect3DDevice9* device, int failingResets);

// The next `count` Create* calls fail with `result` (e.g. D3DERR_OUTOFVIDEOMEMORY).
void D3d9FailNextCreations(IDirect3DDevice9* device, int count, HRESULT result);

// The next Present also copies what it put into the window, gamma ramp
// applied, into `pixels` (A8R8G8B8, top row first, width x height).
void D3d9CaptureNextPresent(IDirect3DDevice9* device, uint32_t* pixels, UINT width, UINT height);

// IDirect3D9 objects created after this call list these display modes, in
// this order, in place of the display's (which a headless or virtual display
// cannot choose); null goes back to the display's.
void D3d9SetTestDisplayModes(const D3DDISPLAYMODE* modes, UINT count);

// Present parameters for a windowed device: one back buffer of the given size
// and format, discarded at each Present, presented at once, no automatic
// depth buffer. Tests and benchmarks start from these and change what they need.
inline D3DPRESENT_PARAMETERS D3d9WindowedParameters(UINT width, UINT height, D3DFORMAT format,
                                                    HWND window = nullptr)
{
    D3DPRESENT_PARAMETERS params = {};
    params.BackBufferWidth = width;
    params.BackBufferHeight = height;
    params.BackBufferFormat = format;
    params.BackBufferCount = 1;
    params.SwapEffect = D3DSWAPEFFECT_DISCARD;
    params.hDeviceWindow = window;
    params.Windowed = TRUE;
    params.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return params;
}

// Devices created after this call behave as if GL lacked clip control and/or
// S3TC compression, so that the fallback paths can be tested here.
void D3d9ForceGlFallbacks(bool noClipControl, bool noS3tc);
