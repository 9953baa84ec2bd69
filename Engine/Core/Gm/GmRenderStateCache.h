// The render-state cache of one device: its wrapper and the default render
// states that every device starts with.
#pragma once

#include <cstdint>

class CGmDeviceWrapper;

class CGmRenderStateCache {
public:
    explicit CGmRenderStateCache(CGmDeviceWrapper* wrapper) : wrapper(wrapper) {}

    // Depth test and writes off, no culling, then the default render states.
    void Reset();

    CGmDeviceWrapper* wrapper;
    uint32_t values[16] = {};
};
