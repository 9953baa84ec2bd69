#include "Platform/Win32/WinGdi.h"

#include <gtest/gtest.h>

#include "Platform/Win32/WinSdl.h"

namespace {

TEST(WinGdiGammaRamp, SetDeviceGammaRampStoresTheRampForTheDevice)
{
    WinGammaRamp before;
    uint32_t serial = WinGetGammaRamp(&before);
    if (serial == 0) {
        // Never set: the identity ramp.
        EXPECT_EQ(0, before.red[0]);
        EXPECT_EQ(257 * 128, before.green[128]);
        EXPECT_EQ(65535, before.blue[255]);
    }

    WORD ramp[3][256];
    for (int i = 0; i < 256; i++) {
        ramp[0][i] = (WORD)(i * 100);
        ramp[1][i] = (WORD)(i * 200);
        ramp[2][i] = (WORD)(i * 250);
    }
    HDC dc = GetDC(GetDesktopWindow());
    ASSERT_TRUE(SetDeviceGammaRamp(dc, ramp));
    EXPECT_EQ(1, ReleaseDC(GetDesktopWindow(), dc));

    WinGammaRamp stored;
    uint32_t newSerial = WinGetGammaRamp(&stored);
    EXPECT_NE(serial, newSerial);
    EXPECT_NE(0u, newSerial);
    EXPECT_EQ(12800, stored.red[128]);
    EXPECT_EQ(25600, stored.green[128]);
    EXPECT_EQ(32000, stored.blue[128]);

    WORD readBack[3][256];
    ASSERT_TRUE(GetDeviceGammaRamp(dc, readBack));
    EXPECT_EQ(25600, readBack[1][128]);
    EXPECT_FALSE(SetDeviceGammaRamp(nullptr, ramp));
    EXPECT_EQ(newSerial, WinGetGammaRamp(nullptr));
}

} // namespace
