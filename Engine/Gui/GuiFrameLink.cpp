// The frame and cursor operations of the controls. The library does not yet
// hold bound frames or a cursor set: no frame set can be loaded, so no frame
// comes into being, and a cursor set is never handed to the manager. Each
// body below is what a missing frame or cursor set does.
#include "Engine/Gui/GuiFrameLink.h"

void GuiFrameSetsDestroy(GuiFrameSetTable& table)
{
    table.Clear();
}

bool GuiFrameSetExists(const GuiFrameSetTable* table, const CGeString& name)
{
    return table && table->Find(name) && table->Find(name)->value;
}

bool GuiFrameSetBgColor(const GuiFrameSetTable*, const CGeString&, uint32_t*)
{
    return false;
}

CGuiBoundFrame* GuiFrameCreate(CGuiBoundFrame* frame, const GuiFrameSetTable*, const CGeString&, CGeFrame3D*, float,
                               float)
{
    GuiFrameDelete(frame);
    return nullptr;
}

void GuiFrameDelete(CGuiBoundFrame*)
{
}

void GuiFrameSetSize(CGuiBoundFrame*, float, float)
{
}

void GuiFrameUpdate(CGuiBoundFrame*)
{
}

void GuiFrameRender(CGuiBoundFrame*, uint32_t)
{
}

void GuiFrameSetColor(CGuiBoundFrame*, uint32_t)
{
}

void GuiFrameSetBgColor(CGuiBoundFrame*, uint32_t)
{
}

void GuiFrameSetVisible(CGuiBoundFrame*, uint8_t)
{
}

void GuiFrameSetAlpha(CGuiBoundFrame*, uint8_t)
{
}

GuiFrameInsets GuiFrameGetInsets(const CGuiBoundFrame*)
{
    return {0.0f, 0.0f, 0.0f, 0.0f};
}

void GuiFrameMinSize(const CGuiBoundFrame*, float* width, float* height)
{
    *width = 0.0f;
    *height = 0.0f;
}

bool GuiFrameDrawsWithBg(const CGuiBoundFrame*)
{
    return false;
}

void GuiCursorShow(CGeCursorSet*, uint32_t)
{
}

void GuiCursorFollow(CGeCursorSet*, float, float)
{
}
