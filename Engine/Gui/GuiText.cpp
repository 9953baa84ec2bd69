#include "Engine/Gui/GuiText.h"

#include "Engine/Core/Gm/GmText.h"
#include "Engine/Core/Gm/GuiFont.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiScrollBar.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Engine/Gui/GuiValues.h"

#include <cmath>

const char* const kGuiTextControlSuffix = "____TextControl____";
const char* const kGuiHorzBarSuffix = "____ScrollBarHorz____";
const char* const kGuiVertBarSuffix = "____ScrollBarVert____";

namespace {

constexpr uint32_t kKeyLeft = 37;
constexpr uint32_t kKeyUp = 38;
constexpr uint32_t kKeyRight = 39;
constexpr uint32_t kKeyDown = 40;

// The properties that belong to the text control, and those of both bars.
bool IsTextControlProperty(uint32_t index)
{
    switch (index) {
    case EP_TextOffsetX:
    case EP_TextOffsetY:
    case EP_TextVisible:
    case EP_Font:
    case EP_FontMaskColor:
    case EP_FontAlpha:
    case EP_FontBlendMode:
    case EP_FontVPitch:
    case EP_FontHPitch:
    case EP_Text:
    case EP_TextAlign:
    case EP_TextWordWrap:
    case EP_TagsVisible: return true;
    default: return false;
    }
}

} // namespace

bool GuiIsScrollBarProperty(uint32_t index)
{
    switch (index) {
    case EP_ScrollBarBlendMode:
    case EP_ArrowPic:
    case EP_ThumbPic:
    case EP_ScrollBarBgPic:
    case EP_ArrowPressedPic:
    case EP_ThumbPressedPic:
    case EP_ScrollBarBgPressedPic:
    case EP_ScrollBarBgTiled:
    case EP_SmallChange:
    case EP_BigChange: return true;
    default: return false;
    }
}

CGuiText::CGuiText(float w, float h) : CGuiControl(w, h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_TEXT;
    compound = 1;
    focusEnabled = 1;
}

CGuiText::~CGuiText()
{
    GuiForgetParts(this, {textControl, horzBar, vertBar}, static_cast<void*>(this), &CGuiText::ChildListener);
}

void CGuiText::ChildListener(void* object, CGuiControl* child, uint32_t code)
{
    static_cast<CGuiText*>(object)->OnChildEvent(child, code);
}

// ---------------------------------------------------------------------------
// Children.

CGuiControl* GuiMakePart(CGuiControl* owner, uint32_t type, const char* suffix)
{
    if (!owner->ownerSet || owner->name.IsEmpty())
        return nullptr;
    CGeString partName = owner->name;
    partName.Append(suffix);
    return owner->ownerSet->CreateControl(partName, type); // null when the name is taken
}

void GuiForgetParts(CGuiControl* owner, std::initializer_list<CGuiControl*> parts, void* object,
                    GuiListenerCallback callback)
{
    const GuiListener record = {object, callback};
    for (auto* node = owner->children.head; node; node = node->next) {
        CGuiControl* child = node->value;
        bool part = false;
        for (CGuiControl* p : parts)
            part = part || (p && p == child);
        if (!part)
            continue;
        while (auto* found = child->listeners.Find(child->listeners.head, child->listeners.tail, record))
            child->listeners.Remove(found);
    }
}

void CGuiText::CreateChildren()
{
    textControl = static_cast<CGuiTextControl*>(GuiMakePart(this, EGCT_TEXTCONTROL, kGuiTextControlSuffix));
    horzBar = static_cast<CGuiScrollBar*>(GuiMakePart(this, EGCT_SCROLLBAR, kGuiHorzBarSuffix));
    vertBar = static_cast<CGuiScrollBar*>(GuiMakePart(this, EGCT_SCROLLBAR, kGuiVertBarSuffix));
    AdoptChildren();
}

