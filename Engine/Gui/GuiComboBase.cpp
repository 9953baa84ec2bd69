#include "Engine/Gui/GuiComboBase.h"

#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiButton.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiEdit.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiListBox.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiText.h"
#include "Engine/Gui/GuiValues.h"

#include <cmath>

const char* const kGuiListBoxSuffix = "____ListBox____";
const char* const kGuiButtonSuffix = "____Button____";

namespace {

constexpr uint32_t kKeyEnter = 13;
constexpr uint32_t kKeyControl = 17;
constexpr uint32_t kKeyUp = 38;
constexpr uint32_t kKeyDown = 40;

bool IsBaseProperty(uint32_t index)
{
    switch (index) {
    case EP_SizingAreaLeft:
    case EP_SizingAreaRight:
    case EP_SizingAreaTop:
    case EP_SizingAreaBottom:
    case EP_MinWidth:
    case EP_MinHeight:
    case EP_MaxWidth:
    case EP_MaxHeight:
    case EP_ManuallyMovable:
    case EP_ManuallySizeable:
    case EP_OwnerSet:
    case EP_Parent:
    case EP_Children:
    case EP_Name:
    case EP_Visible:
    case EP_Enable:
    case EP_X:
    case EP_Y:
    case EP_W:
    case EP_H:
    case EP_ActiveAreaOffsetLeft:
    case EP_ActiveAreaOffsetTop:
    case EP_ActiveAreaOffsetRight:
    case EP_ActiveAreaOffsetBottom:
    case EP_TabStop:
    case EP_TabOrder:
    case EP_LeftAnchor:
    case EP_TopAnchor:
    case EP_RightAnchor:
    case EP_BottomAnchor:
    case EP_CursorType:
    case EP_ClippingMinDepth:
    case EP_ZoomX:
    case EP_ZoomY:
    case EP_Rotate:
    case EP_PivotX:
    case EP_PivotY: return true;
    default: return false;
    }
}

bool IsListBoxProperty(uint32_t index)
{
    switch (index) {
    case EP_HorzScrollBarWidth:
    case EP_VertScrollBarWidth:
    case EP_Items:
    case EP_ItemCount: return true;
    default: return GuiIsScrollBarProperty(index);
    }
}

bool IsFontProperty(uint32_t index)
{
    switch (index) {
    case EP_TextVisible:
    case EP_Font:
    case EP_FontMaskColor:
    case EP_FontAlpha:
    case EP_FontBlendMode:
    case EP_FontVPitch:
    case EP_FontHPitch:
    case EP_TextAlign: return true;
    default: return false;
    }
}

bool IsButtonProperty(uint32_t index)
{
    return (index >= EP_LeftPic && index <= EP_CenterDisabledPic) || index == EP_ButtonBlendMode ||
           index == EP_CenterTiled;
}

} // namespace

CGuiComboBase::CGuiComboBase(float w, float h) : CGuiControl(w, h)
{
    compound = 1;
    focusEnabled = 1;
}

CGuiComboBase::~CGuiComboBase()
{
    // The parts stay in the set; those still ours stop calling back.
    bool listOurs = false;
    for (auto* node = children.head; node; node = node->next)
        listOurs = listOurs || (listBox && node->value == listBox);
    if (listOurs)
        GuiForgetParts(listBox, {listBox->textControl}, static_cast<void*>(this), &CGuiComboBase::ChildListener);
    GuiForgetParts(this, {valuePart, button, listBox}, static_cast<void*>(this), &CGuiComboBase::ChildListener);
}

void CGuiComboBase::ChildListener(void* object, CGuiControl* child, uint32_t code)
{
    static_cast<CGuiComboBase*>(object)->OnChildEvent(child, code);
}

void CGuiComboBase::MakeListBox()
{
    listBox = static_cast<CGuiListBox*>(GuiMakePart(this, EGCT_LISTBOX, kGuiListBoxSuffix));
}

