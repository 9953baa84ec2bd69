// The control base at run time: the per-frame update with its click timers
// and clip rectangle, drawing with the 2D camera's clip, hit tests through
// the visual node's inverse world matrix (rotation, zoom and pivot honoured),
// the hover fade, the mouse handling with its enter, move, leave, click and
// double-click events and manual moving and resizing, and the focused
// control's keyboard handling with Tab.
//
// A control takes part only while it is live: its set is the manager's
// current set and it and every ancestor are visible.
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControl.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiManager.h"

namespace {

constexpr float kClickTime = 0.3f;
constexpr float kFadeTime = 0.3f;

float FrameDelta()
{
    return g_geTimer ? g_geTimer->delta : 0.0f;
}

CGmCamera* Camera2D()
{
    return CGeHub::s_cameras2d[CGeHub::s_currentSlot];
}

} // namespace

// ---------------------------------------------------------------------------
// Liveness.

bool CGuiControl::IsVisibleWithAncestors() const
{
    for (const CGuiControl* c = this; c; c = c->parent)
        if (!c->visible)
            return false;
    return true;
}

bool CGuiControl::IsLive() const
{
    return ownerSet && ownerSet->IsCurrent() && IsVisibleWithAncestors();
}

// ---------------------------------------------------------------------------
// Update and clipping.

void CGuiControl::Update()
{
    RebuildMatrices();
    const float delta = FrameDelta();
    for (float& timer : clickTimers)
        if (timer < kClickTime)
            timer += delta;
    if (!IsLive())
        return;
    hasClipRect = UpdateClipRect() ? 1 : 0;
    UpdateFade();
    UpdateFrame();
}

bool CGuiControl::FindClipContainer(CGuiControl** container)
{
    *container = nullptr;
    if (!clipping)
        return false;
    int32_t hops = 0;
    CGuiControl* at = parent;
    while (at) {
        if (hops >= clippingDepth) {
            *container = at;
            return true;
        }
        ++hops;
        for (int32_t up = at->clippingDepth + 1; up > 0 && at; --up)
            at = at->parent;
    }
    return false;
}

CGeRect CGuiControl::GetClipRect()
{
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    const Vec2 origin = ScreenOrigin();
    CGeRect rect = {origin.x + in.left, origin.y + in.top, width - in.left - in.right, height - in.top - in.bottom};
    if (clipping) {
        CGuiControl* above = parent;
        for (int32_t up = clippingDepth; up > 0 && above; --up)
            above = above->parent;
        if (above)
            rect = CGeRect::Intersect(rect, above->GetClipRect());
    }
    return rect;
}

bool CGuiControl::UpdateClipRect()
{
    CGuiControl* container = nullptr;
    if (!FindClipContainer(&container))
        return false;
    const Vec2 origin = ScreenOrigin();
    clipRect = CGeRect::Intersect({origin.x, origin.y, width, height}, container->GetClipRect());
    return true;
}

// ---------------------------------------------------------------------------
// Drawing.

void CGuiControl::DrawFrameBackgrounds()
{
    if (!boundFrameVisible)
        return;
    for (CGuiBoundFrame* f : {boundFrame, hoverFrame}) {
        if (!f)
            continue;
        GuiFrameRender(f, 0x100);
        if (GuiFrameDrawsWithBg(f))
            GuiFrameRender(f, 0xFF);
    }
}

void CGuiControl::DrawFrameBorders()
{
    if (!boundFrameVisible)
        return;
    for (CGuiBoundFrame* f : {boundFrame, hoverFrame})
        if (f && !GuiFrameDrawsWithBg(f))
            GuiFrameRender(f, 0xFF);
}

void CGuiControl::Render()
{
    if (!IsLive())
        return;
    bool drawSelf = true;
    bool scissor = false;
    if (hasClipRect) {
        if (clipRect.width == 0.0f || clipRect.height == 0.0f)
            drawSelf = false;
        else if (!CGeRect::IsInside(GetRect(), clipRect))
            scissor = true;
    }
    CGmCamera* camera = scissor ? Camera2D() : nullptr;
    auto scissorOn = [&] {
        if (camera) {
            const float rect[4] = {clipRect.x, clipRect.y, clipRect.width, clipRect.height};
            camera->SetClipRect(rect);
            camera->locked = 1;
        }
    };
    auto scissorOff = [&] {
        if (camera)
            camera->locked = 0;
    };

    if (drawSelf) {
        scissorOn();
        DrawFrameBackgrounds();
        DrawContent();
        scissorOff();
    }
    for (auto* node = children.head; node; node = node->next)
        if (!node->value->internalPart)
            node->value->Render();
    if (drawSelf) {
        scissorOn();
        DrawForeground();
        DrawFrameBorders();
        scissorOff();
    }
}

