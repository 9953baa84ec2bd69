#include "Engine/Gui/GuiScrollBar.h"

#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiResources.h"
#include "Engine/Gui/GuiValues.h"

#include <cmath>

namespace {

constexpr float kQuarterTurn = 1.5707964f;
constexpr float kHoldTime = 0.2f;
constexpr float kRepeatTime = 0.02f;

float Truncate(float v)
{
    return std::trunc(v);
}

// The length a picture takes across a bar of the given thickness, keeping
// its aspect; no length without a picture or for a frame without height.
float ScaledLength(const CGmSprite* sprite, float thick)
{
    if (!sprite)
        return 0.0f;
    const float fw = sprite->imageSet.framePixelSize[0];
    const float fh = sprite->imageSet.framePixelSize[1];
    return fh > 0.0f ? fw * thick / fh : 0.0f;
}

} // namespace

CGuiScrollBar::CGuiScrollBar(float w, float h) : CGuiControl(w, h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_SCROLLBAR;
}

CGuiScrollBar::~CGuiScrollBar()
{
    for (CGmSprite** s :
         {&endArrow, &endArrowPressed, &startArrow, &startArrowPressed, &thumb, &thumbPressed, &track, &trackPressed})
        RemoveSprite(*s);
}

// ---------------------------------------------------------------------------
// Pictures.

void CGuiScrollBar::RemoveSprite(CGmSprite*& sprite)
{
    if (!sprite)
        return;
    CGeFrame3D::DetachChild(&sprite->frame, &frame);
    delete sprite;
    sprite = nullptr;
}

CGmSprite* CGuiScrollBar::MakeSprite(const CGeString& schemaName, bool snapping, bool mirrored)
{
    const CGmImageSet* schema = CGuiResources::FindSpriteSchema(schemaName);
    if (!schema)
        return nullptr;
    CGmSprite* sprite = new CGmSprite(*schema, 0);
    sprite->SetBlendMode((uint32_t)blendMode);
    sprite->visible = 1;
    sprite->pixelSnapping = snapping ? 1 : 0;
    if (mirrored)
        sprite->SetUVMode(1);
    frame.AddChild(&sprite->frame);
    return sprite;
}

void CGuiScrollBar::SetPicture(uint32_t index, const CGeString& schemaName)
{
    CGmSprite** first = nullptr;
    CGmSprite** second = nullptr; // the end arrow beside the start arrow
    CGeString* stored = nullptr;
    bool snapping = true;
    switch (index) {
    case EP_ArrowPic:
        first = &startArrow;
        second = &endArrow;
        stored = &arrowPic;
        break;
    case EP_ArrowPressedPic:
        first = &startArrowPressed;
        second = &endArrowPressed;
        stored = &arrowPressedPic;
        break;
    case EP_ThumbPic:
        first = &thumb;
        stored = &thumbPic;
        snapping = false;
        break;
    case EP_ThumbPressedPic:
        first = &thumbPressed;
        stored = &thumbPressedPic;
        snapping = false;
        break;
    case EP_ScrollBarBgPic:
        first = &track;
        stored = &trackPic;
        break;
    case EP_ScrollBarBgPressedPic:
        first = &trackPressed;
        stored = &trackPressedPic;
        break;
    default: return;
    }
    RemoveSprite(*first);
    if (second)
        RemoveSprite(*second);
    *stored = CGeString();
    if (!CGuiResources::HasSpriteSchema(schemaName))
        return;
    *stored = schemaName;
    *first = MakeSprite(schemaName, snapping, second != nullptr);
    if (second)
        *second = MakeSprite(schemaName, snapping, false);
}

void CGuiScrollBar::SetBlendMode(int32_t mode)
{
    blendMode = mode;
    for (CGmSprite* s :
         {endArrow, endArrowPressed, startArrow, startArrowPressed, thumb, thumbPressed, track, trackPressed})
        if (s)
            s->SetBlendMode((uint32_t)mode);
}

void CGuiScrollBar::SetDirection(int32_t value)
{
    if (value == direction)
        return;
    direction = value;
    const float a = value == 1 ? kQuarterTurn : 0.0f;
    for (CGmSprite* s :
         {endArrow, endArrowPressed, startArrow, startArrowPressed, thumb, thumbPressed, track, trackPressed})
        if (s)
            s->frame.SetAngles({0.0f, 0.0f, a});
}

// ---------------------------------------------------------------------------
// Geometry.

float CGuiScrollBar::StartLength() const
{
    return ScaledLength(startArrow, Thickness());
}

