#include "Engine/Gui/GuiListBox.h"

#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPicture.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiResources.h"
#include "Engine/Gui/GuiScrollBar.h"
#include "Engine/Gui/GuiTextControl.h"
#include "Engine/Gui/GuiValues.h"

#include <cmath>

namespace {

constexpr uint32_t kKeyEnter = 13;
constexpr uint32_t kKeyUp = 38;
constexpr uint32_t kKeyDown = 40;

char16_t FoldAscii(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? (char16_t)(c - u'a' + u'A') : c;
}

} // namespace

// ---------------------------------------------------------------------------
// Wide-text helpers.

void GuiAppendChar(CGeWString& text, char16_t c)
{
    const char16_t one[2] = {c, 0};
    text.Append(one);
}

void GuiDropLastChar(CGeWString& text)
{
    if (!text.IsEmpty())
        text = text.Mid(0, text.Length() - 1);
}

int32_t GuiFindString(const CGeWString* first, uint32_t count, const CGeWString& text)
{
    for (uint32_t i = 0; i < count; ++i)
        if (first[i] == text)
            return (int32_t)i;
    return -1;
}

void GuiFreeStrings(CGeArray<CGeWString>& strings)
{
    for (CGeWString& s : strings)
        s.Release();
    strings.Clear();
}

bool GuiPrefixMatchFoldAscii(const CGeWString& a, const CGeWString& b)
{
    const uint32_t n = a.Length() < b.Length() ? a.Length() : b.Length();
    const char16_t* x = a.c_str();
    const char16_t* y = b.c_str();
    for (uint32_t i = 0; i < n; ++i)
        if (FoldAscii(x[i]) != FoldAscii(y[i]))
            return false;
    return true;
}