// ---------------------------------------------------------------------------
// Hit tests.

bool CGuiControl::HitTest(float x, float y)
{
    if (!IsLive() || transparentForManipulator)
        return false;
    if (hasClipRect)
        return clipRect.Contains(x, y);
    float lx, ly;
    if (!ScreenToLocal(x, y, &lx, &ly))
        return false;
    return 0.0f <= lx && lx < width && 0.0f <= ly && ly < height;
}

bool CGuiControl::HitTestDeep(float x, float y)
{
    if (HitTest(x, y) && ownerSet && ownerSet->FindControlAt(x, y) == this)
        return true;
    if (!compound)
        return false;
    for (auto* node = children.head; node; node = node->next)
        if (node->value->internalPart && node->value->HitTestDeep(x, y))
            return true;
    return false;
}

bool CGuiControl::IsPointInActiveArea(float x, float y)
{
    if (!HasActiveArea())
        return true;
    float lx, ly;
    if (!ScreenToLocal(x, y, &lx, &ly))
        return false;
    const CGeRect active = {(float)activeArea[0], (float)activeArea[1],
                            width - (float)activeArea[0] - (float)activeArea[2],
                            height - (float)activeArea[1] - (float)activeArea[3]};
    return active.Contains(lx, ly);
}

bool CGuiControl::IsPointInClientArea(float x, float y) const
{
    float lx, ly;
    if (!ScreenToLocal(x, y, &lx, &ly))
        return false;
    return 0.0f <= lx && lx < width && 0.0f <= ly && ly < height;
}

CGuiControl* CGuiControl::FindControlAt(float x, float y)
{
    if (!IsLive() || transparentForManipulator)
        return nullptr;
    for (auto* node = children.tail; node; node = node->prev)
        if (CGuiControl* hit = node->value->FindControlAt(x, y))
            return hit;
    return HitTest(x, y) ? this : nullptr;
}

void CGuiControl::FocusOnPress()
{
    if (ownerSet && ownerSet->focused != this && focusEnabled)
        ownerSet->SetFocus(this);
}

// ---------------------------------------------------------------------------
// Hover fade.

void CGuiControl::UpdateFade()
{
    if (fadeTimer == kFadeTime || moving || sizing)
        return;
    const float next = fadeTimer + FrameDelta();
    fadeTimer = next >= kFadeTime ? kFadeTime : next;
    // In double precision: 0.3f x 255 / 0.3f is then exactly 255, where
    // single precision gives 254 and a fully shown frame stays translucent.
    int32_t alpha = (int32_t)((double)fadeTimer * 255.0 / (double)kFadeTime);
    if (fadingOut)
        alpha = 255 - alpha;
    alpha = alpha < 0 ? 0 : (alpha > 255 ? 255 : alpha);
    if (hoverFrame) {
        GuiFrameSetVisible(hoverFrame, alpha != 0 ? 1 : 0);
        GuiFrameSetAlpha(hoverFrame, (uint8_t)alpha);
    }
}

// ---------------------------------------------------------------------------
// Cursor and manual moving and resizing.

bool CGuiControl::InInnerRect(float px, float py) const
{
    return sizingArea[0] <= px && px <= width - sizingArea[2] && sizingArea[1] <= py && py <= height - sizingArea[3];
}

int32_t CGuiControl::CursorAt(float px, float py) const
{
    if (sizing) {
        switch (sizingEdge) {
        case 1:
        case 2: return 4;
        case 3:
        case 4: return 5;
        case 5:
        case 8: return 6;
        case 6:
        case 7: return 7;
        default: return cursorType;
        }
    }
    if (moving)
        return 3;
    const bool anyArea = sizingArea[0] != 0.0f || sizingArea[1] != 0.0f || sizingArea[2] != 0.0f ||
                         sizingArea[3] != 0.0f;
    if (!manuallySizeable || !anyArea)
        return cursorType;
    const bool left = px < sizingArea[0], right = px >= width - sizingArea[2];
    const bool top = py < sizingArea[1], bottom = py >= height - sizingArea[3];
    if ((top && left) || (bottom && right))
        return 6;
    if ((top && right) || (bottom && left))
        return 7;
    if (left || right)
        return 5;
    if (top || bottom)
        return 4;
    return cursorType;
}

void CGuiControl::ShowCursor(int32_t n) const
{
    CGuiManager* manager = Manager();
    if (manager && manager->cursorSet)
        GuiCursorShow(manager->cursorSet, (uint32_t)n);
}

