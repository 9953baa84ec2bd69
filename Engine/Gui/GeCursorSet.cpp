// The cursor set and the start-up's cursor list.
#include "Engine/Gui/GeCursorSet.h"

#include "Engine/Core/Gm/GeFrameAnim.h"
#include "Engine/Core/Gm/GmImageSet.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Gui/GuiResources.h"

namespace {

constexpr uint32_t kAlphaBlend = 5;

} // namespace

const GeCursorListRow g_startupCursorList[kStartupCursorCount] = {
    {"Default game", 20, 0}, {"TextCursor", 5, 9}, {"MoveCursor", 12, 12}, {"NS", 6, 11},        {"WE", 11, 6},
    {"NWSE", 9, 9},          {"SWNE", 9, 9},       {"Finger", 7, 2},       {"Wait", 8, 12},      {"Help", 2, 2},
    {"Cross", 11, 11},       {"Deny", 2, 2},       {"Pointing", 25, 4},    {"Grabbing", 27, 50}, {"Grab", 27, 53},
    {"GrabHl", 27, 52},      {"Talk", 26, 19},     {"Look", 28, 34},       {"Portal", 25, 39},   {"Crosshair", 40, 39},
};

CGeCursorSet::CGeCursorSet(const GeCursorDescriptor* const* descriptors)
{
    for (uint32_t i = 0; descriptors && descriptors[i]; ++i) {
        const GeCursorDescriptor& d = *descriptors[i];
        CGmSprite* sprite = new CGmSprite(d.schema ? *d.schema : CGmImageSet());
        for (Vec2& hotPoint : sprite->hotPoints)
            hotPoint = {d.hotSpotX, d.hotSpotY};
        sprite->SetBlendMode(kAlphaBlend);
        sprite->SetFrameAnim(CGeFrameAnim(sprite->imageSet.frameCount));
        sprites.Add(sprite);
        AddChild(&sprite->frame);
    }
}

CGeCursorSet::~CGeCursorSet()
{
    for (CGmSprite* sprite : sprites)
        delete sprite;
    sprites.Clear();
}

CGmSprite* CGeCursorSet::GetCursorSprite(uint32_t n) const
{
    return (n >= 1 && n <= sprites.Count()) ? sprites[n - 1] : nullptr;
}

void CGeCursorSet::SetCursor(uint32_t n)
{
    if (n > sprites.Count())
        n = 0;
    if (selectedCursor == n)
        return;
    selectedCursor = n;
    if (shownCursor != n) {
        shownCursor = n;
        ApplyCursor();
    }
}

void CGeCursorSet::ResetToDefault()
{
    const uint32_t d = sprites.Count() ? 1 : 0;
    if (selectedCursor == d)
        return;
    selectedCursor = d;
    if (shownCursor != 0)
        return;
    if (d != 0) {
        shownCursor = d;
        ApplyCursor();
    }
}

void CGeCursorSet::ApplyCursor()
{
    CGmSprite* sprite = GetCursorSprite(shownCursor);
    if (!sprite)
        return;
    CGeFrameAnim& player = *sprite->activePlayer;
    player.Stop();
    player.eventCount = 0;
    player.SetRange(0, player.frameCount ? player.frameCount - 1 : 0);
    player.Start(CGeFrameAnim::FORWARD, 1);
    if (sprite->imageSet.frameCount) {
        sprite->imageSet.SetFrame(0);
        sprite->ApplyImageSize();
    }
    sprite->frame.world = world;
}

void CGeCursorSet::Update()
{
    SetPosition({position[0], position[1], 0.0f});
    UpdateWorldMatrix();
    CGmSprite* sprite = GetCursorSprite(shownCursor);
    if (!sprite)
        return;
    CGeFrameAnim& player = *sprite->activePlayer;
    player.eventCount = 0;
    sprite->Update();
    if (player.eventCount) {
        shownCursor = selectedCursor;
        ApplyCursor();
    }
}

CGeCursorSet* CreateStartupCursorSet()
{
    GeCursorDescriptor descriptors[kStartupCursorCount];
    const GeCursorDescriptor* list[kStartupCursorCount + 1];
    for (uint32_t i = 0; i < kStartupCursorCount; ++i) {
        const GeCursorListRow& row = g_startupCursorList[i];
        descriptors[i] = {CGuiResources::FindSpriteSchema(CGeString(row.schemaName)), row.hotSpotX, row.hotSpotY};
        list[i] = &descriptors[i];
    }
    list[kStartupCursorCount] = nullptr;
    return new CGeCursorSet(list);
}