void CGuiComboBase::MakeButton()
{
    button = static_cast<CGuiButton*>(GuiMakePart(this, EGCT_BUTTON, kGuiButtonSuffix));
}

void CGuiComboBase::AdoptChildren(bool tagsVisible)
{
    for (CGuiControl* part :
         {static_cast<CGuiControl*>(listBox), static_cast<CGuiControl*>(valuePart), static_cast<CGuiControl*>(button)})
        if (part)
            part->SetParent(this);
    if (valuePart) {
        valuePart->SetProperty(EP_Autosize, GuiMakeUInt(TAS_None), false);
        valuePart->LayoutText();
        valuePart->SetProperty(EP_Multiline, GuiMakeBool(0), false);
        valuePart->clipText = 1;
        valuePart->LayoutText();
        valuePart->textVisual->wrapMode = TW_NONE;
        valuePart->textVisual->dirty = 1;
        valuePart->SetProperty(EP_TagsVisible, GuiMakeBool(tagsVisible ? 1 : 0), true);
    }
    if (listBox) {
        if (listBox->autosize != TAS_None) {
            listBox->autosize = TAS_None;
            listBox->Layout();
        }
        listBox->visible = 0;
    }
    for (CGuiControl* part :
         {static_cast<CGuiControl*>(valuePart), static_cast<CGuiControl*>(button), static_cast<CGuiControl*>(listBox)})
        if (part)
            part->internalPart = 1;
    CGuiControl* listeners[4] = {valuePart, button, listBox, listBox ? listBox->textControl : nullptr};
    for (CGuiControl* part : listeners)
        if (part)
            part->AddListener(static_cast<void*>(this), &CGuiComboBase::ChildListener);
}

// ---------------------------------------------------------------------------
// The list.

bool CGuiComboBase::IsOpen() const
{
    return listBox && listBox->visible;
}

CGeWString CGuiComboBase::ShownText() const
{
    return valuePart ? valuePart->text : CGeWString();
}

void CGuiComboBase::Open()
{
    if (!listBox)
        return;
    Layout();
    listBox->SetCurItem(listBox->FindItemPrefix(0, ShownText()));
    listBox->EnsureVisible();
    listBox->visible = 1;
    PostEvent(GUI_EV_LIST_OPENED);
}

void CGuiComboBase::Close()
{
    if (listBox)
        listBox->visible = 0;
}

bool CGuiComboBase::TakeValue()
{
    if (!listBox || !valuePart)
        return false;
    CGeWString item;
    listBox->GetCurItemText(item);
    const bool changed = item != valuePart->text;
    valuePart->SetText(item);
    return changed;
}

bool CGuiComboBase::FindCurrent()
{
    if (!listBox)
        return false;
    if (listBox->curItem < 0)
        listBox->SetCurItem(listBox->FindItemPrefix(0, ShownText()));
    const int32_t count = (int32_t)listBox->GetItemCount();
    if (count == 0)
        return false;
    if (listBox->curItem < 0)
        listBox->SetCurItem(0);
    return true;
}

void CGuiComboBase::StepWrapping(int32_t direction)
{
    const int32_t count = (int32_t)listBox->GetItemCount();
    int32_t next = listBox->curItem + direction;
    if (next < 0)
        next = count - 1;
    else if (next >= count)
        next = 0;
    listBox->SetCurItem(next);
    listBox->EnsureVisible();
}

void CGuiComboBase::StepByWheel()
{
    CGuiManager* manager = Manager();
    const CGeMouseState* mouse = manager ? manager->mouse : nullptr;
    const int32_t notches = mouse ? mouse->wheel - mouse->previousWheel : 0;
    const int32_t count = (int32_t)listBox->GetItemCount();
    // Rolled away from the user: towards the first item.
    int32_t next = listBox->curItem - notches;
    if (next < 0)
        next = 0;
    if (next > count - 1)
        next = count - 1;
    listBox->SetCurItem(next);
    listBox->EnsureVisible();
}

