// What the controls and the GUI manager use of the bound frames, the frame-set
// table and the cursor set, gathered in one place: every call a control makes
// on a frame or on the cursor goes through these few functions, so that the
// control code reads the same whichever state those classes are in.
//
// Contract: a null frame or cursor set is always allowed and does nothing
// (reads give zeros). GuiFrameCreate is the only way a control gets a frame;
// it answers the frame to keep (the old one reloaded, a new one, or null when
// the set is missing or of no known kind, the old frame then deleted).
#pragma once

#include "Engine/Core/Common/GeMap.h"
#include "Engine/Core/Common/GeString.h"
#include "Engine/Gui/GuiBoundFrames.h"

#include <cstdint>

class CGeCursorSet;
class CGeFrame3D;
class CGmSprite;
class CGuiBoundFrame;

struct GuiFrameInsets {
    float left, top, right, bottom;
};

// Deletes every record of the table and empties it.
void GuiFrameSetsDestroy(GuiFrameSetTable& table);
// True when the table holds a set of that name with a descriptor.
bool GuiFrameSetExists(const GuiFrameSetTable* table, const CGeString& name);
// The set's EP_BgVertexColor; false when the table has no such set.
bool GuiFrameSetBgColor(const GuiFrameSetTable* table, const CGeString& name, uint32_t* color);

// Brings frame to the named set of table: reloads a frame of the same kind,
// replaces one of another kind, creates one when there is none. Null (the old
// frame deleted) when the table holds no such set.
CGuiBoundFrame* GuiFrameCreate(CGuiBoundFrame* frame, const GuiFrameSetTable* table, const CGeString& name,
                               CGeFrame3D* ownerNode, float width, float height);
void GuiFrameDelete(CGuiBoundFrame* frame);

void GuiFrameSetSize(CGuiBoundFrame* frame, float width, float height);
void GuiFrameUpdate(CGuiBoundFrame* frame);
// Draws the parts in mask (0x100 background, 0xFF corners and borders).
void GuiFrameRender(CGuiBoundFrame* frame, uint32_t mask);
void GuiFrameSetColor(CGuiBoundFrame* frame, uint32_t color);
void GuiFrameSetBgColor(CGuiBoundFrame* frame, uint32_t color);
void GuiFrameSetVisible(CGuiBoundFrame* frame, uint8_t visible);
void GuiFrameSetAlpha(CGuiBoundFrame* frame, uint8_t alpha);
// Per side the client-area offset plus the background offset.
GuiFrameInsets GuiFrameGetInsets(const CGuiBoundFrame* frame);
// The size below which the framed control must not shrink.
void GuiFrameMinSize(const CGuiBoundFrame* frame, float* width, float* height);
// Repeats the sprite's picture over its size instead of stretching it.
void GuiTileSprite(CGmSprite* sprite);
// The frame draws its corners and borders with its background.
bool GuiFrameDrawsWithBg(const CGuiBoundFrame* frame);

// Selects and shows cursor n of the set.
void GuiCursorShow(CGeCursorSet* cursors, uint32_t n);
// Moves the set to (x, y) of the 2D view and runs its per-frame step.
void GuiCursorFollow(CGeCursorSet* cursors, float x, float y);
// Draws the shown cursor's sprite, when one is shown.
void GuiCursorDraw(CGeCursorSet* cursors);
