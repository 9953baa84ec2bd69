// Image sets of every kind: frame selection and clamping, the texture
// coordinates of grid cells and rectangles in power-of-two textures, the
// references they hold, and the video kind showing the frame it was asked for.
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Core/Gm/GmVideoDecoder.h"
#include "tests/Engine/Core/Gm/ImageFixtures.h"
#include "tests/Engine/Core/Gm/VideoFixtures.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

namespace {

// A texture of w by h pixels (padded to 128 by 64 for 100 by 40).
CGmTexture* MakeTexture(uint32_t w, uint32_t h)
{
    CGmTexture* texture = new CGmTexture();
    texture->Create(w, h, GM_FMT_A8R8G8B8, false);
    return texture;
}

} // namespace

TEST(GmImageSet, GridCellsAndClampedFrames)
{
    CGmTexture* texture = MakeTexture(100, 48);
    CGmImageSet set;
    set.Init(texture, 10, 4);
    EXPECT_EQ(2, texture->refCount);
    EXPECT_EQ(3u, set.lineCount);
    const float scaleX = 100.0f / 128.0f;
    const float scaleY = 48.0f / 64.0f;
    EXPECT_FLOAT_EQ(scaleX, set.uvScale[0]);
    EXPECT_FLOAT_EQ(25.0f, set.framePixelSize[0]);
    EXPECT_FLOAT_EQ(16.0f, set.framePixelSize[1]);
    EXPECT_FLOAT_EQ(scaleX / 4, set.uvExtent[0]);
    EXPECT_FLOAT_EQ(scaleY / 3, set.uvExtent[1]);

    const struct {
        int32_t asked;
        uint32_t chosen;
        float u, v;
    } cases[] = {{5, 5, 0.25f * scaleX, scaleY / 3}, {-5, 0, 0, 0}, {1000, 9, 0.25f * scaleX, 2 * scaleY / 3},
                 {3, 3, 0.75f * scaleX, 0}};
    for (const auto& c : cases) {
        set.SetFrame(c.asked);
        EXPECT_EQ(c.chosen, set.currentFrame) << c.asked;
        EXPECT_FLOAT_EQ(c.u, set.uvOrigin[0]) << c.asked;
        EXPECT_FLOAT_EQ(c.v, set.uvOrigin[1]) << c.asked;
    }
    set.Release();
    EXPECT_EQ(1, texture->refCount);
    texture->Release();
}

TEST(GmImageSet, ZeroFramesPerLineOrNoFramesCountAsOne)
{
    CGmTexture* texture = MakeTexture(64, 64);
    CGmImageSet set;
    set.Init(texture, 8, 0);
    EXPECT_EQ(1u, set.framesPerLine);
    EXPECT_EQ(8u, set.lineCount);
    set.SetFrame(7);
    EXPECT_FLOAT_EQ(7.0f / 8.0f, set.uvOrigin[1]);
    EXPECT_FLOAT_EQ(8.0f, set.framePixelSize[1]);
    set.Init(texture, 0, 0);
    EXPECT_EQ(1u, set.frameCount);
    EXPECT_EQ(1u, set.lineCount);
    set.Init(nullptr, 4, 2);
    EXPECT_EQ(0u, set.currentFrame);
    EXPECT_FLOAT_EQ(0.0f, set.framePixelSize[0]);
    set.Release();
    EXPECT_EQ(1, texture->refCount);
    texture->Release();
}