bool CGuiComboBase::TakeAndSelect()
{
    const bool changed = TakeValue();
    SelectShownText();
    return changed;
}

bool CGuiComboBase::IsListKey(uint32_t key) const
{
    CGuiManager* manager = Manager();
    const CGeKeyboardState* keyboard = manager ? manager->keyboard : nullptr;
    const bool ctrl = keyboard && keyboard->IsKeyDown(kKeyControl);
    return key == kKeyEnter || key == kKeyUp || (key == kKeyDown && !ctrl);
}

void CGuiComboBase::SearchOpenList(const CGeWString& prefix)
{
    if (!IsOpen())
        return;
    listBox->SetCurItem(listBox->FindItemPrefix(0, prefix));
    listBox->EnsureVisible();
}

// ---------------------------------------------------------------------------
// Events.

void CGuiComboBase::OnChildEvent(CGuiControl* child, uint32_t code)
{
    if (!child)
        return;
    const bool fromList = listBox && (child == listBox || child == listBox->textControl);
    switch (code) {
    case GUI_EV_CLICK:
        if (fromList) {
            Close();
            if (listBox->curItem >= 0) {
                TakeAndSelect();
                PostEvent(GUI_EV_VALUE_TAKEN);
            }
        } else if (button && child == static_cast<CGuiControl*>(button)) {
            if (IsOpen())
                Close();
            else
                Open();
        }
        break;
    case GUI_EV_MOVE:
        if (listBox && child == listBox->textControl)
            listBox->SetCurItem(listBox->ItemFromPoint({child->lastLocalPointer[0], child->lastLocalPointer[1]}));
        break;
    case GUI_EV_ITEM_CHOSEN:
        if (IsOpen()) {
            Close();
            if (listBox->curItem >= 0) {
                TakeValue();
                PostEvent(GUI_EV_VALUE_TAKEN);
            }
        }
        break;
    case GUI_EV_WHEEL:
        if (child == valuePart && FindCurrent()) {
            StepByWheel();
            if (TakeAndSelect())
                PostEvent(GUI_EV_VALUE_TAKEN);
        }
        break;
    case GUI_EV_RELAYOUT_FIRST:
    case GUI_EV_RELAYOUT_SECOND: Layout(); break;
    default: break;
    }
}