void CGuiText::AdoptChildren()
{
    for (CGuiControl* child : {static_cast<CGuiControl*>(textControl), static_cast<CGuiControl*>(horzBar),
                               static_cast<CGuiControl*>(vertBar)})
        if (child)
            child->SetParent(this);

    if (textControl) {
        textControl->SetProperty(EP_Autosize, GuiMakeUInt(TAS_None), false);
        textControl->LayoutText();
        textControl->clipText = 1;
        textControl->LayoutText();
        textControl->textVisual->wrapMode = TW_NONE;
        textControl->textVisual->dirty = 1;
        textControl->SetProperty(EP_TagsVisible, GuiMakeBool(0), true);
    }
    if (horzBar) {
        horzBar->SetDirection(0);
        horzBar->allowWheel = 0;
    }
    if (vertBar) {
        vertBar->SetDirection(1);
        vertBar->allowWheel = 0;
    }
    for (CGuiControl* child : {static_cast<CGuiControl*>(textControl), static_cast<CGuiControl*>(horzBar),
                               static_cast<CGuiControl*>(vertBar)})
        if (child)
            child->internalPart = 1;
    for (CGuiControl* child : {static_cast<CGuiControl*>(vertBar), static_cast<CGuiControl*>(horzBar),
                               static_cast<CGuiControl*>(textControl)})
        if (child && child != this)
            child->AddListener(static_cast<void*>(this), &CGuiText::ChildListener);
}

// ---------------------------------------------------------------------------
// Scrolling.

Vec2 CGuiText::TextSize() const
{
    if (!textControl || !textControl->textVisual)
        return {0.0f, 0.0f};
    // Measuring walks the whole text; scrolling asks again at every step, so
    // the size is kept until the text or what measures it changes.
    const CGmText& t = *textControl->textVisual;
    MeasureCache& m = m_measured;
    if (!m.valid || m.font != t.font || m.lineHeight != t.lineHeight || m.spacing != t.letterSpacing ||
        m.showTags != t.showTags || !(m.text == textControl->text)) {
        m.text = textControl->text;
        m.font = t.font;
        m.lineHeight = t.lineHeight;
        m.spacing = t.letterSpacing;
        m.showTags = t.showTags;
        t.Measure(m.text, &m.size.x, &m.size.y);
        m.valid = true;
    }
    return m.size;
}

float CGuiText::LineHeight() const
{
    return textControl && textControl->textVisual ? textControl->textVisual->lineHeight : 0.0f;
}

float CGuiText::SpaceWidth() const
{
    const CGmText* t = textControl ? textControl->textVisual : nullptr;
    const CGuiGlyph* space = t && t->font ? t->font->FindGlyph(0x20) : nullptr;
    return space ? space->width : 0.0f;
}

Vec2 CGuiText::GetScrollOffset() const
{
    if (!textControl || !textControl->textVisual)
        return {0.0f, 0.0f};
    return {textControl->textVisual->scrollOffset[0], textControl->textVisual->scrollOffset[1]};
}

Vec2 CGuiText::GetScrollRange() const
{
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    const Vec2 size = TextSize();
    float x = size.x - (width - in.left - in.right - vertBarWidth);
    float y = size.y - (height - in.top - in.bottom - horzBarWidth);
    x = std::trunc(std::fmax(x, 0.0f));
    y = std::trunc(std::fmax(y, 0.0f));
    return {x, y};
}

void CGuiText::UpdateBarStates()
{
    if (vertBar)
        vertBar->SetVisualState(vertBar->maxPos > 0.0f && enabledState ? 1 : 0);
    if (horzBar)
        horzBar->SetVisualState(horzBar->maxPos > 0.0f && enabledState ? 1 : 0);
}

