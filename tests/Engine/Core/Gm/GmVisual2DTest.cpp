// 2D visuals without a device: the vertex-colour rule, sizes and
// sub-rectangles, texture-coordinate mirroring, the frame player driving the
// image set, and the shared quad buffer's places.
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmVertexBuffer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

CGmImageSet GridOf(uint32_t w, uint32_t h, uint32_t frames, uint32_t perLine)
{
    CGmTexture* texture = new CGmTexture();
    texture->Create(w, h, GM_FMT_A8R8G8B8, false);
    CGmImageSet set;
    set.Init(texture, frames, perLine);
    texture->Release(); // the set keeps it
    return set;
}

const GmQuadBuffer& Shared()
{
    return CGmVisual2D::s_quadBuffers[0];
}

} // namespace

TEST(GmVisual2D, VertexAlphaFollowsTheBlendModesRule)
{
    const struct {
        uint8_t alpha;
        uint32_t mode;
        uint32_t vertexAlpha;
    } cases[] = {{200, 0, 200}, {200, 1, 200}, {200, 2, 200}, {200, 3, 55},  {200, 4, 27},
                 {255, 4, 0},   {0, 4, 127},   {200, 5, 200}, {10, 7, 10},   {0, 3, 255}};
    for (const auto& c : cases)
        EXPECT_EQ(c.vertexAlpha << 24 | 0x123456u, ComputeVertexColor(c.alpha, c.mode, 0xAB123456u))
            << "alpha " << int(c.alpha) << " mode " << c.mode;

    CGmSprite sprite(GridOf(64, 64, 1, 1));
    sprite.SetColor(0x00102030);
    sprite.SetAlpha(200);
    sprite.SetBlendMode(3);
    for (const GmQuadVertex& vertex : sprite.quad->vertices)
        EXPECT_EQ(0x37102030u, vertex.color);
}

TEST(GmVisual2D, SizeSubRectangleAndMirroring)
{
    CGmSprite sprite(GridOf(64, 32, 1, 1));
    EXPECT_FLOAT_EQ(64.0f, sprite.size[0]);
    EXPECT_FLOAT_EQ(32.0f, sprite.size[1]);
    EXPECT_EQ(1u, sprite.hotPoints.Count());

    sprite.SetSubRect({0.5f, 0.0f, 1.0f, 1.0f});
    EXPECT_FLOAT_EQ(0.5f, sprite.subRect.x);
    EXPECT_FLOAT_EQ(0.5f, sprite.subRect.width);
    EXPECT_FLOAT_EQ(1.0f, sprite.subRect.height);
    const float xs[4] = {32, 64, 32, 64};
    const float ys[4] = {0, 0, 32, 32};
    const float us[4] = {0.5f, 1.0f, 0.5f, 1.0f};
    for (int i = 0; i < 4; ++i) {
        EXPECT_FLOAT_EQ(xs[i], sprite.quad->corners[i].x) << i;
        EXPECT_FLOAT_EQ(ys[i], sprite.quad->corners[i].y) << i;
        EXPECT_FLOAT_EQ(us[i], sprite.quad->vertices[i].u) << i;
    }

    // Mirroring swaps texture coordinates, never positions.
    sprite.SetSubRect({0.0f, 0.0f, 1.0f, 1.0f});
    const struct {
        uint32_t mode;
        float u[4];
        float v[4];
    } modes[] = {{0, {0, 1, 0, 1}, {0, 0, 1, 1}},
                 {1, {1, 0, 1, 0}, {0, 0, 1, 1}},
                 {2, {0, 1, 0, 1}, {1, 1, 0, 0}},
                 {3, {1, 0, 1, 0}, {1, 1, 0, 0}}};
    for (const auto& m : modes) {
        sprite.SetUVMode(m.mode);
        for (int i = 0; i < 4; ++i) {
            EXPECT_FLOAT_EQ(m.u[i], sprite.quad->vertices[i].u) << "mode " << m.mode << " vertex " << i;
            EXPECT_FLOAT_EQ(m.v[i], sprite.quad->vertices[i].v) << "mode " << m.mode << " vertex " << i;
            EXPECT_FLOAT_EQ(i & 1 ? 64.0f : 0.0f, sprite.quad->corners[i].x);
        }
    }

    // Span factors repeat the texture; size factors stretch the quad.
    sprite.SetUVMode(0);
    sprite.SetQuadParams(3.0f, 2.0f);
    EXPECT_FLOAT_EQ(3.0f, sprite.quad->vertices[3].u);
    EXPECT_FLOAT_EQ(2.0f, sprite.quad->vertices[3].v);
    sprite.sizeFactor[0] = 2.0f;
    sprite.SetSize(10.0f, 10.0f);
    EXPECT_FLOAT_EQ(20.0f, sprite.quad->corners[3].x);
    EXPECT_FLOAT_EQ(10.0f, sprite.quad->corners[3].y);
}