void CGuiComboBase::OnEvent(uint32_t code)
{
    CGuiControl::OnEvent(code);
    CGuiManager* manager = Manager();
    const CGeKeyboardState* keyboard = manager ? manager->keyboard : nullptr;
    switch (code) {
    case GUI_EV_FRAME_CHANGED: Layout(); break;
    case GUI_EV_KEY_DOWN: {
        const uint32_t key = keyboard ? keyboard->lastPressedKey : 0;
        if (!IsListKey(key))
            break;
        if (key == kKeyEnter) {
            if (IsOpen() && listBox->curItem >= 0) {
                Close();
                TakeValue();
                PostEvent(GUI_EV_VALUE_TAKEN);
            }
        } else if (FindCurrent()) {
            StepWrapping(key == kKeyUp ? -1 : 1);
            if (TakeAndSelect())
                PostEvent(GUI_EV_VALUE_TAKEN);
        }
        break;
    }
    case GUI_EV_KEY_UP:
        if (keyboard && keyboard->lastReleasedKey == kKeyDown && keyboard->IsKeyDown(kKeyControl) && !IsOpen())
            Open();
        break;
    case GUI_EV_FOCUS_LOST: Close(); break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// Layout and look.

void CGuiComboBase::Layout()
{
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    const float l = in.left, t = in.top, r = in.right, b = in.bottom;
    if (button) {
        const float bw = std::fmin(buttonWidth, width - l - r);
        button->SetPosition(width - r - bw, t);
        button->SetSize(bw, height - t - b);
    }
    if (valuePart) {
        valuePart->SetPosition(l, t);
        valuePart->SetSize(width - l - r - (button ? buttonWidth : 0.0f), height - t - b);
    }
    if (!listBox || !listBox->textControl || !listBox->textControl->textVisual ||
        !listBox->textControl->textVisual->font)
        return;
    const GuiFrameInsets inner = GuiFrameGetInsets(listBox->boundFrame);
    const float lineHeight = listBox->textControl->textVisual->lineHeight;
    const uint32_t count = listBox->GetItemCount();
    const uint32_t rows = count < maxDropItemCount ? count : maxDropItemCount;
    const float listHeight = (float)rows * lineHeight + inner.top + inner.bottom + listBox->horzBarWidth;
    if (listHeight == 0.0f)
        return;
    const CGmCamera* camera = CGeHub::s_cameras2d[CGeHub::s_currentSlot];
    const float screenHeight = camera ? camera->boundHeight : 0.0f;
    float topLimit = 0.0f, bottomLimit = screenHeight;
    if (parent) {
        const CGeRect p = parent->GetRect();
        topLimit = std::fmax(0.0f, p.y);
        bottomLimit = std::fmin(screenHeight, p.y + p.height);
    }
    const float y0 = ScreenOrigin().y;
    const float y1 = TransformPoint2D(*this, 0.0f, height + listHeight).y;
    if (y0 - listHeight > topLimit && y1 >= bottomLimit)
        listBox->CGuiControl::SetPosition(listBoxOffset[0], -listHeight - listBoxOffset[1]);
    else
        listBox->CGuiControl::SetPosition(listBoxOffset[0], height + listBoxOffset[1]);
    listBox->SetSize(width, listHeight);
}

void CGuiComboBase::SetSize(float newWidth, float newHeight)
{
    CGuiControl::SetSize(newWidth, newHeight);
    Layout();
}

void CGuiComboBase::Refresh()
{
    Layout();
}

void CGuiComboBase::SetVisualState(uint8_t state)
{
    CGuiControl::SetVisualState(state);
    for (CGuiControl* part :
         {static_cast<CGuiControl*>(valuePart), static_cast<CGuiControl*>(listBox), static_cast<CGuiControl*>(button)})
        if (part)
            part->SetVisualState(state);
}

void CGuiComboBase::PreMouseMessage(uint32_t code)
{
    const bool press = code == 1 || code == 5 || code == 9 || code == 13 || code == 17;
    if (!press || (ownerSet && ownerSet->capture == this))
        return;
    CGuiManager* manager = Manager();
    const CGeMouseState* mouse = manager ? manager->mouse : nullptr;
    if (mouse && !HitTestDeep(mouse->x, mouse->y))
        Close();
}

void CGuiComboBase::DrawContent()
{
    if (valuePart)
        valuePart->DrawContent();
    if (button)
        button->DrawContent();
    if (IsOpen()) {
        listBox->DrawFrameBackgrounds();
        listBox->DrawContent();
        listBox->DrawFrameBorders();
    }
}

void CGuiComboBase::DrawContentAgain()
{
    DrawContent();
}

CGeRect CGuiComboBase::GetRect()
{
    float x0 = 0.0f, y0 = 0.0f, x1 = width, y1 = height;
    if (IsOpen()) {
        x0 = std::fmin(x0, listBox->X());
        y0 = std::fmin(y0, listBox->Y());
        x1 = std::fmax(x1, listBox->X() + listBox->width);
        y1 = std::fmax(y1, listBox->Y() + listBox->height);
    }
    const Vec2 corner = TransformPoint2D(*this, x0, y0);
    return {corner.x, corner.y, x1 - x0, y1 - y0};
}

// ---------------------------------------------------------------------------
// Properties both classes share.

bool CGuiComboBase::SetCommonProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    if (IsBaseProperty(index)) {
        CGuiControl::SetProperty(index, value, false);
    } else if (index == EP_Type) {
    } else if (index == EP_Clipping) {
        CGuiControl::SetProperty(index, value, false);
        for (CGuiControl* part : {static_cast<CGuiControl*>(listBox), static_cast<CGuiControl*>(valuePart),
                                  static_cast<CGuiControl*>(button)})
            if (part)
                part->SetProperty(index, value, refresh);
    } else if (index == EP_FocusedColor || index == EP_BoundFrameSet || index == EP_BoundFrameSetHover ||
               index == EP_BoundFrameVisible) {
        CGuiControl::SetProperty(index, value, false);
        if (listBox)
            listBox->SetProperty(index, value, refresh);
    } else if (index == EP_DisabledColor) {
        CGuiControl::SetProperty(index, value, false);
        if (listBox)
            listBox->SetProperty(index, value, refresh);
        if (valuePart)
            valuePart->SetProperty(index, value, refresh);
    } else if (index == EP_ListBoxOffsetX || index == EP_ListBoxOffsetY) {
        listBoxOffset[index == EP_ListBoxOffsetX ? 0 : 1] = GuiValueFloat(value);
    } else if (index == EP_ButtonWidth) {
        buttonWidth = GuiValueFloat(value);
    } else if (index == EP_MaxDropItemCount) {
        maxDropItemCount = GuiValueUInt(value);
    } else if (index == EP_ButtonCursorType) {
        if (button)
            button->SetProperty(EP_CursorType, value, true);
    } else if (IsListBoxProperty(index)) {
        if (listBox)
            listBox->SetProperty(index, value, refresh);
    } else if (IsFontProperty(index)) {
        if (valuePart)
            valuePart->SetProperty(index, value, refresh);
        if (listBox)
            listBox->SetProperty(index, value, refresh);
    } else if (index == EP_TextOffsetX || index == EP_TextOffsetY || index == EP_Text) {
        if (valuePart)
            valuePart->SetProperty(index, value, refresh);
    } else if (IsButtonProperty(index)) {
        if (button)
            button->SetProperty(index, value, refresh);
    } else if (index == EP_CurItem) {
        if (listBox) {
            listBox->SetProperty(index, value, refresh);
            CGeWString item;
            listBox->GetItem(GuiValueInt(value), item);
            if (valuePart)
                valuePart->SetText(item);
        }
    } else {
        return false;
    }
    return true;
}

bool CGuiComboBase::GetCommonProperty(uint32_t index, CGeWString& text, bool* answered)
{
    CGuiControl* asked = nullptr;
    if (IsBaseProperty(index) || index == EP_Type || index == EP_Clipping || index == EP_FocusedColor ||
        index == EP_BoundFrameSet || index == EP_BoundFrameSetHover || index == EP_BoundFrameVisible ||
        index == EP_DisabledColor) {
        *answered = CGuiControl::GetProperty(index, text);
        return true;
    }
    CGeValue v;
    switch (index) {
    case EP_ListBoxOffsetX: v = GuiMakeFloat(listBoxOffset[0]); break;
    case EP_ListBoxOffsetY: v = GuiMakeFloat(listBoxOffset[1]); break;
    case EP_ButtonWidth: v = GuiMakeFloat(buttonWidth); break;
    case EP_MaxDropItemCount: v = GuiMakeUInt(maxDropItemCount); break;
    case EP_ButtonCursorType: *answered = button ? button->GetProperty(EP_CursorType, text) : false; return true;
    default:
        if (IsListBoxProperty(index) || index == EP_CurItem)
            asked = listBox;
        else if (IsFontProperty(index) || index == EP_TextOffsetX || index == EP_TextOffsetY || index == EP_Text)
            asked = valuePart;
        else if (IsButtonProperty(index))
            asked = button;
        else
            return false;
        *answered = asked ? asked->GetProperty(index, text) : false;
        return true;
    }
    text = PropertyValueToText(v, index);
    *answered = true;
    return true;
}