void CGuiControl::EndManipulation()
{
    if (sizing)
        FireEvent(GUI_EV_RESIZE_ENDED);
    if (moving)
        FireEvent(GUI_EV_MOVE_ENDED);
    moving = 0;
    sizing = 0;
    if (ownerSet && ownerSet->capture == this)
        ownerSet->capture = nullptr;
    ShowCursor(cursorType);
}

void CGuiControl::ResizeStep(float curX, float curY)
{
    const float dx = curX - dragAnchor[0];
    const float dy = curY - dragAnchor[1];
    const float oldX = X(), oldY = Y(), oldW = width, oldH = height;
    float x = oldX, y = oldY, w = oldW, h = oldH;
    const int32_t e = sizingEdge;
    const bool topEdge = e == 1 || e == 5 || e == 6;
    const bool bottomEdge = e == 2 || e == 7 || e == 8;
    const bool leftEdge = e == 3 || e == 5 || e == 7;
    const bool rightEdge = e == 4 || e == 6 || e == 8;
    if (topEdge) {
        h -= dy;
        y += dy;
    }
    if (bottomEdge)
        h += dy;
    if (leftEdge) {
        w -= dx;
        x += dx;
    }
    if (rightEdge)
        w += dx;

    float frameMinW, frameMinH;
    GuiFrameMinSize(boundFrame, &frameMinW, &frameMinH);
    // One axis: the extent kept within its limits, the anchor moved by what
    // the limit held back, and a moving near side kept off the far side.
    auto limit = [](float& extent, float& pos, float& anchor, float cur, float oldPos, float oldExtent, float lo,
                    float hi, bool nearSide) {
        float bound = extent;
        if (extent < lo)
            bound = lo;
        else if (hi != 0.0f && extent > hi)
            bound = hi;
        else {
            anchor = cur;
            return;
        }
        if (!nearSide)
            anchor = cur + (bound - extent);
        else {
            anchor = cur - (bound - extent);
            pos = oldPos + (oldExtent - bound);
        }
        extent = bound;
    };
    if (w != oldW) {
        const float lo = MaxF(MaxF(sizingArea[0] + sizingArea[2], minWidth), frameMinW);
        limit(w, x, dragAnchor[0], curX, oldX, oldW, lo, maxWidth, leftEdge);
    }
    if (h != oldH) {
        const float lo = MaxF(MaxF(sizingArea[1] + sizingArea[3], minHeight), frameMinH);
        limit(h, y, dragAnchor[1], curY, oldY, oldH, lo, maxHeight, topEdge);
    }
    if (x != oldX || y != oldY)
        SetPosition(x, y);
    if (w != oldW || h != oldH)
        SetSize(w, h);
}

// ---------------------------------------------------------------------------
// Mouse.

