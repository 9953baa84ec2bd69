// The cursor set against a driven frame timer: 25 frames a second, one
// animation frame per timer frame. Cursor 14 has four frames, the others one.
#include "Engine/Gui/GeCursorSet.h"

#include "Engine/Core/Common/GeCpuInfo.h"
#include "Engine/Core/Common/GeSimd.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmFormatTable.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"
#include "Engine/Gui/GuiResources.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class SteppedClock : public CGeClock {
public:
    int64_t Counter() override { return counter; }
    int64_t Frequency() override { return 1000; }
    int64_t counter = 0;
};

// A grid schema of `frames` 8 by 8 frames.
CGmImageSet* Schema(uint32_t frames)
{
    CGmTexture* texture = new CGmTexture();
    texture->Create(8 * frames, 8, GM_FMT_A8R8G8B8, false);
    CGmImageSet* set = new CGmImageSet();
    set->Init(texture, frames, frames);
    texture->Release();
    return set;
}

class GeCursorSet : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!g_pGeSimd)
            GeSimdCreate();
        if (!g_pGeCpuInfo)
            GeCpuProbeCreate();
        timer.reset(new CGeTimer(25.0f, &clock));
        g_geTimer = timer.get();
        for (uint32_t n = 1; n <= kStartupCursorCount; ++n) {
            schemas.push_back(Schema(n == 14 ? 4 : 1));
            descriptors.push_back(
                {schemas.back(), g_startupCursorList[n - 1].hotSpotX, g_startupCursorList[n - 1].hotSpotY});
        }
        for (const GeCursorDescriptor& d : descriptors)
            list.push_back(&d);
        list.push_back(nullptr);
        set.reset(new CGeCursorSet(list.data()));
    }
    void TearDown() override
    {
        set.reset();
        for (CGmImageSet* schema : schemas) {
            schema->Release();
            delete schema;
        }
        g_geTimer = nullptr;
        CGuiResources::FreeAll();
    }

    // One frame of the program: the timer ticks 40 ms, the set updates.
    void Frame()
    {
        clock.counter += 40;
        timer->Update();
        set->Update();
    }
    uint32_t FrameOf(uint32_t n) const { return set->GetCursorSprite(n)->imageSet.currentFrame; }

    SteppedClock clock;
    std::unique_ptr<CGeTimer> timer;
    std::vector<CGmImageSet*> schemas;
    std::vector<GeCursorDescriptor> descriptors;
    std::vector<const GeCursorDescriptor*> list;
    std::unique_ptr<CGeCursorSet> set;
};

} // namespace

TEST_F(GeCursorSet, SpritesNumbersAndHotSpots)
{
    ASSERT_EQ(set->Count(), 20u);
    EXPECT_EQ(set->GetCursorSprite(0), nullptr);
    EXPECT_EQ(set->GetCursorSprite(21), nullptr);
    CGmSprite* crosshair = set->GetCursorSprite(20);
    ASSERT_NE(crosshair, nullptr);
    EXPECT_EQ(crosshair->imageSet.texture, schemas[19]->texture);
    EXPECT_EQ(crosshair->hotPoints[0].x, 40.0f);
    EXPECT_EQ(crosshair->hotPoints[0].y, 39.0f);
    EXPECT_EQ(set->GetCursorSprite(14)->hotPoints.Count(), 4u);
    EXPECT_EQ(set->GetCursorSprite(14)->hotPoints[3].y, 50.0f);
    EXPECT_EQ(crosshair->blendMode, 5u);
    EXPECT_EQ(crosshair->frame.parent, set.get());

    // Nothing shown yet; a number beyond the set selects nothing.
    EXPECT_EQ(set->shownCursor, 0u);
    set->SetCursor(25);
    EXPECT_EQ(set->selectedCursor, 0u);
    EXPECT_EQ(set->shownCursor, 0u);

    // Shown at once, and standing at the mouse.
    set->position[0] = 300.0f;
    set->position[1] = 200.0f;
    set->SetCursor(20);
    Frame();
    EXPECT_EQ(set->shownCursor, 20u);
    EXPECT_FLOAT_EQ(crosshair->frame.world.m[3], 300.0f);
    EXPECT_FLOAT_EQ(crosshair->frame.world.m[7], 200.0f);
}

TEST_F(GeCursorSet, DefaultWaitsForTheAnimationToEnd)
{
    // Nothing shown: the default comes at once.
    set->ResetToDefault();
    EXPECT_EQ(set->shownCursor, 1u);

    set->SetCursor(14);
    EXPECT_EQ(set->shownCursor, 14u);
    Frame();
    EXPECT_EQ(FrameOf(14), 1u);
    // Asked again: no restart.
    set->SetCursor(14);
    Frame();
    EXPECT_EQ(FrameOf(14), 2u);

    // The default is selected but waits for the last frame of 14 to pass.
    set->ResetToDefault();
    EXPECT_EQ(set->selectedCursor, 1u);
    std::vector<uint32_t> shown;
    for (int i = 0; i < 4; ++i) {
        Frame();
        shown.push_back(set->shownCursor);
    }
    EXPECT_EQ(shown, (std::vector<uint32_t>{14, 1, 1, 1}));
    EXPECT_EQ(FrameOf(14), 3u); // it ended on its last frame
    set->SetCursor(14);
    EXPECT_EQ(FrameOf(14), 0u); // shown again from its start
}

TEST_F(GeCursorSet, AShownCursorPlaysOverAndOver)
{
    set->SetCursor(14);
    std::vector<uint32_t> frames;
    for (int i = 0; i < 8; ++i) {
        Frame();
        frames.push_back(FrameOf(14));
    }
    EXPECT_EQ(set->shownCursor, 14u);
    EXPECT_EQ(frames, (std::vector<uint32_t>{1, 2, 3, 0, 1, 2, 3, 0}));
}

TEST_F(GeCursorSet, StartupListTakesTheResourcesSchemas)
{
    CGmImageSet* pointing = Schema(2);
    CGuiResources::spriteSchemas[CGeString("Pointing")] = pointing;
    std::unique_ptr<CGeCursorSet> startup(CreateStartupCursorSet());
    ASSERT_EQ(startup->Count(), 20u);
    EXPECT_EQ(startup->GetCursorSprite(13)->imageSet.texture, pointing->texture);
    EXPECT_EQ(startup->GetCursorSprite(13)->hotPoints[1].x, 25.0f);
    // A schema the resources lack gives a sprite without picture.
    EXPECT_EQ(startup->GetCursorSprite(1)->imageSet.texture, nullptr);
    EXPECT_STREQ(g_startupCursorList[19].schemaName, "Crosshair");
}