TEST(GmImageSet, ListRectAndPlainKinds)
{
    CGmTexture* small = MakeTexture(20, 10);
    CGmTexture* large = MakeTexture(64, 64);
    CGmTexture* const list[] = {small, large};
    CGmImageSet set;
    set.InitFromList(list, 2);
    EXPECT_EQ(small, set.texture);
    EXPECT_FLOAT_EQ(20.0f, set.framePixelSize[0]);
    EXPECT_FLOAT_EQ(20.0f / 32.0f, set.uvExtent[0]);
    set.SetFrame(9);
    EXPECT_EQ(large, set.texture);
    EXPECT_EQ(1u, set.currentFrame);
    EXPECT_FLOAT_EQ(64.0f, set.framePixelSize[1]);
    EXPECT_FLOAT_EQ(1.0f, set.uvExtent[1]);

    set.InitFromRect(large, 16, 8, 32, 16);
    EXPECT_EQ(CGmImageSet::KIND_RECT, set.kind);
    EXPECT_FLOAT_EQ(0.25f, set.uvOrigin[0]);
    EXPECT_FLOAT_EQ(0.125f, set.uvOrigin[1]);
    EXPECT_FLOAT_EQ(0.5f, set.uvExtent[0]);
    EXPECT_FLOAT_EQ(0.25f, set.uvExtent[1]);
    set.SetFrame(3);
    EXPECT_EQ(0u, set.currentFrame);

    set.InitPlain();
    EXPECT_EQ(nullptr, set.texture);
    EXPECT_EQ(1u, set.frameCount);
    EXPECT_EQ(1, small->refCount);
    EXPECT_EQ(1, large->refCount);
    small->Release();
    large->Release();
}

TEST(GmImageSet, CopiesHoldTheirOwnReferences)
{
    CGmTexture* texture = MakeTexture(32, 32);
    CGmTexture* other = MakeTexture(16, 16);
    CGmTexture* const list[] = {other};
    {
        CGmImageSet grid;
        grid.Init(texture, 4, 2);
        grid.SetFrame(3);
        CGmImageSet copy(grid);
        EXPECT_EQ(3, texture->refCount);
        EXPECT_EQ(3u, copy.currentFrame);
        EXPECT_FLOAT_EQ(grid.uvOrigin[0], copy.uvOrigin[0]);
        copy = copy;
        EXPECT_EQ(3, texture->refCount);
        CGmImageSet listSet;
        listSet.InitFromList(list, 1);
        copy = listSet;
        EXPECT_EQ(2, texture->refCount);
        EXPECT_EQ(3, other->refCount);
        // The last reference of the old texture may be the copy's own.
        grid.Release();
        CGmImageSet single;
        single.Init(texture, 1, 1);
        texture->Release(); // single holds the only reference now
        single = single;
        copy = single;
        single = copy;
        EXPECT_EQ(2, texture->refCount);
        EXPECT_EQ(CGmImageSet::KIND_GRID, single.kind);
        texture->AddRef();
    }
    EXPECT_EQ(1, texture->refCount);
    EXPECT_EQ(1, other->refCount);
    texture->Release();
    other->Release();
}

TEST(GmImageSet, TheVideoKindShowsFrameNAfterSetFrame)
{
    CTestTempDir dir;
    videofixture::ClipSpec spec;
    spec.frames = 24;
    const videofixture::Clip clip = videofixture::MakeTheoraClip(spec);
    CGmVideoDecoder* video = new CGmVideoDecoder();
    ASSERT_TRUE(video->Open(imagefixture::FileOver(dir / "clip.ogv", clip.bytes)));
    {
        CGmImageSet set;
        set.InitFromVideo(video);
        EXPECT_EQ(2, video->refCount);
        EXPECT_EQ(CGmImageSet::KIND_VIDEO, set.kind);
        EXPECT_EQ(24u, set.frameCount);
        EXPECT_EQ(video->GetTexture(), set.texture);
        EXPECT_FLOAT_EQ(64.0f, set.framePixelSize[0]);
        EXPECT_FLOAT_EQ(0.75f, set.uvExtent[1]); // 48 of 64 rows
        EXPECT_EQ(0, video->GetShownFrame());
        for (int32_t n : {5, 17, 3, 40, -2}) {
            set.SetFrame(n);
            const int32_t expected = n < 0 ? 0 : (n > 23 ? 23 : n);
            const CGmImage* image = set.texture->Image();
            EXPECT_EQ(expected, videofixture::ReadPictureIndex(image->data, image->pitch, 64, 48)) << n;
            EXPECT_EQ(expected, video->GetShownFrame());
        }
        CGmImageSet copy(set);
        EXPECT_EQ(3, video->refCount);
    }
    EXPECT_EQ(1, video->refCount);
    video->Release();
}