void CGuiControl::OnMouseMessage(uint32_t c)
{
    PreMouseMessage(c);
    CGuiManager* manager = Manager();
    const CGeMouseState* mouse = manager ? manager->mouse : nullptr;
    if (!mouse)
        return;
    const float curX = mouse->x, curY = mouse->y;
    const float prevX = mouse->previousX, prevY = mouse->previousY;

    if (!fadingOut && !moving && !sizing && !HitTestDeep(curX, curY)) {
        fadingOut = 1;
        fadeTimer = 0.0f;
    }
    if (c == GUI_EV_MOVE && enabledState && (moving || sizing)) {
        if (!mouse->buttons[0])
            EndManipulation();
        if (moving) {
            SetPosition(X() + (curX - dragAnchor[0]), Y() + (curY - dragAnchor[1]));
            dragAnchor[0] = curX;
            dragAnchor[1] = curY;
        }
        if (sizing)
            ResizeStep(curX, curY);
    }
    float lx, ly;
    if (ScreenToLocal(curX, curY, &lx, &ly)) {
        lastLocalPointer[0] = lx;
        lastLocalPointer[1] = ly;
    }

    CGuiControlSet* set = ownerSet;
    auto topmost = [&](float x, float y) { return set && set->FindControlAt(x, y) == this; };
    const bool hitNow = HitTest(curX, curY) && topmost(curX, curY);
    const bool hitPrev = HitTest(prevX, prevY) && topmost(prevX, prevY);
    bool activeNow = false, activePrev = false;
    if (HasActiveArea()) {
        const Vec2 o = ScreenOrigin();
        const CGeRect active = {o.x + (float)activeArea[0], o.y + (float)activeArea[1],
                                width - (float)activeArea[0] - (float)activeArea[2],
                                height - (float)activeArea[1] - (float)activeArea[3]};
        activeNow = hitNow && active.Contains(curX, curY);
        activePrev = hitPrev && active.Contains(prevX, prevY);
    }
    const bool canHover = !moving && !sizing && enabledState && !internalPart;
    bool deepNow = false, deepPrev = false;
    if (canHover) {
        deepNow = HitTestDeep(curX, curY);
        deepPrev = HitTestDeep(prevX, prevY);
        if (deepNow && !deepPrev) {
            fadingOut = 0;
            fadeTimer = 0.0f;
        } else if (deepPrev && !deepNow) {
            fadingOut = 1;
            fadeTimer = 0.0f;
        }
        if (deepNow && c == GUI_EV_PRESS)
            FocusOnPress();
    }
    auto captured = [&] { return ownerSet && ownerSet->capture == this; };

    // Enter events.
    if (canHover && !deepPrev && (deepNow || captured()))
        FireEvent(GUI_EV_ENTER_DEEP);
    if (!hitPrev && (hitNow || captured())) {
        FireEvent(GUI_EV_ENTER);
        for (int b = 0; b < 5; ++b)
            if (!mouse->buttons[b])
                buttonDown[b] = 0;
    }
    if (!activePrev && (activeNow || captured()))
        FireEvent(GUI_EV_ENTER_ACTIVE);
    if (canHover && c == GUI_EV_MOVE && (deepNow || captured()))
        FireEvent(GUI_EV_MOVE_DEEP);
    if (c == GUI_EV_MOVE && hitNow)
        FireEvent(GUI_EV_MOVE);

    if (enabledState) {
        if (c == GUI_EV_MOVE && (hitNow || captured())) {
            float px = lastLocalPointer[0], py = lastLocalPointer[1];
            ShowCursor(CursorAt(px, py));
        }
        if (hitNow || captured()) {
            if (c == GUI_EV_WHEEL)
                FireEvent(GUI_EV_WHEEL);
            for (uint32_t b = 0; b < 5; ++b) {
                if (c == 4 * b + 1) {
                    FireEvent(4 * b + 1);
                    buttonDown[b] = 1;
                } else if (c == 4 * b + 2) {
                    FireEvent(4 * b + 2);
                    if (buttonDown[b]) {
                        FireEvent(4 * b + 3);
                        if (clickTimers[b] <= kClickTime)
                            FireEvent(4 * b + 4);
                        clickTimers[b] = 0.0f;
                    }
                    buttonDown[b] = 0;
                }
            }
        }
    } else if (hitNow || captured()) {
        for (uint32_t b = 0; b < 5; ++b) {
            if (c == 4 * b + 1) {
                FireEvent(GUI_EV_PRESS_DISABLED + 4 * b);
                buttonDown[b] = 1;
            } else if (c == 4 * b + 2) {
                FireEvent(GUI_EV_RELEASE_DISABLED + 4 * b);
                buttonDown[b] = 0;
            }
        }
        if (c == GUI_EV_WHEEL)
            FireEvent(GUI_EV_WHEEL_DISABLED);
    }

    // Leave events.
    if (hitPrev && !hitNow && !captured()) {
        FireEvent(GUI_EV_LEAVE);
        if (!mouse->buttons[0] || !(moving || sizing))
            ShowCursor(1);
    }
    if (activePrev && !activeNow && !captured())
        FireEvent(GUI_EV_LEAVE_ACTIVE);
    if (canHover && deepPrev && !deepNow && !captured())
        FireEvent(GUI_EV_LEAVE_DEEP);
}

// ---------------------------------------------------------------------------
// Keyboard.

void CGuiControl::OnKeyboardMessage(uint32_t c)
{
    if (!IsLive() || !enabledState || ownerSet->focused != this)
        return;
    CGuiManager* manager = Manager();
    const CGeKeyboardState* keyboard = manager ? manager->keyboard : nullptr;
    switch (c) {
    case GUI_EV_KEY_DOWN:
        pressedKey = keyboard ? keyboard->lastPressedKey : 0;
        FireEvent(GUI_EV_KEY_DOWN);
        break;
    case GUI_EV_KEY_UP:
        FireEvent(GUI_EV_KEY_UP);
        if (keyboard && keyboard->lastReleasedKey == pressedKey)
            FireEvent(GUI_EV_KEY_RELEASED_HERE);
        pressedKey = 0;
        break;
    case GUI_EV_CHAR:
        if (keyboard && keyboard->character == 9) {
            const bool back = keyboard->IsShiftDown();
            if (parent) {
                if (back)
                    parent->FocusPrevTab();
                else
                    parent->FocusNextTab();
            } else if (ownerSet) {
                if (back)
                    ownerSet->FocusPrevTab();
                else
                    ownerSet->FocusNextTab();
            }
        }
        FireEvent(GUI_EV_CHAR);
        break;
    default: break;
    }
}
