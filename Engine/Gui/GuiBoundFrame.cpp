// Bound frames: parts made from frame sets, laid out and drawn.
#include "Engine/Gui/GuiBoundFrame.h"

#include "Engine/Core/Common/GeLog.h"
#include "Engine/Core/Gm/GeFrame3D.h"
#include "Engine/Core/Gm/GmImage.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmTexture.h"

namespace {

// Texture addressing that repeats the picture outside 0 to 1.
constexpr uint32_t kAddressWrap = 0;

CGmSprite* NewPart(const GuiFramePicture& picture, uint32_t uvMode, uint32_t blendMode)
{
    if (!picture.schema)
        return nullptr;
    CGmSprite* sprite = new CGmSprite(*picture.schema);
    if (uvMode)
        sprite->SetUVMode(uvMode);
    sprite->SetBlendMode(blendMode);
    return sprite;
}

float Width(const CGmSprite* sprite)
{
    return sprite ? sprite->size[0] : 0.0f;
}

float Height(const CGmSprite* sprite)
{
    return sprite ? sprite->size[1] : 0.0f;
}

void Place(CGmSprite* sprite, float x, float y)
{
    if (sprite)
        sprite->frame.SetPosition({x, y, 0.0f});
}

float Larger(float a, float b)
{
    return a > b ? a : b;
}

} // namespace

CGuiBoundFrame::CGuiBoundFrame(uint32_t frameKind, CGeFrame3D* ownerNode, float width, float height)
    : kind(frameKind), size{width, height}, owner(ownerNode)
{
    if (kind == EBFT_EnhancedRect)
        applied = new CGuiBoundFrameSetEnhanced();
    else
        applied = new CGuiBoundFrameSetSimple();
}

CGuiBoundFrame::~CGuiBoundFrame()
{
    if (owner)
        DetachParts(owner);
    for (uint32_t i = 0; i < 4; ++i) {
        delete corners[i];
        delete borders[i];
    }
    delete background;
    delete applied;
}

CGmSprite*& CGuiBoundFrame::PartSlot(uint32_t part)
{
    if (part < GUI_PART_TOP)
        return corners[part];
    if (part < GUI_PART_BACKGROUND)
        return borders[part - GUI_PART_TOP];
    return background;
}

CGmSprite* CGuiBoundFrame::Part(uint32_t part) const
{
    return const_cast<CGuiBoundFrame*>(this)->PartSlot(part < GUI_PART_COUNT ? part : GUI_PART_BACKGROUND);
}

void CGuiBoundFrame::DetachParts(CGeFrame3D* node)
{
    for (uint32_t part = 0; part < GUI_PART_COUNT; ++part) {
        if (CGmSprite* sprite = Part(part))
            CGeFrame3D::DetachChild(&sprite->frame, node);
    }
}

void CGuiBoundFrame::AttachParts()
{
    if (background)
        owner->AddChild(&background->frame);
    for (uint32_t i = 0; i < 4; ++i) {
        if (corners[i])
            owner->AddChild(&corners[i]->frame);
        if (borders[i])
            owner->AddChild(&borders[i]->frame);
    }
}

void CGuiBoundFrame::Render()
{
    static const uint32_t kOrder[GUI_PART_COUNT] = {8, 0, 1, 2, 3, 4, 5, 6, 7};
    for (uint32_t part : kOrder) {
        if (presentParts & renderMask & GuiPartBit(part))
            Part(part)->Render();
    }
}

void CGuiBoundFrame::Update()
{
    if (background)
        background->Update();
    for (uint32_t i = 0; i < 4; ++i) {
        if (corners[i])
            corners[i]->Update();
        if (borders[i])
            borders[i]->Update();
    }
}

void CGuiBoundFrame::SetBgColor(uint32_t argb)
{
    if (!background)
        return;
    background->SetColor(argb);
    background->SetAlpha((uint8_t)(argb >> 24));
}

void CGuiBoundFrame::SetColor(uint32_t argb)
{
    color = argb;
    for (uint32_t part = 0; part < GUI_PART_COUNT; ++part) {
        if (CGmSprite* sprite = Part(part)) {
            sprite->SetColor(argb);
            sprite->SetAlpha((uint8_t)(argb >> 24));
        }
    }
}

void CGuiBoundFrame::SetAlpha(uint8_t value)
{
    alpha = value;
    for (uint32_t part = 0; part < GUI_PART_COUNT; ++part) {
        if (CGmSprite* sprite = Part(part))
            sprite->SetAlpha(value);
    }
}

void CGuiBoundFrame::SetVisible(uint8_t flag)
{
    visible = flag;
    for (uint32_t part = 0; part < GUI_PART_COUNT; ++part) {
        if (CGmSprite* sprite = Part(part))
            sprite->visible = flag;
    }
}

