// A device wrapper over the platform's GL device (offscreen, 64 by 64 unless a
// test sets another back-buffer size before SetUp) made
// current with its own resource manager and render-state cache, and a way to
// look at a texture: draw it through a vertex buffer into a render-target
// texture and read that back.
#pragma once

#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmResourceManager.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmRenderStateCache.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "tests/Support/ErrorBoxRecorder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

class TextureTest : public ::testing::Test {
protected:
    // Flags of the drawn quad: transformed position, diffuse colour, one set.
    static constexpr uint32_t kQuadFlags = 0x1103;
    static constexpr uint32_t kStrip = 5;

    void SetUp() override
    {
        GeDeviceConfig settings;
        SetDefaultDeviceConfig(settings);
        settings.windowed = 1;
        settings.width = backBufferWidth;
        settings.height = backBufferHeight;
        settings.refreshRate = 1;
        g_gmDeviceObjectCount = 0;
        wrapper.reset(new CGmDeviceWrapper(settings));
        ASSERT_NE(nullptr, wrapper->GetDevice());
        g_pGmDevice = wrapper.get();
        g_pGmResourceManager = &manager;
        states.reset(new CGmRenderStateCache(wrapper.get()));
        states->Reset();
        quad.reset(new CGmVertexBuffer(kQuadFlags, 4));
    }

    void TearDown() override
    {
        quad.reset();
        g_pGmResourceManager = nullptr;
        g_pGmDevice = nullptr;
        states.reset();
        wrapper.reset();
    }

    // Writes a quad over [x0, x1) x [y0, y1) pixels with the texture
    // coordinates u0..u1, v0..v1 and one vertex colour.
    void SetQuad(float x0, float y0, float x1, float y1, float u1, float v1, uint32_t colour)
    {
        struct Vertex {
            float x, y, z, rhw;
            uint32_t colour;
            float u, v;
        };
        // Pixel centres sit on integer positions: the edges go half a pixel out.
        const Vertex vertices[4] = {{x0 - 0.5f, y0 - 0.5f, 0, 1, colour, 0, 0},
                                    {x1 - 0.5f, y0 - 0.5f, 0, 1, colour, u1, 0},
                                    {x0 - 0.5f, y1 - 0.5f, 0, 1, colour, 0, v1},
                                    {x1 - 0.5f, y1 - 0.5f, 0, 1, colour, u1, v1}};
        ASSERT_TRUE(quad->LockRange(0, 0));
        memcpy(quad->m_lockPointer, vertices, sizeof(vertices));
        quad->Unlock();
    }

    // Draws the texture (or only the vertex colour when null) over a target of
    // width x height cleared to `background`, and returns the target's pixels
    // (A8R8G8B8, top row first) as read back by the render-target texture.
    // Stage mode 3 with a white vertex colour passes the texels unchanged.
    std::vector<uint32_t> Draw(CGmTexture* texture, uint32_t width, uint32_t height, uint32_t blendMode = 1,
                               uint32_t alphaRef = 0, uint32_t background = 0, float u1 = 1.0f, float v1 = 1.0f,
                               uint32_t stageMode = 3, uint32_t colour = 0xFFFFFFFF)
    {
        CGmTexture target;
        target.Create(width, height, GM_FMT_A8R8G8B8, true);
        manager.Use(&target, GE_RES_TEXTURE);
        wrapper->SetRenderTarget(&target);
        wrapper->Clear(GE_CLEAR_TARGET, background, 1.0f);
        wrapper->BeginScene();
        states->SetBlendMode(blendMode, alphaRef);
        states->SetTextureStageMode(texture ? stageMode : 0, stageOption);
        wrapper->SetSamplerFilters(0, D3DTEXF_POINT, D3DTEXF_POINT);
        if (texture)
            texture->Bind(0);
        SetQuad(0, 0, float(width), float(height), u1, v1, colour);
        quad->Bind();
        wrapper->DrawPrimitive(kStrip, 0, 2);
        wrapper->EndScene();
        wrapper->RestoreRenderTarget();
        wrapper->GetDevice()->SetTexture(0, nullptr);
        target.Upload();
        const CGmImage* image = target.Image();
        std::vector<uint32_t> pixels(size_t(width) * height);
        for (uint32_t y = 0; y < height; ++y)
            memcpy(&pixels[size_t(y) * width], image->data + size_t(y) * image->pitch, width * 4);
        return pixels;
    }

    // The device's back buffer: the largest target that can be drawn into.
    uint32_t backBufferWidth = 64;
    uint32_t backBufferHeight = 64;
    // The option Draw passes with the stage mode.
    uint32_t stageOption = 0;
    CErrorBoxRecorder errorBoxes;
    std::unique_ptr<CGmDeviceWrapper> wrapper;
    CGmResourceManager manager;
    std::unique_ptr<CGmRenderStateCache> states;
    std::unique_ptr<CGmVertexBuffer> quad;
};

// Channel-wise distance of two A8R8G8B8 colours (the largest channel).
inline int ColourDistance(uint32_t a, uint32_t b)
{
    int worst = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const int d = int((a >> shift) & 0xFF) - int((b >> shift) & 0xFF);
        worst = std::max(worst, d < 0 ? -d : d);
    }
    return worst;
}
