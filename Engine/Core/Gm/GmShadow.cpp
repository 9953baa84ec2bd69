#include "Engine/Core/Gm/GmShadow.h"

#include <algorithm>
#include <cstdlib>

uint8_t* g_shadowFaceBuffer = nullptr;
int32_t g_shadowMode = 0;
float g_shadowLightPosition[3] = {0.0f, 1000.0f, 0.0f};
uint32_t g_shadowColor = 0;

namespace {

uint32_t ChannelByte(float value)
{
    return uint32_t(std::min(std::max(value, 0.0f), 1.0f) * 255.0f + 0.5f);
}

} // namespace

void SetShadowLight(const float position[3], const float color[4])
{
    for (int i = 0; i < 3; ++i)
        g_shadowLightPosition[i] = position[i];
    g_shadowMode = kShadowModeStencil;
    g_shadowColor = ChannelByte(color[3]) << 24 | ChannelByte(color[0]) << 16 | ChannelByte(color[1]) << 8 |
                    ChannelByte(color[2]);
}

void ReleaseShadowResources()
{
    free(g_shadowFaceBuffer);
    g_shadowFaceBuffer = nullptr;
}