void CGuiBoundFrame::Reload(const CGuiBoundFrameSet* set)
{
    if (set)
        BringTo(*set, true);
}

void CGuiBoundFrame::Apply(const CGuiBoundFrameSet* set)
{
    if (set)
        BringTo(*set, false);
}

void CGuiBoundFrame::BringTo(const CGuiBoundFrameSet& set, bool reload)
{
    if (set.kind != kind) {
        // The control makes a frame of the other class for such a set.
        GeLog(2, "CGuiBoundFrame: frame set %s is of kind %u, the frame of kind %u\n", set.name.c_str(), set.kind,
              kind);
        return;
    }
    if (reload && set.LooksLike(*applied))
        return;
    drawWithBackground = set.drawFrameWithBg;
    if (owner)
        DetachParts(owner);
    bool layoutNeeded = !reload || set.NeedsLayoutAgainst(*applied);
    presentParts = 0;
    for (uint32_t side = 0; side < 4; ++side) {
        bgOffset[side] = set.bgOffset[side];
        clientAreaOffset[side] = set.clientAreaOffset[side];
    }

    const GuiFramePicture& bgPicture = set.Picture(GUI_PART_BACKGROUND);
    if (bgPicture.schema != applied->Picture(GUI_PART_BACKGROUND).schema || set.bgTiled != applied->bgTiled) {
        delete background;
        background = NewPart(bgPicture, PartUVMode(GUI_PART_BACKGROUND), set.bgBlendMode);
        layoutNeeded = true;
    }
    if (background) {
        background->SetBlendMode(set.bgBlendMode);
        presentParts |= GuiPartBit(GUI_PART_BACKGROUND);
        if (set.bgVertexColor != applied->bgVertexColor)
            SetBgColor(set.bgVertexColor);
    }
    for (uint32_t i = 0; i < 4; ++i) {
        const uint32_t corner = GUI_PART_LEFT_TOP + i;
        if (set.Picture(corner).schema != applied->Picture(corner).schema) {
            delete corners[i];
            corners[i] = NewPart(set.Picture(corner), PartUVMode(corner), set.cornersBlendMode);
            layoutNeeded = true;
        }
        if (corners[i]) {
            corners[i]->SetBlendMode(set.cornersBlendMode);
            presentParts |= GuiPartBit(corner);
        }
        const uint32_t border = GUI_PART_TOP + i;
        if (set.Picture(border).schema != applied->Picture(border).schema ||
            set.BorderTiled(i) != applied->BorderTiled(i)) {
            delete borders[i];
            borders[i] = NewPart(set.Picture(border), PartUVMode(border), set.bordersBlendMode);
            layoutNeeded = true;
        }
        if (borders[i]) {
            borders[i]->SetBlendMode(set.bordersBlendMode);
            presentParts |= GuiPartBit(border);
        }
    }

    CGuiBoundFrameSet* copy = set.Clone();
    delete applied;
    applied = copy;
    for (uint32_t part = 0; part < GUI_PART_COUNT; ++part) {
        if (CGmSprite* sprite = Part(part))
            sprite->pixelSnapping = 1;
    }
    if (owner)
        AttachParts();
    if (layoutNeeded)
        Layout();
}

void CGuiBoundFrame::Reattach(CGeFrame3D* former)
{
    if (former)
        DetachParts(former);
    if (owner)
        AttachParts();
}

void CGuiBoundFrame::SetSize(float width, float height)
{
    if (width == size[0] && height == size[1])
        return;
    size[0] = width;
    size[1] = height;
    Layout();
}

void CGuiBoundFrame::Refresh(CGmSprite* sprite)
{
    if (!sprite)
        return;
    sprite->imageSet.SetFrame((int32_t)sprite->imageSet.currentFrame);
    sprite->ApplyImageSize();
}

void CGuiBoundFrame::TileSprite(CGmSprite* sprite)
{
    if (!sprite)
        return;
    const CGmImage* image = sprite->imageSet.texture ? sprite->imageSet.texture->Image() : nullptr;
    const float textureWidth = (image && image->width) ? (float)image->width : 1.0f;
    const float textureHeight = (image && image->height) ? (float)image->height : 1.0f;
    sprite->SetQuadParams(sprite->size[0] / textureWidth, sprite->size[1] / textureHeight);
}

void CGuiBoundFrame::FinishLayout()
{
    for (uint32_t part = 0; part < GUI_PART_COUNT; ++part) {
        if (CGmSprite* sprite = Part(part))
            sprite->visible = (sprite->size[0] > 0.0f && sprite->size[1] > 0.0f) ? 1 : 0;
    }
    minSize[0] = Larger(Width(corners[0]), Width(corners[2])) + Larger(Width(corners[1]), Width(corners[3]));
    minSize[1] = Larger(Height(corners[0]), Height(corners[1])) + Larger(Height(corners[2]), Height(corners[3]));
}