float CGuiScrollBar::EndLength() const
{
    return ScaledLength(endArrow, Thickness());
}

float CGuiScrollBar::ThumbLength() const
{
    return thumb ? thumb->imageSet.framePixelSize[0] : 0.0f;
}

float CGuiScrollBar::ThumbPlace() const
{
    // Without a thumb the whole track lies after it.
    if (!thumb)
        return StartLength();
    return direction == 1 ? thumb->frame.position.y : thumb->frame.position.x;
}

bool CGuiScrollBar::InZone(int32_t part, float c) const
{
    const float len = Length(), sL = StartLength(), eL = EndLength();
    const float t = ThumbPlace(), tL = thumb ? ThumbLength() : 0.0f;
    switch (part) {
    case GUI_SCROLL_START_ARROW: return 0.0f <= c && c < sL;
    case GUI_SCROLL_END_ARROW: return len - eL <= c && c < len;
    case GUI_SCROLL_TRACK_BEFORE: return sL <= c && c < t;
    case GUI_SCROLL_TRACK_AFTER: return t + tL <= c && c < len - eL;
    case GUI_SCROLL_THUMB: return t <= c && c < t + tL;
    default: return false;
    }
}

int32_t CGuiScrollBar::ZoneAt(float c) const
{
    int32_t found = GUI_SCROLL_NONE;
    for (int32_t part = GUI_SCROLL_START_ARROW; part < GUI_SCROLL_NONE; ++part)
        if (InZone(part, c))
            found = part;
    return found;
}

void CGuiScrollBar::PlaceAlong(CGmSprite* sprite, float along, float length, float thick)
{
    if (!sprite)
        return;
    // The quarter turn lays the picture's thickness to the left of its
    // origin: a vertical bar's sprites start at its right edge.
    if (direction == 1)
        sprite->frame.SetPosition({width, along, 0.0f});
    else
        sprite->frame.SetPosition({along, 0.0f, 0.0f});
    sprite->SetSize(length, thick);
}

void CGuiScrollBar::LayoutTrack(CGmSprite* sprite, float len, float startLen, float endLen, float thick)
{
    if (!sprite)
        return;
    sprite->addressMode = 0;
    PlaceAlong(sprite, startLen, len - startLen - endLen, thick);
    if (trackTiled) {
        const float fw = sprite->imageSet.framePixelSize[0];
        sprite->SetQuadParams(fw > 0.0f ? sprite->size[0] / fw : 1.0f, 1.0f);
    } else {
        sprite->SetQuadParams(1.0f, 1.0f);
        sprite->ApplyImageSize();
    }
}

void CGuiScrollBar::Recalc()
{
    if (discontinuous)
        position = Truncate(position);
    const float len = Length(), thick = Thickness();
    const float sL = StartLength(), eL = EndLength();
    const float angle = direction == 1 ? kQuarterTurn : 0.0f;
    for (CGmSprite* s :
         {endArrow, endArrowPressed, startArrow, startArrowPressed, thumb, thumbPressed, track, trackPressed})
        if (s)
            s->frame.SetAngles({0.0f, 0.0f, angle});

    LayoutTrack(track, len, sL, eL, thick);
    LayoutTrack(trackPressed, len, sL, eL, thick);
    PlaceAlong(startArrow, 0.0f, sL, thick);
    PlaceAlong(startArrowPressed, 0.0f, sL, thick);
    PlaceAlong(endArrow, len - eL, eL, thick);
    PlaceAlong(endArrowPressed, len - eL, eL, thick);

    const float tL = ThumbLength();
    if (thumb) {
        const float travel = len - sL - eL - tL;
        const float range = maxPos - minPos;
        float p = sL;
        if (discontinuous) {
            const float steps = Truncate(range);
            if (steps < 1.0f)
                p = sL; // no whole step: the thumb rests at the start
            else if (position == minPos)
                p = sL;
            else if (position == minPos + steps)
                p = len - eL - tL;
            else
                p = sL + (position - minPos) * (travel / steps);
        } else {
            if (range != 0.0f)
                p = sL + (position - minPos) / range * travel;
            p = std::fmax(p, sL);
            p = std::fmin(p, len - eL - tL);
        }
        PlaceAlong(thumb, p, tL, thick);
        PlaceAlong(thumbPressed, p, tL, thick);
    }

    // A part that does not fit is hidden.
    const float room = std::fmax(len - eL, 0.0f);
    auto show = [](CGmSprite* normal, CGmSprite* pressed, bool fits) {
        if (normal)
            normal->visible = fits ? 1 : 0;
        if (pressed)
            pressed->visible = fits ? 1 : 0;
    };
    show(track, trackPressed, len - sL - eL > 0.0f && thick > 0.0f);
    if (thumb) {
        const float x = ThumbPlace();
        show(thumb, thumbPressed, tL > 0.0f && thick > 0.0f && x >= sL && x + tL <= room);
    } else if (thumbPressed) {
        thumbPressed->visible = 0;
    }
    show(startArrow, startArrowPressed, sL > 0.0f && thick > 0.0f && sL <= room);
    show(endArrow, endArrowPressed, eL > 0.0f && thick > 0.0f && len - eL >= sL);
    UpdateFrame();
}

