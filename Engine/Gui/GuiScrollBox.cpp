#include "Engine/Gui/GuiScrollBox.h"

#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiScrollArea.h"
#include "Engine/Gui/GuiScrollBar.h"
#include "Engine/Gui/GuiText.h"
#include "Engine/Gui/GuiValues.h"

#include <cmath>
#include <string>

const char* const kGuiScrollAreaSuffix = "____ScrollArea____";

namespace {

constexpr uint32_t kKeyLeft = 37;
constexpr uint32_t kKeyUp = 38;
constexpr uint32_t kKeyRight = 39;
constexpr uint32_t kKeyDown = 40;

// The indices that only the base control takes.
bool IsBaseProperty(uint32_t index)
{
    return index == EP_DisabledColor || index == EP_FocusedColor ||
           (index >= EP_SizingAreaLeft && index <= EP_MaxHeight) || index == EP_ManuallyMovable ||
           index == EP_ManuallySizeable || (index >= EP_BoundFrameSet && index <= EP_Enable) ||
           (index >= EP_X && index <= EP_CursorType) || index == EP_ClippingMinDepth ||
           (index >= EP_ZoomX && index <= EP_PivotY);
}

} // namespace

CGuiScrollBox::CGuiScrollBox(float w, float h) : CGuiControl(w, h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_SCROLLBOX;
    focusEnabled = 1;
    compound = 1;
}

CGuiScrollBox::~CGuiScrollBox()
{
    GuiForgetParts(this, {area, horzBar, vertBar}, static_cast<void*>(this), &CGuiScrollBox::ChildListener);
}

void CGuiScrollBox::ChildListener(void* object, CGuiControl* child, uint32_t code)
{
    static_cast<CGuiScrollBox*>(object)->OnChildEvent(child, code);
}

void CGuiScrollBox::CreateChildren()
{
    area = static_cast<CGuiScrollArea*>(GuiMakePart(this, EGCT_SCROLLAREA, kGuiScrollAreaSuffix));
    horzBar = static_cast<CGuiScrollBar*>(GuiMakePart(this, EGCT_SCROLLBAR, kGuiHorzBarSuffix));
    vertBar = static_cast<CGuiScrollBar*>(GuiMakePart(this, EGCT_SCROLLBAR, kGuiVertBarSuffix));
    CGuiControl* const parts[3] = {area, horzBar, vertBar};
    for (CGuiControl* part : parts)
        if (part)
            AddChild(part);
    if (horzBar)
        horzBar->SetDirection(0);
    if (vertBar)
        vertBar->SetDirection(1);
    for (CGuiControl* part : parts)
        if (part)
            part->internalPart = 1;
    for (CGuiScrollBar* bar : {horzBar, vertBar})
        if (bar)
            bar->allowWheel = 0;
    for (CGuiControl* part :
         {static_cast<CGuiControl*>(vertBar), static_cast<CGuiControl*>(horzBar), static_cast<CGuiControl*>(area)})
        if (part && part != this)
            part->AddListener(static_cast<void*>(this), &CGuiScrollBox::ChildListener);
}

// ---------------------------------------------------------------------------
// Layout and the bars.

Vec2 CGuiScrollBox::Offset() const
{
    return area ? Vec2{-area->contentLeft, -area->contentTop} : Vec2{0.0f, 0.0f};
}

void CGuiScrollBox::Layout()
{
    if (!area || !horzBar || !vertBar)
        return;
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    const float l = in.left, t = in.top, r = in.right, b = in.bottom;
    const float vw = vertBarWidth, hw = horzBarWidth;
    if (autosize == 1 || autosize == 2) {
        // The content's size (not its scroll range, which would change the
        // size again at every layout).
        const GuiFrameInsets a = GuiFrameGetInsets(area->boundFrame);
        CGuiControl::SetSize(area->contentWidth + a.left + a.right + l + r + vw,
                             area->contentHeight + a.top + a.bottom + t + b + hw);
    }
    area->SetPosition(l, t);
    area->SetSize(width - l - r - vw, height - t - b - hw);
    vertBar->CGuiControl::SetPosition(std::fmax(width - vw - r, l), t);
    vertBar->SetSize(std::fmin(vw, width - r - l), height - t - b);
    horzBar->CGuiControl::SetPosition(l, std::fmax(height - b - hw, t));
    horzBar->SetSize(width - l - r - vw, std::fmin(hw, height - b - t));
}

