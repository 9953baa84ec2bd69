// The program-wide device and audio settings record. The engine core creates
// it with the defaults, the settings file ("config.cfg") overwrites what it
// holds, and the device wrapper copies its device part (every field up to and
// including the gamma: twenty 32-bit words, the bytes and the 16-bit value each
// padded to a word) at construction.
#pragma once

#include <cstdint>

struct GeDeviceConfig {
    int32_t adapter = 0;            // display adapter ordinal
    int32_t deviceType = 0;         // 0 hardware, 1 reference
    int32_t vertexProcessing = 0;   // 0x1001 hardware, any other value software
    int32_t width = 0;              // back-buffer width in pixels
    int32_t height = 0;             // back-buffer height in pixels
    int32_t refreshRate = 0;        // hertz
    int32_t backBufferFormat = 0;   // engine format code
    uint8_t vsync = 0;              // wait for the vertical retrace
    int32_t backBufferCount = 0;
    int32_t depthStencilFormat = 0; // engine format code
    // A word that belongs to the device code: the defaults and the settings
    // file leave it alone.
    int32_t deviceWord = 0;
    int32_t multisampleType = 0;
    float halfPixelOffset = 0.0f;   // added to 2D pixel positions
    uint8_t windowed = 0;           // 1 = windowed, 0 = full screen
    uint32_t minFilter = 0;         // texture filters: 1 point, 2 linear, 3 anisotropic
    uint32_t magFilter = 0;
    uint32_t mipFilter = 0;
    uint32_t maxTextureSize = 0;
    uint16_t anisotropy = 0;
    float gamma = 0.0f;
    // Audio part.
    int32_t soundCard = 0; // index into the enumerated sound devices
    float soundVolume = 0.0f;
};

// The settings record, null until the engine core has started.
extern GeDeviceConfig* g_videoSettings;

// Fills every setting with its default before the settings file is read.
void SetDefaultDeviceConfig(GeDeviceConfig& config);