TEST(GmVisual2D, ThePlayerMovesTheImageSetAndAListSetsTheSize)
{
    g_geTimer = new CGeTimer(25.0f);
    g_geTimer->smoothedDelta = 1.0f;
    CGmSprite sprite(GridOf(64, 64, 4, 2));
    CGeFrameAnim player(4);
    player.Start(CGeFrameAnim::FORWARD, 1);
    sprite.SetFrameAnim(player);
    EXPECT_EQ(&sprite.ownPlayer, sprite.activePlayer);
    const float expectedU[] = {0.5f, 0.0f, 0.5f, 0.5f};
    for (float u : expectedU) {
        sprite.Update();
        EXPECT_FLOAT_EQ(u, sprite.quad->vertices[0].u);
    }
    EXPECT_EQ(3u, sprite.imageSet.currentFrame);
    EXPECT_FALSE(sprite.ownPlayer.playing);
    EXPECT_EQ(1u, sprite.ownPlayer.eventCount);
    delete g_geTimer;
    g_geTimer = nullptr;

    CGmTexture* textures[2] = {new CGmTexture(), new CGmTexture()};
    textures[0]->Create(16, 8, GM_FMT_A8R8G8B8, false);
    textures[1]->Create(40, 20, GM_FMT_A8R8G8B8, false);
    CGmImageSet list;
    list.InitFromList(textures, 2);
    g_gm2dScale[0][0] = 2.0f;
    g_gm2dScale[0][1] = 0.5f;
    {
        CGmSprite listed(list);
        EXPECT_FLOAT_EQ(32.0f, listed.size[0]);
        EXPECT_FLOAT_EQ(4.0f, listed.size[1]);
        listed.SetFrame(1);
        EXPECT_FLOAT_EQ(80.0f, listed.size[0]);
        EXPECT_FLOAT_EQ(10.0f, listed.size[1]);
        EXPECT_FLOAT_EQ(40.0f / 64.0f, listed.quad->vertices[3].u);
    }
    g_gm2dScale[0][0] = 1.0f;
    g_gm2dScale[0][1] = 1.0f;
    list.Release();
    for (CGmTexture* texture : textures) {
        EXPECT_EQ(1, texture->refCount);
        texture->Release();
    }
}