void CGuiScrollBox::SyncScrollBars()
{
    if (!area)
        return;
    area->UpdateExtent();
    const GuiFrameInsets a = GuiFrameGetInsets(area->boundFrame);
    if (horzBar) {
        horzBar->SetPosition(-area->contentLeft);
        horzBar->SetMinPos(-a.left);
        horzBar->SetMaxPos(area->contentWidth + a.right - area->width);
    }
    if (vertBar) {
        vertBar->SetPosition(-area->contentTop);
        vertBar->SetMinPos(-a.top);
        vertBar->SetMaxPos(area->contentHeight + a.bottom - area->height);
    }
    if (vertBar)
        vertBar->SetVisualState(vertBar->maxPos > 0.0f && enabledState ? 1 : 0);
    if (horzBar)
        horzBar->SetVisualState(horzBar->maxPos > 0.0f && enabledState ? 1 : 0);
}

void CGuiScrollBox::SetSize(float newWidth, float newHeight)
{
    if (autosize == 0 || autosize == 2)
        CGuiControl::SetSize(newWidth, newHeight);
    Layout();
}

void CGuiScrollBox::Refresh()
{
    Layout();
    SyncScrollBars();
}

void CGuiScrollBox::SetVisualState(uint8_t state)
{
    CGuiControl::SetVisualState(state);
    for (CGuiControl* part :
         {static_cast<CGuiControl*>(area), static_cast<CGuiControl*>(horzBar), static_cast<CGuiControl*>(vertBar)})
        if (part)
            part->SetVisualState(state);
}

void CGuiScrollBox::DrawContent()
{
    if (area)
        for (auto* node = area->children.head; node; node = node->next)
            node->value->Render();
    if (vertBar)
        vertBar->DrawContent();
    if (horzBar)
        horzBar->DrawContent();
}

void CGuiScrollBox::DrawContentAgain()
{
    DrawContent();
}

// ---------------------------------------------------------------------------
// Events.

void CGuiScrollBox::OnEvent(uint32_t code)
{
    CGuiControl::OnEvent(code);
    CGuiManager* manager = Manager();
    const CGeKeyboardState* keyboard = manager ? manager->keyboard : nullptr;
    switch (code) {
    case GUI_EV_FRAME_CHANGED:
        Layout();
        SyncScrollBars();
        break;
    case GUI_EV_RESIZE_ENDED: SyncScrollBars(); break;
    case GUI_EV_KEY_DOWN: {
        if (!keyboard || !area)
            break;
        const bool shift = keyboard->IsShiftDown();
        const uint32_t key = keyboard->lastPressedKey;
        if ((key == kKeyLeft || key == kKeyRight) && horzBar) {
            const float step = shift ? horzBar->bigChange : horzBar->smallChange;
            horzBar->SetPosition(horzBar->position + (key == kKeyLeft ? step : -step));
            area->SetScrollOffset(horzBar->position, -area->contentTop);
        } else if ((key == kKeyUp || key == kKeyDown) && vertBar) {
            const float step = shift ? vertBar->bigChange : vertBar->smallChange;
            vertBar->SetPosition(vertBar->position + (key == kKeyUp ? step : -step));
            area->SetScrollOffset(-area->contentLeft, vertBar->position);
        }
        break;
    }
    case GUI_EV_KEY_UP: {
        const uint32_t key = keyboard ? keyboard->lastReleasedKey : 0;
        if (key >= kKeyLeft && key <= kKeyDown)
            SyncScrollBars();
        break;
    }
    default: break;
    }
}