void CGuiText::Layout()
{
    if (!textControl || !horzBar || !vertBar)
        return;
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    const float l = in.left, t = in.top, r = in.right, b = in.bottom;
    const float vw = vertBarWidth, hw = horzBarWidth;
    if (autosize == TAS_Both || autosize == TAS_Vertical) {
        const Vec2 size = TextSize();
        CGuiControl::SetSize(size.x + l + r + vw, size.y + t + b + hw);
    }
    textControl->SetPosition(l, t);
    textControl->SetSize(width - l - r - vw, height - t - b - hw);
    vertBar->CGuiControl::SetPosition(std::fmax(l, width - r - vw), t);
    vertBar->SetSize(std::fmin(vw, width - l - r), height - t - b);
    horzBar->CGuiControl::SetPosition(l, std::fmax(t, height - b - hw));
    horzBar->SetSize(width - l - r - vw, std::fmin(hw, height - t - b));

    const Vec2 range = GetScrollRange();
    CGmText* text = textControl->textVisual;
    text->scrollOffset[0] = std::fmin(text->scrollOffset[0], range.x);
    text->scrollOffset[1] = std::fmin(text->scrollOffset[1], range.y);
    text->dirty = 1;

    horzBar->SetPosition(text->scrollOffset[0]);
    horzBar->SetMaxPos(range.x);
    horzBar->SetMinPos(0.0f);
    vertBar->SetPosition(text->scrollOffset[1]);
    vertBar->SetMaxPos(range.y);
    vertBar->SetMinPos(0.0f);
    UpdateBarStates();
}

void CGuiText::SetScrollOffset(const Vec2& offset)
{
    const Vec2 range = GetScrollRange();
    float x = std::trunc(offset.x), y = std::trunc(offset.y);
    x = std::fmax(std::fmin(x, range.x), 0.0f);
    y = std::fmax(std::fmin(y, range.y), 0.0f);
    if (textControl && textControl->textVisual) {
        CGmText* text = textControl->textVisual;
        text->scrollOffset[0] = x;
        text->scrollOffset[1] = y;
        text->dirty = 1;
        text->Update();
    }
    if (horzBar) {
        horzBar->SetMaxPos(range.x);
        horzBar->SetMinPos(0.0f);
    }
    if (vertBar) {
        vertBar->SetMaxPos(range.y);
        vertBar->SetMinPos(0.0f);
    }
    if (horzBar)
        horzBar->SetPosition(x);
    if (vertBar)
        vertBar->SetPosition(y);
    UpdateBarStates();
}

void CGuiText::SetSize(float newWidth, float newHeight)
{
    if (autosize == TAS_None || autosize == TAS_Vertical)
        CGuiControl::SetSize(newWidth, newHeight);
    Layout();
}

void CGuiText::Refresh()
{
    Layout();
}

// ---------------------------------------------------------------------------
// Events.

void CGuiText::OnChildEvent(CGuiControl* child, uint32_t code)
{
    if (!child)
        return;
    const Vec2 o = GetScrollOffset();
    if (code == GUI_EV_TEXT_CHANGED && child == textControl) {
        Layout();
    } else if (code == GUI_EV_SCROLL_CHANGED && child == horzBar) {
        SetScrollOffset({horzBar->position, o.y});
    } else if (code == GUI_EV_SCROLL_CHANGED && child == vertBar) {
        SetScrollOffset({o.x, vertBar->position});
    } else if (code == GUI_EV_WHEEL && child == textControl) {
        CGuiManager* manager = Manager();
        const CGeMouseState* mouse = manager ? manager->mouse : nullptr;
        const float notches = mouse ? (float)(mouse->wheel - mouse->previousWheel) : 0.0f;
        if (manager && manager->keyboard && manager->keyboard->IsShiftDown())
            SetScrollOffset({o.x - notches * SpaceWidth(), o.y});
        else
            SetScrollOffset({o.x, o.y - notches * LineHeight()});
    }
}