void CGuiScrollBar::SetPosition(float value)
{
    if (value < minPos)
        value = minPos;
    else if (value > maxPos)
        value = maxPos;
    position = value;
    Recalc();
}

void CGuiScrollBar::SetMinPos(float value)
{
    minPos = std::fmin(value, position);
    Recalc();
}

void CGuiScrollBar::SetMaxPos(float value)
{
    maxPos = std::fmax(value, position);
    Recalc();
}

void CGuiScrollBar::Refresh()
{
    if (position < minPos)
        position = minPos;
    else if (position > maxPos)
        position = maxPos;
    Recalc();
}

void CGuiScrollBar::SetSize(float newWidth, float newHeight)
{
    CGuiControl::SetSize(newWidth, newHeight);
    Recalc();
}

// ---------------------------------------------------------------------------
// Look.

void CGuiScrollBar::SetVisualState(uint8_t state)
{
    CGuiControl::SetVisualState(state);
    const uint32_t argb = state ? 0xFFFFFFFF : disabledColor;
    for (CGmSprite* s : {track, endArrow, startArrow, thumb})
        if (s) {
            s->SetColor(argb);
            s->SetAlpha((uint8_t)(argb >> 24));
        }
    startLit = endLit = trackLit = thumbLit = 0;
}

CGmSprite* CGuiScrollBar::Shown(CGmSprite* normal, CGmSprite* pressed, uint8_t lit) const
{
    return lit && pressed ? pressed : normal;
}

void CGuiScrollBar::UpdateFrame()
{
    CGuiControl::UpdateFrame();
    for (CGmSprite* s : {Shown(track, trackPressed, trackLit), Shown(endArrow, endArrowPressed, endLit),
                         Shown(startArrow, startArrowPressed, startLit), Shown(thumb, thumbPressed, thumbLit)})
        if (s)
            s->Update();
}

void CGuiScrollBar::DrawContent()
{
    for (CGmSprite* s : {Shown(track, trackPressed, trackLit), Shown(endArrow, endArrowPressed, endLit),
                         Shown(startArrow, startArrowPressed, startLit), Shown(thumb, thumbPressed, thumbLit)})
        if (s)
            s->Render();
}

void CGuiScrollBar::DrawContentAgain()
{
    DrawContent();
}

// ---------------------------------------------------------------------------
// Input.

void CGuiScrollBar::LightZones(float c, bool setPart)
{
    for (int32_t part = GUI_SCROLL_START_ARROW; part < GUI_SCROLL_NONE; ++part) {
        if (!InZone(part, c))
            continue;
        if (setPart)
            pressedPart = part;
        switch (part) {
        case GUI_SCROLL_START_ARROW: startLit = 1; break;
        case GUI_SCROLL_END_ARROW: endLit = 1; break;
        case GUI_SCROLL_THUMB: thumbLit = 1; break;
        default: trackLit = 1; break;
        }
    }
}

void CGuiScrollBar::ConfineToTrack()
{
    CGuiManager* manager = Manager();
    if (!manager || !manager->mouse)
        return;
    const Vec2 o = ScreenOrigin();
    const float sL = StartLength(), eL = EndLength();
    GeMouseRect rect;
    if (direction == 1)
        rect = {o.x, o.y + sL, width, height - sL - eL};
    else
        rect = {o.x + sL, o.y, width - sL - eL, height};
    rect.x = Truncate(rect.x);
    rect.y = Truncate(rect.y);
    rect.width = Truncate(rect.width);
    rect.height = Truncate(rect.height);
    manager->mouse->ClipToRect(rect);
}

void CGuiScrollBar::ReleaseConfinement()
{
    CGuiManager* manager = Manager();
    if (manager && manager->mouse)
        manager->mouse->ReleaseClip();
}

