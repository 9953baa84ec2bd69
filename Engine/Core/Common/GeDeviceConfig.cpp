#include "Engine/Core/Common/GeDeviceConfig.h"

GeDeviceConfig* g_videoSettings = nullptr;

void SetDefaultDeviceConfig(GeDeviceConfig& config)
{
    config.adapter = 0;
    config.deviceType = 0;
    config.vertexProcessing = 0x1001;
    config.width = 1280;
    config.height = 1024;
    config.refreshRate = 60;
    config.backBufferFormat = 3; // X8R8G8B8
    config.vsync = 0;
    config.backBufferCount = 1;
    config.depthStencilFormat = 21; // D24S8
    config.multisampleType = 0;
    config.halfPixelOffset = -0.5f;
    config.windowed = 0;
    config.minFilter = 2;
    config.magFilter = 2;
    config.mipFilter = 2;
    config.maxTextureSize = 1024;
    config.anisotropy = 0;
    config.gamma = 1.0f;
    config.soundCard = 0;
    config.soundVolume = 1.0f;
}