void CGuiScrollBox::OnChildEvent(CGuiControl* child, uint32_t code)
{
    if (!child || !area)
        return;
    const bool fromBar = child == horzBar || child == vertBar;
    if (code == GUI_EV_SCROLL_CHANGED && child == horzBar) {
        area->SetScrollOffset(std::floor(horzBar->position + 0.5f), -area->contentTop);
    } else if (code == GUI_EV_SCROLL_CHANGED && child == vertBar) {
        area->SetScrollOffset(-area->contentLeft, std::floor(vertBar->position + 0.5f));
    } else if (code == GUI_EV_WHEEL && (fromBar || child == area)) {
        CGuiManager* manager = Manager();
        const CGeMouseState* mouse = manager ? manager->mouse : nullptr;
        const float notches = mouse ? (float)(mouse->wheel - mouse->previousWheel) : 0.0f;
        if (notches == 0.0f)
            return;
        const Vec2 before = Offset();
        const bool shift = manager && manager->keyboard && manager->keyboard->IsShiftDown();
        if (shift && horzBar) {
            horzBar->SetPosition(horzBar->position - horzBar->smallChange * notches);
            area->SetScrollOffset(std::floor(horzBar->position + 0.5f), -area->contentTop);
        } else if (!shift && vertBar) {
            vertBar->SetPosition(vertBar->position - vertBar->smallChange * notches);
            area->SetScrollOffset(-area->contentLeft, std::floor(vertBar->position + 0.5f));
        }
        const Vec2 after = Offset();
        if (after.x != before.x || after.y != before.y)
            SyncScrollBars();
    } else if ((code == GUI_EV_CONTENT_RESIZED && child == area) || (code == GUI_EV_SCROLL_FINISHED && fromBar)) {
        SyncScrollBars();
    }
}

// ---------------------------------------------------------------------------
// Properties.

void CGuiScrollBox::SetProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    if (IsBaseProperty(index)) {
        CGuiControl::SetProperty(index, value, false);
    } else if (index == EP_Clipping) {
        CGuiControl::SetProperty(index, value, false);
        for (CGuiControl* part :
             {static_cast<CGuiControl*>(area), static_cast<CGuiControl*>(horzBar), static_cast<CGuiControl*>(vertBar)})
            if (part)
                part->SetProperty(index, value, refresh);
    } else if (GuiIsScrollBarProperty(index)) {
        if (horzBar)
            horzBar->SetProperty(index, value, refresh);
        if (vertBar)
            vertBar->SetProperty(index, value, refresh);
    } else if (index == EP_ScrollOffsetX || index == EP_ScrollOffsetY) {
        if (area)
            area->SetProperty(index, value, refresh);
    } else if (index == EP_ScrollAreaChildren) {
        if (area) {
            area->SetProperty(EP_ScrollAreaChildren, value, refresh);
            area->SetProperty(EP_Children, value, refresh);
        }
    } else if (index == EP_HorzScrollBarWidth) {
        horzBarWidth = GuiValueFloat(value);
    } else if (index == EP_VertScrollBarWidth) {
        vertBarWidth = GuiValueFloat(value);
    } else if (index == EP_Autosize) {
        autosize = GuiValueInt(value);
    }
    if (refresh)
        Refresh();
}

bool CGuiScrollBox::GetProperty(uint32_t index, CGeWString& text)
{
    text = CGeWString();
    if (IsBaseProperty(index) || index == EP_Type || index == EP_Clipping)
        return CGuiControl::GetProperty(index, text);
    if (index == EP_ScrollOffsetX || index == EP_ScrollOffsetY)
        return area && area->GetProperty(index, text);
    if (index == EP_ScrollAreaChildren)
        return area && area->GetProperty(EP_Children, text);
    if (GuiIsScrollBarProperty(index)) {
        bool answered = false;
        if (horzBar)
            answered = horzBar->GetProperty(index, text);
        if (vertBar)
            answered = vertBar->GetProperty(index, text);
        return answered;
    }
    switch (index) {
    case EP_HorzScrollBarWidth: text = PropertyValueToText(GuiMakeFloat(horzBarWidth), index); return true;
    case EP_VertScrollBarWidth: text = PropertyValueToText(GuiMakeFloat(vertBarWidth), index); return true;
    case EP_Autosize: {
        const std::string digits = std::to_string(autosize);
        std::u16string wide(digits.begin(), digits.end());
        text = CGeWString(wide.c_str());
        return true;
    }
    default: return false;
    }
}
