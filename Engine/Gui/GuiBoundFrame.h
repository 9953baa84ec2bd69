// Bound frames: the background, corners and borders drawn around a GUI
// control, as up to nine screen sprites hung under the control's visual node
// and laid out as a nine-part rectangle of the frame's size.
//
// A frame is brought to a frame set of its own kind by Reload (which does
// nothing for a set that looks like the applied one, keeps the parts whose
// picture did not change and lays out again only when a picture, a
// background offset or a tiling flag changed) or Apply (always lays out).
// CGuiFrameSimpleRect mirrors its one corner picture into the four corners
// (texture-coordinate modes 0 to 3) and its border pictures for the bottom
// and right sides; only its background tiles. CGuiFrameEnhancedRect has a
// picture per part, tiles borders and background by their flags and places
// its right-hand parts one unit left of the right edge.
//
// A part is visible after Layout exactly when it is larger than 0 by 0. The
// frame owns its parts and its copy of the applied set; it does not own the
// owner node or the sets it is given. The parts and the applied set sit in
// the base class, since both classes treat them alike.
#pragma once

#include "Engine/Gui/GuiBoundFrames.h"

#include <cstdint>

class CGeFrame3D;
class CGmSprite;

class CGuiBoundFrame {
public:
    CGuiBoundFrame(uint32_t frameKind, CGeFrame3D* ownerNode, float width, float height);
    virtual ~CGuiBoundFrame();
    CGuiBoundFrame(const CGuiBoundFrame&) = delete;
    CGuiBoundFrame& operator=(const CGuiBoundFrame&) = delete;

    // Draws the present parts in the render mask: background, corners, borders.
    virtual void Render();
    virtual void Update();
    // The background's colour and, as its alpha, the colour's top byte.
    virtual void SetBgColor(uint32_t argb);
    virtual void SetColor(uint32_t argb);
    virtual void SetAlpha(uint8_t value);
    virtual void SetVisible(uint8_t flag);
    virtual void Apply(const CGuiBoundFrameSet* set);
    virtual void Reload(const CGuiBoundFrameSet* set);
    virtual void Layout() = 0;
    // Takes the parts out of former's children, then hangs them under the owner.
    virtual void Reattach(CGeFrame3D* former);
    // Lays out again when the size really changes.
    void SetSize(float width, float height);

    // The part of a GuiFramePart number; null when absent.
    CGmSprite* Part(uint32_t part) const;
    // The client area's distance from side s (left, top, right, bottom).
    float Inset(uint32_t side) const { return clientAreaOffset[side] + bgOffset[side]; }

    // Repeats the sprite's picture over its size instead of stretching it.
    static void TileSprite(CGmSprite* sprite);
    // Selects the part's current frame again and refreshes its image size.
    static void Refresh(CGmSprite* sprite);

    float minSize[2] = {0.0f, 0.0f};
    uint32_t color = 0xFFFFFFFF;
    uint8_t alpha = 255;
    uint8_t visible = 1;
    uint32_t kind;
    float size[2];
    uint32_t renderMask = 0x1FF;
    CGeFrame3D* owner;
    float clientAreaOffset[4] = {0.0f, 0.0f, 0.0f, 0.0f}; // left, top, right, bottom
    float bgOffset[4] = {0.0f, 0.0f, 0.0f, 0.0f};
    uint8_t drawWithBackground = 0;
    CGuiBoundFrameSet* applied; // owned copy of the last set applied

    uint32_t presentParts = 0;
    CGmSprite* corners[4] = {nullptr, nullptr, nullptr, nullptr}; // left-top, right-top, left-bottom, right-bottom
    CGmSprite* borders[4] = {nullptr, nullptr, nullptr, nullptr}; // top, bottom, left, right
    CGmSprite* background = nullptr;

protected:
    // The texture-coordinate mode a new part takes.
    virtual uint32_t PartUVMode(uint32_t part) const = 0;
    // Visibility by size and the minimum size from the corners.
    void FinishLayout();

private:
    void BringTo(const CGuiBoundFrameSet& set, bool reload);
    void DetachParts(CGeFrame3D* node);
    void AttachParts();
    CGmSprite*& PartSlot(uint32_t part);
};

class CGuiFrameSimpleRect : public CGuiBoundFrame {
public:
    CGuiFrameSimpleRect(const CGuiBoundFrameSet* set, CGeFrame3D* ownerNode, float width, float height);
    void Layout() override;

protected:
    uint32_t PartUVMode(uint32_t part) const override;
};

class CGuiFrameEnhancedRect : public CGuiBoundFrame {
public:
    CGuiFrameEnhancedRect(const CGuiBoundFrameSet* set, CGeFrame3D* ownerNode, float width, float height);
    void Layout() override;

protected:
    uint32_t PartUVMode(uint32_t) const override { return 0; }
};