// Lays the background out within its offsets; common to both classes.
static void LayOutBackground(CGmSprite* background, const float* size, const float* offset, uint8_t tiled)
{
    if (!background)
        return;
    background->SetSize(size[0] - offset[0] - offset[2], size[1] - offset[1] - offset[3]);
    Place(background, offset[0], offset[1]);
    background->addressMode = kAddressWrap;
    if (tiled)
        CGuiBoundFrame::TileSprite(background);
    else
        CGuiBoundFrame::Refresh(background);
}

// ---------------------------------------------------------------------------
// SimpleRect.

CGuiFrameSimpleRect::CGuiFrameSimpleRect(const CGuiBoundFrameSet* set, CGeFrame3D* ownerNode, float width, float height)
    : CGuiBoundFrame(EBFT_SimpleRect, ownerNode, width, height)
{
    if (set)
        Reload(set);
}

uint32_t CGuiFrameSimpleRect::PartUVMode(uint32_t part) const
{
    // Corners mirror by their place; the bottom border top-bottom, the right one left-right.
    static const uint32_t kModes[GUI_PART_COUNT] = {0, 1, 2, 3, 0, 2, 0, 1, 0};
    return part < GUI_PART_COUNT ? kModes[part] : 0;
}

void CGuiFrameSimpleRect::Layout()
{
    const float w = size[0], h = size[1];
    LayOutBackground(background, size, bgOffset, applied->bgTiled);
    // Every corner is placed with the left-top corner's size before its refresh.
    const float cw = Width(corners[0]), ch = Height(corners[0]);
    Place(corners[0], 0.0f, 0.0f);
    Place(corners[1], w - cw, 0.0f);
    Place(corners[3], w - cw, h - ch);
    Place(corners[2], 0.0f, h - ch);
    for (CGmSprite* corner : corners)
        Refresh(corner);

    const float th = Height(borders[0]), lw = Width(borders[2]);
    Place(borders[0], cw, 0.0f);
    Place(borders[1], cw, h - th);
    Place(borders[2], 0.0f, ch);
    Place(borders[3], w - lw, ch);
    for (uint32_t i = 0; i < 4; ++i) {
        if (!borders[i])
            continue;
        if (i < 2)
            borders[i]->SetSize(w - 2.0f * cw, th);
        else
            borders[i]->SetSize(lw, h - 2.0f * ch);
        Refresh(borders[i]);
    }
    FinishLayout();
}

// ---------------------------------------------------------------------------
// EnhancedRect.

CGuiFrameEnhancedRect::CGuiFrameEnhancedRect(const CGuiBoundFrameSet* set, CGeFrame3D* ownerNode, float width,
                                             float height)
    : CGuiBoundFrame(EBFT_EnhancedRect, ownerNode, width, height)
{
    if (set)
        Reload(set);
}

void CGuiFrameEnhancedRect::Layout()
{
    const float w = size[0], h = size[1];
    LayOutBackground(background, size, bgOffset, applied->bgTiled);
    for (uint32_t part = 0; part < GUI_PART_COUNT; ++part) {
        if (CGmSprite* sprite = Part(part))
            sprite->addressMode = kAddressWrap;
    }
    const float ltw = Width(corners[0]), lth = Height(corners[0]);
    const float rtw = Width(corners[1]), rth = Height(corners[1]);
    const float lbw = Width(corners[2]), lbh = Height(corners[2]);
    const float rbw = Width(corners[3]), rbh = Height(corners[3]);
    Place(corners[0], 0.0f, 0.0f);
    Place(corners[1], w - rtw - 1.0f, 0.0f);
    Place(corners[2], 0.0f, h - lbh);
    Place(corners[3], w - rbw - 1.0f, h - rbh);

    if (CGmSprite* top = borders[0]) {
        Place(top, ltw, 0.0f);
        top->SetSize(w - ltw - rtw - 1.0f, top->size[1]);
    }
    if (CGmSprite* bottom = borders[1]) {
        Place(bottom, lbw, h - bottom->size[1]);
        bottom->SetSize(w - lbw - rbw - 1.0f, bottom->size[1]);
    }
    if (CGmSprite* left = borders[2]) {
        Place(left, 0.0f, lth);
        left->SetSize(left->size[0], h - lth - lbh);
    }
    if (CGmSprite* right = borders[3]) {
        Place(right, w - right->size[0] - 1.0f, rth);
        right->SetSize(right->size[0], h - rth - rbh);
    }
    for (uint32_t i = 0; i < 4; ++i) {
        if (applied->BorderTiled(i))
            TileSprite(borders[i]);
        else
            Refresh(borders[i]);
    }
    FinishLayout();
}