bool CGuiScrollBar::Step(float count)
{
    const float old = position;
    switch (pressedPart) {
    case GUI_SCROLL_START_ARROW: position = std::fmax(position - smallChange * count, minPos); break;
    case GUI_SCROLL_END_ARROW: position = std::fmin(position + smallChange * count, maxPos); break;
    case GUI_SCROLL_TRACK_BEFORE: position = std::fmax(position - bigChange * count, minPos); break;
    case GUI_SCROLL_TRACK_AFTER: position = std::fmin(position + bigChange * count, maxPos); break;
    default: break;
    }
    return position != old;
}

void CGuiScrollBar::OnPress()
{
    pressedPart = GUI_SCROLL_NONE;
    active = 1;
    const float c = Pointer();
    lastPointer = c;
    LightZones(c, true);
    if (pressedPart == GUI_SCROLL_THUMB) {
        ConfineToTrack();
        grabOffset = c - ThumbPlace();
    }
    holdTimer = repeatTimer = 0.0f;
}

void CGuiScrollBar::OnDrag()
{
    if (!active || pressedPart != GUI_SCROLL_THUMB || !thumb)
        return;
    const float c = Pointer();
    const float len = Length(), sL = StartLength(), eL = EndLength(), tL = ThumbLength();
    float np = c - grabOffset;
    np = std::fmax(np, sL);
    np = std::fmin(np, len - eL - tL);
    const float old = position;
    if (discontinuous) {
        const float steps = Truncate(maxPos - minPos);
        const float step = steps >= 1.0f ? (len - eL - sL - tL) / steps : 0.0f;
        if (step <= 0.0f) {
            // No whole step, or no travel: the thumb stays at the start.
            np = sL;
            position = minPos;
        } else if (np < sL + step / 2.0f) {
            np = sL;
            position = minPos;
        } else if (np >= sL + step / 2.0f + (steps - 1.0f) * step) {
            np = len - eL - tL;
            position = maxPos;
        } else {
            const float wholeStep = Truncate(step);
            if (wholeStep >= 1.0f) {
                const int64_t k = (int64_t)Truncate(np - sL + step / 2.0f) / (int64_t)wholeStep;
                position = minPos + std::ceil((float)k * wholeStep / step);
            } else {
                // Steps under a pixel: the nearest whole step, in floats.
                position = minPos + std::floor((np - sL) / step + 0.5f);
            }
            position = std::fmin(std::fmax(position, minPos), maxPos);
            np = sL + (position - minPos) * step;
        }
    } else {
        const float travel = len - sL - eL - tL;
        position = travel > 0.0f ? minPos + (maxPos - minPos) * (np - sL) / travel : minPos;
    }
    PlaceAlong(thumb, np, tL, Thickness());
    PlaceAlong(thumbPressed, np, tL, Thickness());
    thumbLit = 1;
    lastPointer = c;
    if (position != old)
        PostEventToListeners(GUI_EV_SCROLL_CHANGED);
}

void CGuiScrollBar::OnRelease()
{
    ReleaseConfinement();
    if (!active)
        return;
    const float c = Pointer();
    lastPointer = c;
    bool changed = false;
    if (InZone(pressedPart, c))
        changed = Step(1.0f);
    active = 0;
    pressedPart = GUI_SCROLL_NONE;
    startLit = endLit = trackLit = thumbLit = 0;
    if (changed) {
        Recalc();
        PostEventToListeners(GUI_EV_SCROLL_CHANGED);
    }
    PostEventToListeners(GUI_EV_SCROLL_FINISHED);
    holdTimer = repeatTimer = 0.0f;
}

void CGuiScrollBar::RepeatOnHold()
{
    CGuiManager* manager = Manager();
    if (!active || !manager || !manager->mouse || !manager->mouse->buttons[0])
        return;
    const float delta = g_geTimer ? g_geTimer->delta : 0.0f;
    if (holdTimer < kHoldTime) {
        holdTimer += delta;
        if (holdTimer >= kHoldTime)
            holdTimer = kHoldTime;
        return;
    }
    if (repeatTimer < kRepeatTime) {
        repeatTimer += delta;
        return;
    }
    const float count = repeatTimer / kRepeatTime;
    repeatTimer = 0.0f;
    if (pressedPart == GUI_SCROLL_THUMB || pressedPart == GUI_SCROLL_NONE || !InZone(pressedPart, Pointer()))
        return;
    if (Step(count)) {
        PostEventToListeners(GUI_EV_SCROLL_CHANGED);
        Recalc();
    }
}

void CGuiScrollBar::UpdateFade()
{
    CGuiControl::UpdateFade();
    RepeatOnHold();
}

