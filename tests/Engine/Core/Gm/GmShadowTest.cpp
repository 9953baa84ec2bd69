#include "Engine/Core/Gm/GmShadow.h"

#include <gtest/gtest.h>

TEST(GmShadow, TheShadowLightSwitchesStencilShadowsOn)
{
    EXPECT_EQ(0, g_shadowMode);
    EXPECT_EQ(1000.0f, g_shadowLightPosition[1]);

    const float position[3] = {1.0f, 2.0f, 3.0f};
    const float colour[4] = {0.0f, 0.5f, 1.0f, 0.25f};
    SetShadowLight(position, colour);
    EXPECT_EQ(kShadowModeStencil, g_shadowMode);
    EXPECT_EQ(3.0f, g_shadowLightPosition[2]);
    EXPECT_EQ(0x400080FFu, g_shadowColor);

    g_shadowMode = 0;
    g_shadowLightPosition[0] = 0.0f;
    g_shadowLightPosition[1] = 1000.0f;
    g_shadowLightPosition[2] = 0.0f;
}
