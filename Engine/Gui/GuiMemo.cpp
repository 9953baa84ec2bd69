#include "Engine/Gui/GuiMemo.h"

#include "Engine/Core/Gm/GmText.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GuiEdit.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiScrollBar.h"
#include "Engine/Gui/GuiValues.h"

#include <cmath>

namespace {

constexpr uint32_t kKeyBackspace = 8;
constexpr uint32_t kKeyDelete = 46;

} // namespace

CGuiMemo::CGuiMemo(float w, float h) : CGuiText(w, h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_MEMO;
}

CGuiEdit* CGuiMemo::Edit() const
{
    return static_cast<CGuiEdit*>(textControl);
}

void CGuiMemo::CreateChildren()
{
    CGuiEdit* edit = static_cast<CGuiEdit*>(GuiMakePart(this, EGCT_EDIT, kGuiEditSuffix));
    textControl = edit;
    horzBar = static_cast<CGuiScrollBar*>(GuiMakePart(this, EGCT_SCROLLBAR, kGuiHorzBarSuffix));
    vertBar = static_cast<CGuiScrollBar*>(GuiMakePart(this, EGCT_SCROLLBAR, kGuiVertBarSuffix));
    AdoptChildren();
    // Always multi-line, switched on directly.
    if (edit && !edit->multiline) {
        edit->multiline = 1;
        edit->textVisual->Layout(edit->text);
        edit->textVisual->Update();
    }
}

Vec2 CGuiMemo::GetScrollRange() const
{
    Vec2 range = CGuiText::GetScrollRange();
    if (CGuiEdit* edit = Edit()) {
        const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
        const float x = TextSize().x - (width - in.left - in.right - vertBarWidth - edit->CaretSize().x);
        range.x = std::trunc(x > 0.0f ? x : 0.0f);
    }
    return range;
}

void CGuiMemo::SetScrollOffset(const Vec2& offset)
{
    CGuiText::SetScrollOffset(offset);
    if (CGuiEdit* edit = Edit())
        edit->PlaceCaret();
}

void CGuiMemo::FollowCaret()
{
    CGuiEdit* edit = Edit();
    if (!edit)
        return;
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    const float l = in.left, t = in.top, r = in.right, b = in.bottom;
    const Vec2 size = edit->CaretSize();
    Vec2 c = edit->CaretPosition();
    Vec2 o = GetScrollOffset();
    const float right = width - r - vertBarWidth - l - size.x;
    if (c.x + size.x > right)
        SetScrollOffset({o.x + (c.x + size.x - right), o.y});
    c = edit->CaretPosition();
    o = GetScrollOffset();
    if (l > c.x)
        SetScrollOffset({o.x - (l - c.x), o.y});
    c = edit->CaretPosition();
    o = GetScrollOffset();
    const float bottom = height - b - horzBarWidth - t;
    if (c.y + size.y > bottom)
        SetScrollOffset({o.x, o.y + (c.y + size.y - bottom)});
    c = edit->CaretPosition();
    o = GetScrollOffset();
    if (t > c.y)
        SetScrollOffset({o.x, o.y - (t - c.y)});
    edit->PlaceCaret();
}

void CGuiMemo::OnEvent(uint32_t code)
{
    CGuiControl::OnEvent(code);
    CGuiEdit* edit = Edit();
    switch (code) {
    case GUI_EV_CHAR:
        if (edit) {
            edit->TypeCharacter();
            FollowCaret();
        }
        break;
    case GUI_EV_KEY_DOWN:
        if (edit) {
            edit->HandleKey();
            FollowCaret();
        }
        break;
    case GUI_EV_KEY_UP: {
        CGuiManager* manager = Manager();
        const uint32_t key = manager && manager->keyboard ? manager->keyboard->lastReleasedKey : 0;
        if (edit && (key == kKeyBackspace || key == kKeyDelete))
            edit->PlaceCaret();
        break;
    }
    case GUI_EV_FOCUS_GAINED:
        if (edit) {
            edit->CaretFromPointer();
            edit->Select(0, -1);
        }
        break;
    case GUI_EV_FRAME_CHANGED: Layout(); break;
    default: break;
    }
}

void CGuiMemo::SetProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    if (index == EP_Multiline || index == EP_TagsVisible) {
        if (refresh)
            Refresh();
        return;
    }
    if (!(GuiIsEditCaretOrFilterProperty(index) || GuiIsSelectionPictureProperty(index))) {
        CGuiText::SetProperty(index, value, refresh);
        return;
    }
    if (CGuiEdit* edit = Edit())
        edit->SetProperty(index, value, refresh);
    if (refresh)
        Refresh();
}

bool CGuiMemo::GetProperty(uint32_t index, CGeWString& text)
{
    text = CGeWString();
    if (index == EP_Multiline || index == EP_TagsVisible)
        return false;
    if (!(GuiIsEditCaretOrFilterProperty(index) || GuiIsSelectionPictureProperty(index)))
        return CGuiText::GetProperty(index, text);
    CGuiEdit* edit = Edit();
    return edit ? edit->GetProperty(index, text) : false;
}