bool GuiIsLetterOrDigit(char16_t c)
{
    if ((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z'))
        return true;
    if (c == 0xAA || c == 0xB5 || c == 0xBA)
        return true;
    if (c >= 0xC0 && c <= 0x24F) // Latin-1 letters and Latin Extended A and B
        return c != 0xD7 && c != 0xF7;
    if (c >= 0x386 && c <= 0x3FF) // Greek
        return c != 0x387 && c != 0x3F6;
    if (c >= 0x400 && c <= 0x52F) // Cyrillic, without its signs and combining marks
        return c < 0x482 || c > 0x489;
    return false;
}

// ---------------------------------------------------------------------------
// Life.

CGuiListBox::CGuiListBox(float w, float h) : CGuiText(w, h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_LISTBOX;
    compound = 1;
}

CGuiListBox::~CGuiListBox()
{
    GuiPictureDelete(selection, frame);
}

void CGuiListBox::SetSelectionPicture(const CGeString& schemaName)
{
    if (GuiPictureSet(selection, selectionPic, schemaName, (uint32_t)selectionBlendMode, frame))
        selection->visible = 1;
}

// ---------------------------------------------------------------------------
// Items.

void CGuiListBox::Items(CGeArray<CGeWString>& items) const
{
    CGeWString::Split(textControl ? textControl->text : CGeWString(), items, CGeWString(u"\n"));
}

uint32_t CGuiListBox::GetItemCount() const
{
    CGeArray<CGeWString> items;
    Items(items);
    return items.Count();
}

void CGuiListBox::GetItem(int32_t index, CGeWString& text) const
{
    CGeArray<CGeWString> items;
    Items(items);
    text = index >= 0 && (uint32_t)index < items.Count() ? items[(uint32_t)index] : CGeWString();
}

void CGuiListBox::GetCurItemText(CGeWString& text)
{
    text = CGeWString();
    if (curItem < 0)
        return;
    if ((uint32_t)curItem >= GetItemCount()) {
        SetCurItem(-1);
        return;
    }
    GetItem(curItem, text);
}

int32_t CGuiListBox::FindItem(const CGeWString& text) const
{
    CGeArray<CGeWString> items;
    Items(items);
    return GuiFindString(items.begin(), items.Count(), text);
}

int32_t CGuiListBox::FindItemPrefix(int32_t start, const CGeWString& text) const
{
    CGeArray<CGeWString> items;
    Items(items);
    for (uint32_t i = start < 0 ? 0 : (uint32_t)start; i < items.Count(); ++i)
        if (GuiPrefixMatchFoldAscii(items[i], text))
            return (int32_t)i;
    return -1;
}

int32_t CGuiListBox::ItemFromPoint(const Vec2& point) const
{
    const float line = LineHeight();
    if (!(line > 0.0f))
        return -1;
    const float y = point.y + GetScrollOffset().y;
    if (y > TextSize().y)
        return -1;
    const float index = std::trunc(y / line);
    return index < 0.0f ? -1 : (int32_t)index;
}

void CGuiListBox::SetCurItem(int32_t index)
{
    if (index == curItem)
        return;
    const float line = std::trunc(LineHeight());
    if (line == 0.0f)
        return;
    const float lines = std::ceil(std::trunc(TextSize().y) / line);
    if (index != -1 && (index < 0 || (float)index > lines - 1.0f))
        return;
    curItem = index;
    PlaceSelection();
    FireEvent(GUI_EV_SELECTION_CHANGED);
}

// ---------------------------------------------------------------------------
// The selection.

void CGuiListBox::PlaceSelection()
{
    if (curItem == -1 || !selection || !textControl || !textControl->textVisual)
        return;
    const CGmText* text = textControl->textVisual;
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    const float line = LineHeight();
    const float vw = vertBar ? vertBar->width : vertBarWidth;
    const float hw = horzBar ? horzBar->height : horzBarWidth;
    selection->visible = 1;
    // The text visual's place inside the text control holds its text offset.
    const float x = textControl->X() + text->frame.position.x;
    const float y = textControl->Y() + text->frame.position.y + (float)curItem * line - GetScrollOffset().y;
    selection->frame.SetPosition({x, y, 0.0f});
    selection->SetSubRect({0.0f, 0.0f, 1.0f, 1.0f});
    selection->SetSize(width - in.left - in.right - vw, line);
    if (selectionTiled) {
        const float pictureWidth = selection->imageSet.framePixelSize[0];
        selection->SetQuadParams(selection->size[0] / (pictureWidth > 0.0f ? pictureWidth : 1.0f), 1.0f);
    } else {
        selection->SetQuadParams(1.0f, 1.0f);
        selection->ApplyImageSize();
    }

    // Cut to the inner area, in fractions of the selection's height.
    const float h = line;
    CGeRect sub = {0.0f, 0.0f, 1.0f, 1.0f};
    if (in.top > y) {
        const float d = in.top - y;
        if (h <= d)
            selection->visible = 0;
        else
            sub.y = d / h;
    }
    const float bottom = height - in.bottom - h - hw;
    if (y > bottom) {
        const float d = y - bottom;
        if (h <= d)
            selection->visible = 0;
        else
            sub.height = 1.0f - d / h - sub.y;
    }
    selection->SetSubRect(sub);
}

void CGuiListBox::EnsureVisible()
{
    if (curItem == -1) {
        SetScrollOffset({0.0f, 0.0f});
        return;
    }
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    const Vec2 o = GetScrollOffset();
    const float s = selection ? selection->size[1] : 0.0f;
    const float hw = horzBar ? horzBar->height : horzBarWidth;
    const float iy = (float)curItem * LineHeight();
    if (iy - o.y < 0.0f)
        SetScrollOffset({o.x, iy});
    else if (in.top + iy - o.y > height - in.bottom - s)
        SetScrollOffset({o.x, iy - (height - in.top - in.bottom - s - hw)});
}

// ---------------------------------------------------------------------------
// Slots.

void CGuiListBox::Layout()
{
    CGuiText::Layout();
    PlaceSelection();
}

void CGuiListBox::Refresh()
{
    Layout();
}

void CGuiListBox::SetScrollOffset(const Vec2& offset)
{
    CGuiText::SetScrollOffset(offset);
    PlaceSelection();
}

void CGuiListBox::SetVisualState(uint8_t state)
{
    CGuiText::SetVisualState(state);
    if (selection) {
        const uint32_t argb = state ? 0xFFFFFFFF : disabledColor;
        selection->SetColor(argb);
        selection->SetAlpha((uint8_t)(argb >> 24));
    }
}

void CGuiListBox::UpdateFrame()
{
    // In place of the bound frame's update: the frame's sprites are placed
    // when they draw.
    if (selection && curItem != -1)
        selection->Update();
}

void CGuiListBox::DrawContent()
{
    if (selection && curItem != -1)
        selection->Render();
    CGuiText::DrawContent();
}

void CGuiListBox::DrawContentAgain()
{
    DrawContent();
}

void CGuiListBox::OnChildEvent(CGuiControl* child, uint32_t code)
{
    CGuiText::OnChildEvent(child, code);
    if (!child)
        return;
    if (code == GUI_EV_PRESS && child == textControl)
        SetCurItem(ItemFromPoint({textControl->lastLocalPointer[0], textControl->lastLocalPointer[1]}));
    else if (code == GUI_EV_DOUBLE_CLICK && curItem != -1)
        PostEventToListeners(GUI_EV_ITEM_CHOSEN);
}

void CGuiListBox::OnEvent(uint32_t code)
{
    CGuiManager* manager = Manager();
    const CGeKeyboardState* keyboard = manager ? manager->keyboard : nullptr;
    if (code == GUI_EV_CHAR) {
        const uint16_t typed = keyboard ? keyboard->character : 0;
        const char16_t c = typed < 0x100 ? AnsiCharToWide((unsigned char)typed) : (char16_t)typed;
        if (GuiIsLetterOrDigit(c)) {
            CGeWString one;
            GuiAppendChar(one, c);
            int32_t found = FindItemPrefix(curItem + 1, one);
            if (found == -1)
                found = FindItemPrefix(0, one);
            SetCurItem(found);
            if (found != -1)
                EnsureVisible();
        }
        CGuiText::OnEvent(code);
        return;
    }
    if (code == GUI_EV_KEY_DOWN) {
        switch (keyboard ? keyboard->lastPressedKey : 0) {
        case kKeyEnter:
            if (curItem != -1)
                PostEventToListeners(GUI_EV_ITEM_CHOSEN);
            return;
        case kKeyUp:
            SetCurItem(curItem == 0 ? 0 : curItem - 1);
            EnsureVisible();
            return;
        case kKeyDown:
            SetCurItem(curItem + 1);
            EnsureVisible();
            return;
        default: break;
        }
    }
    CGuiText::OnEvent(code);
}

// ---------------------------------------------------------------------------
// Properties.

void CGuiListBox::SetProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    switch (index) {
    case EP_CurItem: SetCurItem(GuiValueInt(value)); break;
    case EP_Items:
        if (textControl)
            textControl->SetText(GuiValueWideString(value));
        curItem = -1;
        break;
    case EP_SelectionPic: SetSelectionPicture(GuiValueString(value)); break;
    case EP_SelectionPicTiled: {
        selectionTiled = GuiValueBool(value);
        const CGeString stored = selectionPic;
        SetSelectionPicture(stored);
        break;
    }
    case EP_SelectionBlendMode:
        selectionBlendMode = GuiValueInt(value);
        if (selection)
            selection->SetBlendMode((uint32_t)selectionBlendMode);
        break;
    case EP_Text: break;
    default: CGuiText::SetProperty(index, value, refresh); return;
    }
    if (refresh)
        Refresh();
}

bool CGuiListBox::GetProperty(uint32_t index, CGeWString& text)
{
    text = CGeWString();
    CGeValue v;
    switch (index) {
    case EP_CurItem: v = GuiMakeInt(curItem); break;
    case EP_ItemCount: v = GuiMakeInt((int32_t)GetItemCount()); break;
    case EP_Items: v = CGeValue(textControl ? textControl->text : CGeWString()); break;
    case EP_SelectionPic: v = CGeValue(selectionPic); break;
    case EP_SelectionPicTiled: v = GuiMakeBool(selectionTiled); break;
    case EP_SelectionBlendMode: v = GuiMakeInt(selectionBlendMode); break;
    case EP_Text: return false;
    default: return CGuiText::GetProperty(index, text);
    }
    text = PropertyValueToText(v, index);
    return true;
}