TEST(GmVisual2D, CopyFromTakesLooksFrameAndPlayer)
{
    CGeFrame3D parent;
    CGmSprite source(GridOf(64, 64, 4, 2));
    parent.AddChild(&source.frame);
    source.SetAlpha(100);
    source.SetBlendMode(0);
    source.SetUVMode(1);
    source.hotPoints[2] = {5.0f, 6.0f};
    source.frame.SetPosition({7.0f, 8.0f, 0.0f});
    source.pixelSnapping = 1;
    const CGeRect clip = {1, 2, 3, 4};
    source.SetClipRect(&clip);
    source.SetFrameAnim(CGeFrameAnim(4));

    CGmSprite copy;
    copy.CopyFrom(source);
    EXPECT_EQ(4u, copy.imageSet.frameCount);
    EXPECT_EQ(100, copy.alpha);
    EXPECT_EQ(0u, copy.blendMode);
    EXPECT_EQ(100u << 24 | 0xFFFFFFu, copy.quad->vertices[0].color);
    EXPECT_FLOAT_EQ(1.0f, copy.quad->vertices[0].u * 2.0f); // mirrored first cell
    EXPECT_FLOAT_EQ(5.0f, copy.hotPoints[2].x);
    EXPECT_EQ(&parent, copy.frame.parent);
    copy.frame.UpdateWorldMatrix();
    EXPECT_FLOAT_EQ(7.0f, copy.frame.world.m[3]);
    EXPECT_EQ(1, copy.pixelSnapping);
    ASSERT_NE(nullptr, copy.clipRect);
    EXPECT_EQ(&copy.clipRectValue, copy.clipRect);
    EXPECT_FLOAT_EQ(3.0f, copy.clipRect->width);
    EXPECT_EQ(&copy.ownPlayer, copy.activePlayer);
    EXPECT_NE(source.quad->firstVertex, copy.quad->firstVertex);
}

TEST(GmVisual2D, TransformPoint2DUsesTheFirstTwoRowsOfTheWorld)
{
    CGmSprite sprite;
    sprite.frame.SetPosition({10.0f, 20.0f, 30.0f});
    sprite.frame.SetScale({2.0f, 3.0f, 1.0f});
    sprite.frame.UpdateWorldMatrix();
    const Vec2 p = TransformPoint2D(sprite, 1.0f, 1.0f);
    EXPECT_FLOAT_EQ(12.0f, p.x);
    EXPECT_FLOAT_EQ(23.0f, p.y);
}

TEST(GmVisual2D, TheSharedQuadBufferReusesFreedPlacesAndGoesWithItsLastUser)
{
    ASSERT_EQ(nullptr, Shared().buffer);
    std::vector<std::unique_ptr<CGmSprite>> sprites;
    for (int i = 0; i < 4; ++i)
        sprites.emplace_back(new CGmSprite());
    ASSERT_NE(nullptr, Shared().buffer);
    EXPECT_EQ(16u, Shared().nextFree);
    EXPECT_EQ(4u, Shared().users);

    // A hole in the middle is taken again before the end grows.
    const uint32_t hole = sprites[1]->quad->firstVertex;
    sprites[1].reset();
    EXPECT_EQ(16u, Shared().nextFree);
    sprites[1].reset(new CGmSprite());
    EXPECT_EQ(hole, sprites[1]->quad->firstVertex);
    EXPECT_EQ(16u, Shared().nextFree);

    // Last in, first out returns the counter; holes below the end go too.
    sprites[2].reset();
    sprites[3].reset();
    EXPECT_EQ(8u, Shared().nextFree);
    sprites[0].reset();
    sprites[1].reset();
    EXPECT_EQ(nullptr, Shared().buffer);
    EXPECT_EQ(0u, Shared().nextFree);
    EXPECT_EQ(0u, Shared().users);
}

TEST(GmVisual2D, AFullQuadBufferRefusesNewQuadsWithoutWritingPastIt)
{
    std::vector<std::unique_ptr<CGmSprite>> sprites;
    for (uint32_t i = 0; i < kGmQuadBufferVertices / 4; ++i)
        sprites.emplace_back(new CGmSprite());
    EXPECT_EQ(kGmQuadBufferVertices, Shared().nextFree);
    CGmSprite refused;
    EXPECT_EQ(kGmNoQuadPlace, refused.quad->firstVertex);
    refused.Render(); // no device: nothing drawn, nothing written
    EXPECT_EQ(kGmQuadBufferVertices, Shared().buffer->Count());
    // A place given back is taken by the next visual.
    sprites[100].reset();
    CGmSprite next;
    EXPECT_EQ(400u, next.quad->firstVertex);
    sprites.clear();
}