void CGuiScrollBar::OnEvent(uint32_t code)
{
    CGuiControl::OnEvent(code);
    CGuiManager* manager = Manager();
    const CGeMouseState* mouse = manager ? manager->mouse : nullptr;
    switch (code) {
    case GUI_EV_PRESS: OnPress(); break;
    case GUI_EV_RELEASE: OnRelease(); break;
    case GUI_EV_MOVE: OnDrag(); break;
    case GUI_EV_WHEEL: {
        if (!allowWheel)
            break;
        const float notches = mouse ? (float)(mouse->wheel - mouse->previousWheel) : 0.0f;
        position -= notches * smallChange;
        if (position < minPos)
            position = minPos;
        if (position > maxPos)
            position = maxPos;
        Recalc();
        PostEventToListeners(GUI_EV_SCROLL_CHANGED);
        PostEventToListeners(GUI_EV_SCROLL_FINISHED);
        break;
    }
    case GUI_EV_LEAVE:
        ReleaseConfinement();
        startLit = endLit = trackLit = thumbLit = 0;
        Recalc();
        PostEventToListeners(GUI_EV_SCROLL_FINISHED);
        break;
    case GUI_EV_ENTER:
        if (!mouse || !mouse->buttons[0]) {
            active = 0;
            break;
        }
        if (!active)
            break;
        if (pressedPart == GUI_SCROLL_THUMB)
            ConfineToTrack();
        else
            LightZones(Pointer(), false);
        break;
    case GUI_EV_FRAME_CHANGED: Recalc(); break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// Properties.

void CGuiScrollBar::SetProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    CGuiControl::SetProperty(index, value, false);
    switch (index) {
    case EP_ArrowPic:
    case EP_ArrowPressedPic:
    case EP_ThumbPic:
    case EP_ThumbPressedPic:
    case EP_ScrollBarBgPic:
    case EP_ScrollBarBgPressedPic: SetPicture(index, GuiValueString(value)); break;
    case EP_ScrollBarBgTiled: {
        trackTiled = GuiValueBool(value);
        const CGeString normal = trackPic, pressed = trackPressedPic;
        SetProperty(EP_ScrollBarBgPic, CGeValue(normal), false);
        SetProperty(EP_ScrollBarBgPressedPic, CGeValue(pressed), false);
        break;
    }
    case EP_ScrollBarBlendMode: SetBlendMode(GuiValueInt(value)); break;
    case EP_MinPos: minPos = std::fmin(GuiValueFloat(value), position); break;
    case EP_MaxPos: maxPos = std::fmax(GuiValueFloat(value), position); break;
    case EP_CurPos: position = GuiValueFloat(value); break;
    case EP_SmallChange: smallChange = GuiValueFloat(value); break;
    case EP_BigChange: bigChange = GuiValueFloat(value); break;
    case EP_Direction: direction = GuiValueInt(value); break;
    case EP_AllowWheel: allowWheel = GuiValueBool(value); break;
    case EP_Discontinuous: discontinuous = GuiValueBool(value); break;
    default: break;
    }
    if (refresh)
        Refresh();
}

bool CGuiScrollBar::GetProperty(uint32_t index, CGeWString& text)
{
    CGeValue v;
    switch (index) {
    case EP_ArrowPic: v = CGeValue(arrowPic); break;
    case EP_ArrowPressedPic: v = CGeValue(arrowPressedPic); break;
    case EP_ThumbPic: v = CGeValue(thumbPic); break;
    case EP_ThumbPressedPic: v = CGeValue(thumbPressedPic); break;
    case EP_ScrollBarBgPic: v = CGeValue(trackPic); break;
    case EP_ScrollBarBgPressedPic: v = CGeValue(trackPressedPic); break;
    case EP_ScrollBarBgTiled: v = GuiMakeBool(trackTiled); break;
    case EP_ScrollBarBlendMode: v = GuiMakeInt(blendMode); break;
    case EP_MinPos: v = GuiMakeFloat(minPos); break;
    case EP_MaxPos: v = GuiMakeFloat(maxPos); break;
    case EP_CurPos: v = GuiMakeFloat(position); break;
    case EP_SmallChange: v = GuiMakeFloat(smallChange); break;
    case EP_BigChange: v = GuiMakeFloat(bigChange); break;
    case EP_Direction: v = GuiMakeInt(direction); break;
    case EP_AllowWheel: v = GuiMakeBool(allowWheel); break;
    case EP_Discontinuous: v = GuiMakeBool(discontinuous); break;
    default: return CGuiControl::GetProperty(index, text);
    }
    text = PropertyValueToText(v, index);
    return true;
}
