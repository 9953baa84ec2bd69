// The frame and cursor operations of the controls over the bound frames and
// the cursor set.
#include "Engine/Gui/GuiFrameLink.h"

#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Gui/GeCursorSet.h"
#include "Engine/Gui/GuiBoundFrame.h"
#include "Engine/Gui/GuiBoundFrames.h"

namespace {

const CGuiBoundFrameSet* FindSet(const GuiFrameSetTable* table, const CGeString& name)
{
    if (!table)
        return nullptr;
    auto* entry = table->Find(name);
    return entry ? entry->value : nullptr;
}

} // namespace

void GuiFrameSetsDestroy(GuiFrameSetTable& table)
{
    CGuiBoundFrames::DeleteAll(table);
}

bool GuiFrameSetExists(const GuiFrameSetTable* table, const CGeString& name)
{
    return FindSet(table, name) != nullptr;
}

bool GuiFrameSetBgColor(const GuiFrameSetTable* table, const CGeString& name, uint32_t* color)
{
    const CGuiBoundFrameSet* set = FindSet(table, name);
    if (!set)
        return false;
    *color = set->bgVertexColor;
    return true;
}

CGuiBoundFrame* GuiFrameCreate(CGuiBoundFrame* frame, const GuiFrameSetTable* table, const CGeString& name,
                               CGeFrame3D* ownerNode, float width, float height)
{
    const CGuiBoundFrameSet* set = FindSet(table, name);
    if (!set) {
        delete frame;
        return nullptr;
    }
    if (frame && frame->kind == set->kind) {
        frame->Reload(set);
        return frame;
    }
    delete frame;
    switch (set->kind) {
    case EBFT_SimpleRect: return new CGuiFrameSimpleRect(set, ownerNode, width, height);
    case EBFT_EnhancedRect: return new CGuiFrameEnhancedRect(set, ownerNode, width, height);
    default: return nullptr;
    }
}

void GuiFrameDelete(CGuiBoundFrame* frame)
{
    delete frame;
}

void GuiFrameSetSize(CGuiBoundFrame* frame, float width, float height)
{
    if (frame)
        frame->SetSize(width, height);
}

void GuiFrameUpdate(CGuiBoundFrame* frame)
{
    if (frame)
        frame->Update();
}

void GuiFrameRender(CGuiBoundFrame* frame, uint32_t mask)
{
    if (!frame)
        return;
    frame->renderMask = mask;
    frame->Render();
}

void GuiFrameSetColor(CGuiBoundFrame* frame, uint32_t color)
{
    if (frame)
        frame->SetColor(color);
}

void GuiFrameSetBgColor(CGuiBoundFrame* frame, uint32_t color)
{
    if (frame)
        frame->SetBgColor(color);
}

void GuiFrameSetVisible(CGuiBoundFrame* frame, uint8_t visible)
{
    if (frame)
        frame->SetVisible(visible);
}

void GuiFrameSetAlpha(CGuiBoundFrame* frame, uint8_t alpha)
{
    if (frame)
        frame->SetAlpha(alpha);
}

GuiFrameInsets GuiFrameGetInsets(const CGuiBoundFrame* frame)
{
    if (!frame)
        return {0.0f, 0.0f, 0.0f, 0.0f};
    return {frame->Inset(0), frame->Inset(1), frame->Inset(2), frame->Inset(3)};
}

void GuiFrameMinSize(const CGuiBoundFrame* frame, float* width, float* height)
{
    *width = frame ? frame->minSize[0] : 0.0f;
    *height = frame ? frame->minSize[1] : 0.0f;
}

void GuiTileSprite(CGmSprite* sprite)
{
    CGuiBoundFrame::TileSprite(sprite);
}

bool GuiFrameDrawsWithBg(const CGuiBoundFrame* frame)
{
    return frame && frame->drawWithBackground;
}

void GuiCursorShow(CGeCursorSet* cursors, uint32_t n)
{
    if (cursors)
        cursors->SetCursor(n);
}

void GuiCursorFollow(CGeCursorSet* cursors, float x, float y)
{
    if (!cursors)
        return;
    cursors->position[0] = x;
    cursors->position[1] = y;
    cursors->Update();
}

void GuiCursorDraw(CGeCursorSet* cursors)
{
    if (!cursors)
        return;
    if (CGmSprite* sprite = cursors->GetCursorSprite(cursors->shownCursor))
        sprite->Render();
}
