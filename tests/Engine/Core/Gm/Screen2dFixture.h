// The headless device with a 2D camera over the reference screen (1280 by
// 1024) in slot 0, and one frame drawn into a target of any size and read
// back: the fixture of the tests that check 2D visuals by pixels.
#pragma once

#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmVisual2D.h"
#include "tests/Engine/Core/Gm/TextureTestFixture.h"

#include <functional>
#include <vector>

class Screen2dTest : public TextureTest {
public:
    static constexpr uint32_t kBackground = 0xFF404040;

    uint32_t At(uint32_t x, uint32_t y) const { return pixels[size_t(y) * width + x]; }

protected:
    void SetUp() override
    {
        backBufferWidth = 1280;
        backBufferHeight = 1024;
        TextureTest::SetUp();
        g_pGmRenderStateCache = states.get();
        CGeHub::s_currentSlot = 0;
        camera.screenWidth = 1280;
        camera.screenHeight = 1024;
        camera.boundWidth = 1280.0f;
        camera.boundHeight = 1024.0f;
        CGeHub::s_cameras2d[0] = &camera;
        g_halfPixelOffsetX = g_halfPixelOffsetY = -0.5f;
        CGmVisual2D::s_pixelOffsetRead = 0;
    }

    void TearDown() override
    {
        CGeHub::s_cameras2d[0] = nullptr;
        g_gm2dScale[0][0] = g_gm2dScale[0][1] = 1.0f;
        g_pGmRenderStateCache = nullptr;
        TextureTest::TearDown();
    }

    // The scale pair of a w by h back buffer, as the start-up computes it.
    static void ScaleFor(uint32_t w, uint32_t h)
    {
        g_gm2dScale[0][0] = 1280.0f / (float)w;
        g_gm2dScale[0][1] = 1024.0f / (float)h;
    }

    // A w by h target cleared to the background, the 2D camera's viewport and
    // the scale pair of that size, `draw` run inside the scene; the target's
    // pixels.
    void Frame(uint32_t w, uint32_t h, const std::function<void()>& draw)
    {
        width = w;
        CGmTexture target;
        target.Create(w, h, GM_FMT_A8R8G8B8, true);
        manager.Use(&target, GE_RES_TEXTURE);
        wrapper->SetRenderTarget(&target);
        camera.Apply({0, 0, w, h, 0.0f, 1.0f});
        ScaleFor(w, h);
        wrapper->Clear(GE_CLEAR_TARGET, kBackground, 1.0f);
        wrapper->BeginScene();
        draw();
        wrapper->EndScene();
        wrapper->RestoreRenderTarget();
        wrapper->GetDevice()->SetTexture(0, nullptr);
        target.Upload();
        const CGmImage* image = target.Image();
        pixels.assign(size_t(w) * h, 0);
        for (uint32_t y = 0; y < h; ++y)
            memcpy(&pixels[size_t(y) * w], image->data + size_t(y) * image->pitch, w * 4);
    }

    CGmStaticCamera camera;
    std::vector<uint32_t> pixels;
    uint32_t width = 0;
};
