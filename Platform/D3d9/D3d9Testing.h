// Test switches of the device layer. A lost device, an exhausted video memory
// or a missing GL feature cannot be provoked on demand on a real GL driver;
// these switches let tests walk those paths. They do nothing to a device that
// this layer did not create.
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

// Devices created after this call behave as if GL lacked clip control and/or
// S3TC compression, so that the fallback paths can be tested here.
void D3d9ForceGlFallbacks(bool noClipControl, bool noS3tc);
