#include "Engine/Core/Common/GeDeviceConfig.h"

#include <cstddef>
#include <cstring>

#include <gtest/gtest.h>

// The device wrapper copies the device part as twenty 32-bit words.
static_assert(offsetof(GeDeviceConfig, gamma) == 19 * 4, "gamma is the twentieth word");
static_assert(offsetof(GeDeviceConfig, windowed) == 13 * 4, "windowed is the fourteenth word");

TEST(GeDeviceConfig, DefaultsInFieldOrder)
{
    GeDeviceConfig config;
    std::memset(static_cast<void*>(&config), 0x5A, sizeof(config)); // stale contents
    SetDefaultDeviceConfig(config);

    EXPECT_EQ(0, config.adapter);
    EXPECT_EQ(0, config.deviceType);
    EXPECT_EQ(0x1001, config.vertexProcessing);
    EXPECT_EQ(1280, config.width);
    EXPECT_EQ(1024, config.height);
    EXPECT_EQ(60, config.refreshRate);
    EXPECT_EQ(3, config.backBufferFormat);
    EXPECT_EQ(0, config.vsync);
    EXPECT_EQ(1, config.backBufferCount);
    EXPECT_EQ(21, config.depthStencilFormat);
    EXPECT_EQ(0x5A5A5A5A, config.deviceWord); // the device's own word is left alone
    EXPECT_EQ(0, config.multisampleType);
    EXPECT_EQ(-0.5f, config.halfPixelOffset);
    EXPECT_EQ(0, config.windowed);
    EXPECT_EQ(2u, config.minFilter);
    EXPECT_EQ(2u, config.magFilter);
    EXPECT_EQ(2u, config.mipFilter);
    EXPECT_EQ(1024u, config.maxTextureSize);
    EXPECT_EQ(0, config.anisotropy);
    EXPECT_EQ(1.0f, config.gamma);
    EXPECT_EQ(0, config.soundCard);
    EXPECT_EQ(1.0f, config.soundVolume);
}
