// The wrapper over the platform's own GL device, seen through the recording
// decorator: the calls that really reach the device are counted, and the
// platform's lost-device switch drives the recovery.
#include "DeviceTestFixture.h"

#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmTextureBase.h"
#include "Platform/D3d9/D3d9Testing.h"
#include "Platform/Win32/WinGdi.h"
#include "Platform/Win32/WinMessages.h"

#include <gmock/gmock.h>

#include <cstdio>

using ::testing::ElementsAre;

class GmDeviceWrapperOverPlatform : public PlatformDeviceTest {};

TEST_F(GmDeviceWrapperOverPlatform, FramesReachTheWindowUnlessMinimised)
{
    EXPECT_EQ(0, wrapper->m_failed);
    EXPECT_TRUE(PresentedFrameIs(0xFF204080));

    SendMessageA(wrapper->GetWindow(), WM_SIZE, SIZE_MINIMIZED, 0);
    Device()->ClearCalls();
    wrapper->BeginScene();
    wrapper->SetZEnable(0);
    wrapper->DrawPrimitive(4, 0, 1);
    wrapper->EndScene();
    wrapper->Present();
    EXPECT_TRUE(Device()->calls.empty());
    EXPECT_THAT(s_sleeps, ElementsAre(1u, 1u));

    SendMessageA(wrapper->GetWindow(), WM_SIZE, SIZE_RESTORED, 0);
    wrapper->BeginScene();
    wrapper->EndScene();
    EXPECT_EQ(0, wrapper->m_failed);
    EXPECT_TRUE(PresentedFrameIs(0xFF0000FF));
}

TEST_F(GmDeviceWrapperOverPlatform, ADeviceThatStaysLostIsResetTwentyOneTimesThenRecovers)
{
    D3d9SimulateDeviceLost(Device()->inner, 21);
    wrapper->Present();
    EXPECT_EQ(21, Device()->Count("Reset"));
    EXPECT_EQ(std::vector<DWORD>(20, 50u), s_sleeps);
    EXPECT_EQ(1, wrapper->m_failed);

    Device()->ClearCalls();
    wrapper->SetCullMode(1);
    EXPECT_EQ(0, Device()->Count("SetRenderState"));

    wrapper->Present();
    EXPECT_EQ(1, Device()->Count("Reset"));
    EXPECT_EQ(0, wrapper->m_failed);
    EXPECT_TRUE(PresentedFrameIs(0xFFFF8000));
}

TEST_F(GmDeviceWrapperOverPlatform, ARealDeviceErrorMarksTheWrapperFailed)
{
    // Ending a scene that never began is an invalid call on any device.
    wrapper->EndScene();
    EXPECT_EQ(1, wrapper->m_failed);
    ASSERT_EQ(1u, s_trace.size());
    EXPECT_THAT(s_trace[0], ::testing::HasSubstr("Error: D3DERR_INVALIDCALL\n"));
    // The next frame's Present resets the device and clears the flag.
    wrapper->Present();
    EXPECT_EQ(0, wrapper->m_failed);
}

TEST_F(GmDeviceWrapperOverPlatform, ResetLeavesTheDefaultStatesOnTheDevice)
{
    wrapper->SetCullMode(2);
    wrapper->SetZWriteEnable(0);
    wrapper->ResetDevice();
    IDirect3DDevice9* device = Device()->inner;
    const struct {
        D3DRENDERSTATETYPE state;
        DWORD value;
    } expected[] = {{D3DRS_CULLMODE, D3DCULL_NONE}, {D3DRS_ZENABLE, 1},         {D3DRS_ZWRITEENABLE, 1},
                    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL}, {D3DRS_STENCILENABLE, 0},   {D3DRS_ALPHABLENDENABLE, 1},
                    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS}, {D3DRS_FILLMODE, D3DFILL_SOLID}};
    for (const auto& e : expected) {
        DWORD value = 0xDEAD;
        ASSERT_EQ(D3D_OK, device->GetRenderState(e.state, &value));
        EXPECT_EQ(e.value, value) << e.state;
    }
    DWORD value = 0;
    device->GetSamplerState(5, D3DSAMP_ADDRESSU, &value);
    EXPECT_EQ((DWORD)D3DTADDRESS_WRAP, value);
    device->GetTextureStageState(5, D3DTSS_TEXCOORDINDEX, &value);
    EXPECT_EQ(5u, value);
}

// Lends a Direct3D texture to the wrapper's render-target switch.
class LentTexture : public CGmTextureBase {
public:
    explicit LentTexture(IDirect3DTexture9* texture) { m_texture = texture; }
    ~LentTexture() override { m_texture = nullptr; }
    bool EnsureCreated() override { return m_texture != nullptr; }
    void ReleaseDeviceObject() override {}
    void Upload() override {}
    bool CreateD3dTexture(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t, bool) override { return false; }
    bool IsCompatible(const CGmTextureBase&) const override { return false; }
};

TEST_F(GmDeviceWrapperOverPlatform, DrawingIntoATextureLeavesTheBackBufferAlone)
{
    IDirect3DDevice9* device = Device()->inner;
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(D3D_OK, device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                            &texture, nullptr));
    wrapper->Clear(GE_CLEAR_TARGET, 0xFF0000FF, 1.0f);
    LentTexture target(texture);
    wrapper->SetRenderTarget(&target);
    EXPECT_EQ(0, wrapper->m_failed);
    wrapper->Clear(GE_CLEAR_TARGET, 0xFFFF0000, 1.0f);
    wrapper->RestoreRenderTarget();
    EXPECT_EQ(0, wrapper->m_failed);
    EXPECT_EQ(nullptr, wrapper->m_argbSurface);

    // The texture holds the red clear; the window still gets blue.
    IDirect3DSurface9* level = nullptr;
    ASSERT_EQ(D3D_OK, texture->GetSurfaceLevel(0, &level));
    IDirect3DSurface9* copy = nullptr;
    ASSERT_EQ(D3D_OK, device->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &copy, nullptr));
    ASSERT_EQ(D3D_OK, device->GetRenderTargetData(level, copy));
    D3DLOCKED_RECT locked;
    ASSERT_EQ(D3D_OK, copy->LockRect(&locked, nullptr, D3DLOCK_READONLY));
    EXPECT_EQ(0xFFFF0000u, *(const uint32_t*)locked.pBits);
    copy->UnlockRect();
    copy->Release();
    level->Release();
    texture->Release();

    std::vector<uint32_t> pixels(32 * 16, 0);
    D3d9CaptureNextPresent(device, pixels.data(), 32, 16);
    wrapper->Present();
    EXPECT_EQ(0xFF0000FFu, pixels[0]);
}

TEST_F(GmDeviceWrapperOverPlatform, GammaReachesTheShownFrameAndDestructionRestoresIt)
{
    GeDeviceConfig* previous = g_videoSettings;
    g_videoSettings = nullptr;
    // (128 / 255) ^ 1.5 on the 16-bit scale is 23306, 91 in eight bits.
    wrapper->SetGamma(0.5f);
    EXPECT_TRUE(PresentedFrameIs(0xFF808080, 0xFF5B5B5B));
    wrapper.reset();
    g_videoSettings = previous;

    WORD ramp[3][256];
    HDC dc = GetDC(GetDesktopWindow());
    ASSERT_TRUE(GetDeviceGammaRamp(dc, ramp));
    ReleaseDC(GetDesktopWindow(), dc);
    EXPECT_EQ(128 * 257, ramp[1][128]);
}