void CGuiText::OnEvent(uint32_t code)
{
    CGuiControl::OnEvent(code);
    if (code == GUI_EV_FRAME_CHANGED) {
        Layout();
        return;
    }
    if (code != GUI_EV_KEY_DOWN)
        return;
    CGuiManager* manager = Manager();
    const uint32_t key = manager && manager->keyboard ? manager->keyboard->lastPressedKey : 0;
    const Vec2 o = GetScrollOffset();
    switch (key) {
    case kKeyLeft: SetScrollOffset({o.x - SpaceWidth(), o.y}); break;
    case kKeyRight: SetScrollOffset({o.x + SpaceWidth(), o.y}); break;
    case kKeyUp: SetScrollOffset({o.x, o.y + LineHeight()}); break;
    case kKeyDown: SetScrollOffset({o.x, o.y - LineHeight()}); break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// Look.

void CGuiText::SetVisualState(uint8_t state)
{
    CGuiControl::SetVisualState(state);
    for (CGuiControl* child : {static_cast<CGuiControl*>(textControl), static_cast<CGuiControl*>(horzBar),
                               static_cast<CGuiControl*>(vertBar)})
        if (child)
            child->SetVisualState(state);
}

void CGuiText::DrawContent()
{
    for (CGuiControl* child : {static_cast<CGuiControl*>(textControl), static_cast<CGuiControl*>(horzBar),
                               static_cast<CGuiControl*>(vertBar)})
        if (child)
            child->DrawContent();
}

void CGuiText::DrawContentAgain()
{
    DrawContent();
}

// ---------------------------------------------------------------------------
// Properties.

void CGuiText::SetProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    if (IsTextControlProperty(index)) {
        if (textControl)
            textControl->SetProperty(index, value, refresh);
    } else if (GuiIsScrollBarProperty(index)) {
        if (horzBar)
            horzBar->SetProperty(index, value, refresh);
        if (vertBar)
            vertBar->SetProperty(index, value, refresh);
    } else {
        switch (index) {
        case EP_DisabledColor:
        case EP_FocusedColor:
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
        case EP_BoundFrameSet:
        case EP_BoundFrameSetHover:
        case EP_OwnerSet:
        case EP_Parent:
        case EP_Children:
        case EP_Name:
        case EP_Visible:
        case EP_BoundFrameVisible:
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
        case EP_PivotY: CGuiControl::SetProperty(index, value, false); break;
        case EP_Clipping:
            CGuiControl::SetProperty(index, value, false);
            for (CGuiControl* child : {static_cast<CGuiControl*>(textControl), static_cast<CGuiControl*>(horzBar),
                                       static_cast<CGuiControl*>(vertBar)})
                if (child)
                    child->SetProperty(index, value, refresh);
            break;
        case EP_HorzScrollBarWidth: horzBarWidth = GuiValueFloat(value); break;
        case EP_VertScrollBarWidth: vertBarWidth = GuiValueFloat(value); break;
        case EP_ScrollOffsetX: SetScrollOffset({GuiValueFloat(value), GetScrollOffset().y}); break;
        case EP_ScrollOffsetY: SetScrollOffset({GetScrollOffset().x, GuiValueFloat(value)}); break;
        case EP_Autosize: autosize = GuiValueUInt(value); break;
        default: break;
        }
    }
    if (refresh)
        Refresh();
}

bool CGuiText::GetProperty(uint32_t index, CGeWString& text)
{
    text = CGeWString();
    if (IsTextControlProperty(index))
        return textControl ? textControl->GetProperty(index, text) : false;
    if (GuiIsScrollBarProperty(index)) {
        // Both bars are asked; the vertical bar's answer stands.
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
    case EP_ScrollOffsetX: text = PropertyValueToText(GuiMakeFloat(GetScrollOffset().x), index); return true;
    case EP_ScrollOffsetY: text = PropertyValueToText(GuiMakeFloat(GetScrollOffset().y), index); return true;
    case EP_Autosize: text = PropertyValueToText(GuiMakeUInt(autosize), index); return true;
    case EP_TransparentForManipulator: return false;
    default:
        // The base answers what it holds, EP_Type and EP_Clipping among them,
        // and nothing for the frame and background pictures.
        return CGuiControl::GetProperty(index, text);
    }
}
