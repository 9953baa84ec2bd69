#include "Engine/Gui/GuiEdit.h"

#include "Engine/Core/Common/GeTextConvert.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GmSprite.h"
#include "Engine/Core/Gm/GmText.h"
#include "Engine/Gui/GeKeyboard.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiCharClass.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiPicture.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiValues.h"
#include "Platform/Win32/WinClipboard.h"

#include <string>

const char* const kGuiEditSuffix = "____Edit____";

bool GuiIsEditCaretOrFilterProperty(uint32_t index)
{
    return (index >= EP_CaretPic && index <= EP_CaretBlendMode) || (index >= EP_NumericOnly && index <= EP_MaxLength);
}

bool GuiIsSelectionPictureProperty(uint32_t index)
{
    return index >= EP_SelectionPic && index <= EP_SelectionBlendMode;
}

namespace {

constexpr float kBlinkTime = 0.3f;
constexpr float kNoPlace = CGmText::kNoBox;

enum : uint32_t {
    kKeyBackspace = 8,
    kKeyShift = 16,
    kKeyControl = 17,
    kKeyEnd = 35,
    kKeyHome = 36,
    kKeyLeft = 37,
    kKeyUp = 38,
    kKeyRight = 39,
    kKeyDown = 40,
    kKeyDelete = 46,
    kKeyC = 0x43,
    kKeyV = 0x56,
    kKeyX = 0x58,
};

bool IsBreak(char16_t c)
{
    return c == u' ' || c == u'\n';
}

std::u16string Units(const CGeWString& s)
{
    return std::u16string(s.c_str(), s.Length());
}

CGeWString Wide(const std::u16string& s)
{
    return CGeWString(s.c_str());
}

// Places a picture over the rectangle (x0, y0)-(x1, y1), both corners
// limited to the inner rectangle; an empty rectangle gives size 0.
void Cover(CGmSprite* sprite, float x0, float y0, float x1, float y1, const CGeRect& inner, bool tiled)
{
    if (!sprite)
        return;
    auto limit = [](float v, float lo, float hi) { return v < lo ? lo : (v > hi ? hi : v); };
    const float r = inner.x + inner.width, b = inner.y + inner.height;
    x0 = limit(x0, inner.x, r);
    x1 = limit(x1, inner.x, r);
    y0 = limit(y0, inner.y, b);
    y1 = limit(y1, inner.y, b);
    sprite->frame.SetPosition({x0, y0, 0.0f});
    sprite->SetSize(x1 > x0 ? x1 - x0 : 0.0f, y1 > y0 ? y1 - y0 : 0.0f);
    if (tiled)
        GuiTileSprite(sprite);
}

} // namespace

CGuiEdit::CGuiEdit(float w, float h) : CGuiTextControl(w, h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_EDIT;
    focusEnabled = 1;
    cursorType = 2;
    textVisual->keepGlyphBoxes = 1;
    textVisual->ReserveGlyphBuffers(text);
    LayoutText();
}

CGuiEdit::~CGuiEdit()
{
    for (CGmSprite*& sprite : selectionSprites)
        GuiPictureDelete(sprite, frame);
    GuiPictureDelete(caretSprite, frame);
}

// ---------------------------------------------------------------------------
// Pictures.

void CGuiEdit::SetCaretPicture(const CGeString& schemaName)
{
    if (GuiPictureSet(caretSprite, caretPicName, schemaName, caretBlendMode, frame))
        caretSprite->visible = 1;
}

void CGuiEdit::SetSelectionPicture(const CGeString& schemaName)
{
    for (CGmSprite*& sprite : selectionSprites)
        GuiPictureSet(sprite, selectionPicName, schemaName, selectionBlendMode, frame);
}

// ---------------------------------------------------------------------------
// Caret and selection.

Vec2 CGuiEdit::GlyphPlace(uint32_t index) const
{
    const CGmText& t = *textVisual;
    if (text.IsEmpty())
        return {0.0f, 0.0f};
    const std::vector<GmTextBox>& boxes = t.glyphBoxes;
    const uint32_t n = (uint32_t)boxes.size();
    if (n == 0)
        return {kNoPlace, kNoPlace};
    if (index < n && boxes[index].x != kNoPlace)
        return {boxes[index].x, boxes[index].y};
    // Right of the nearest laid-out character before it on the same line, or
    // at the start of a line when a line feed comes first.
    uint32_t feeds = 0;
    const char16_t* shown = t.text.c_str();
    for (uint32_t i = (index < n ? index : n); i > 0; --i) {
        const uint32_t k = i - 1;
        if (shown[k] == u'\n') {
            ++feeds;
            continue;
        }
        if (boxes[k].x == kNoPlace)
            continue;
        if (feeds == 0)
            return {boxes[k].x + boxes[k].w, boxes[k].y};
        return {-t.scrollOffset[0], boxes[k].y + (float)feeds * t.lineHeight};
    }
    return {-t.scrollOffset[0], -t.scrollOffset[1] + (float)feeds * t.lineHeight};
}

uint32_t CGuiEdit::IndexAtPoint(float x, float y) const
{
    const std::vector<GmTextBox>& boxes = textVisual->glyphBoxes;
    const uint32_t n = (uint32_t)boxes.size();
    uint32_t first = n, last = n;
    for (uint32_t i = 0; i < n; ++i)
        if (boxes[i].x != kNoPlace) {
            if (first == n)
                first = i;
            last = i;
        }
    if (first == n)
        return 0;
    // Stay within the lines there are.
    const float top = boxes[first].y, bottom = boxes[last].y + boxes[last].h;
    if (y < top)
        y = top;
    if (y >= bottom)
        y = bottom - 0.5f * textVisual->lineHeight;
    uint32_t i = textVisual->LineAtPoint(x, y);
    if (i < n && boxes[i].x != kNoPlace && x > boxes[i].x + boxes[i].w * 0.5f)
        ++i;
    return i < text.Length() ? i : text.Length();
}

void CGuiEdit::PlaceCaret()
{
    if (!caretSprite)
        return;
    const uint32_t length = text.Length();
    if (caret > length) {
        caret = length;
        anchor = end = (int32_t)length;
    }
    const Vec2 glyph = GlyphPlace(caret);
    if (glyph.x == kNoPlace || glyph.y == kNoPlace) {
        caretSprite->SetSubRect({0.0f, 0.0f, 0.0f, 0.0f});
        caretPlaceable = 0;
        return;
    }
    caretPlaceable = 1;
    const Vec3& tp = textVisual->frame.position;
    const float x = tp.x + glyph.x + caretOffset[0];
    const float y = tp.y + glyph.y + caretOffset[1];
    caretSprite->frame.SetPosition({x, y, 0.0f});
    // The text's visible box: its clip size, or the control right of and
    // below the text less the frame's right and bottom margins.
    CGeRect box;
    if (textVisual->clipSize[0] != 0.0f || textVisual->clipSize[1] != 0.0f) {
        box = {tp.x, tp.y, textVisual->clipSize[0], textVisual->clipSize[1]};
    } else {
        const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
        box = {tp.x, tp.y, width - in.right - tp.x, height - in.bottom - tp.y};
    }
    const float w = caretSprite->size[0], h = caretSprite->size[1];
    const CGeRect cut = CGeRect::Intersect({x, y, w, h}, box);
    if (w <= 0.0f || h <= 0.0f || cut.width <= 0.0f || cut.height <= 0.0f)
        caretSprite->SetSubRect({0.0f, 0.0f, 0.0f, 0.0f});
    else
        caretSprite->SetSubRect({(cut.x - x) / w, (cut.y - y) / h, cut.width / w, cut.height / h});
    LayoutSelection();
}

void CGuiEdit::LayoutSelection()
{
    const int32_t length = (int32_t)text.Length();
    if (anchor > length)
        anchor = length;
    if (end > length)
        end = length;
    if (anchor < 0)
        anchor = 0;
    if (end < 0)
        end = 0;
    for (CGmSprite* sprite : selectionSprites)
        if (sprite)
            sprite->SetSize(0.0f, 0.0f);
    if (!HasSelection())
        return;
    const uint32_t a = (uint32_t)(anchor < end ? anchor : end);
    const uint32_t b = (uint32_t)(anchor < end ? end : anchor);
    const Vec2 ga = GlyphPlace(a), gb = GlyphPlace(b);
    if (ga.x == kNoPlace || gb.x == kNoPlace)
        return;
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    const CGeRect inner = {in.left, in.top, width - in.left - in.right, height - in.top - in.bottom};
    const Vec3& tp = textVisual->frame.position;
    const float ax = tp.x + ga.x, ay = tp.y + ga.y, bx = tp.x + gb.x, by = tp.y + gb.y;
    const float lh = textVisual->lineHeight;
    const float left = inner.x, right = inner.x + inner.width;
    if (ay == by) {
        Cover(selectionSprites[0], ax, ay, bx, ay + lh, inner, selectionTiled);
        return;
    }
    Cover(selectionSprites[0], ax, ay, right, ay + lh, inner, selectionTiled);
    Cover(selectionSprites[1], left, ay + lh, right, by, inner, selectionTiled);
    Cover(selectionSprites[2], left, by, bx, by + lh, inner, selectionTiled);
}

Vec2 CGuiEdit::CaretPosition() const
{
    if (!caretSprite || !caretPlaceable)
        return {kNoPlace, kNoPlace};
    const Vec3& p = caretSprite->frame.position;
    return {p.x, p.y};
}

Vec2 CGuiEdit::CaretSize() const
{
    if (!caretSprite)
        return {0.0f, 0.0f};
    return {caretSprite->size[0], caretSprite->size[1]};
}

void CGuiEdit::Select(int32_t start, int32_t stop)
{
    const uint32_t length = text.Length();
    anchor = (start < 0 || (uint32_t)start > length) ? (int32_t)length : start;
    caret = (stop < 0 || (uint32_t)stop > length) ? length : (uint32_t)stop;
    end = (int32_t)caret;
    PlaceCaret();
    LayoutSelection();
}

void CGuiEdit::CaretFromPointer()
{
    if (text.IsEmpty())
        return;
    float lx = lastLocalPointer[0], ly = lastLocalPointer[1];
    CGuiManager* manager = Manager();
    if (manager && manager->mouse)
        ScreenToLocal(manager->mouse->x, manager->mouse->y, &lx, &ly);
    const Vec3& tp = textVisual->frame.position;
    caret = IndexAtPoint(lx - tp.x, ly - tp.y);
    PlaceCaret();
}

bool CGuiEdit::HasFocus() const
{
    const CGuiControl* holder = this;
    if (internalPart) {
        holder = parent;
        while (holder && !holder->compound)
            holder = holder->parent;
    }
    return holder && holder->ownerSet && holder->ownerSet->focused == holder;
}

// ---------------------------------------------------------------------------
// Text and filters.

CGeWString CGuiEdit::Shown() const
{
    if (!passwordChar)
        return text;
    return Wide(std::u16string(text.Length(), passwordChar));
}

void CGuiEdit::SetText(const CGeWString& newText)
{
    CGuiTextControl::SetText(newText);
    ApplyFilters();
}

void CGuiEdit::ApplyFilters()
{
    std::u16string s = Units(text);
    if (numericOnly) {
        std::u16string kept;
        const std::u16string filter = Units(g_numericFilterChars);
        for (char16_t c : s)
            if (filter.find(c) != std::u16string::npos)
                kept.push_back(c);
        s = kept;
    }
    if (maxLength != 0 && s.size() > maxLength)
        s.resize(maxLength);
    if (charCase == CC_Lower || charCase == CC_Upper)
        for (char16_t& c : s)
            c = charCase == CC_Lower ? GuiToLower(c) : GuiToUpper(c);
    if (s != Units(text))
        text = Wide(s);
    textVisual->Layout(Shown());
    LayoutText();
    if (caret > text.Length())
        caret = text.Length();
    PlaceCaret();
}

void CGuiEdit::Replace(uint32_t from, uint32_t to, const CGeWString& insert)
{
    std::u16string s = Units(text);
    if (from > s.size())
        from = (uint32_t)s.size();
    if (to > s.size())
        to = (uint32_t)s.size();
    if (to < from)
        to = from;
    const std::u16string added = Units(insert);
    if (from == to && added.empty()) {
        // Nothing to change: no new text, no event; the selection collapses.
        caret = from;
        anchor = end = (int32_t)caret;
        PlaceCaret();
        LayoutSelection();
        return;
    }
    s.replace(from, to - from, added);
    caret = from + (uint32_t)added.size();
    anchor = end = (int32_t)caret;
    SetText(Wide(s));
    if (caret > text.Length())
        caret = text.Length();
    anchor = end = (int32_t)caret;
    PlaceCaret();
    LayoutSelection();
}

void CGuiEdit::RemoveSelection()
{
    if (!HasSelection())
        return;
    const uint32_t a = (uint32_t)(anchor < end ? anchor : end);
    const uint32_t b = (uint32_t)(anchor < end ? end : anchor);
    Replace(a, b, CGeWString());
}

// ---------------------------------------------------------------------------
// Typing and keys.

void CGuiEdit::TypeCharacter()
{
    CGuiManager* manager = Manager();
    const CGeKeyboardState* keyboard = manager ? manager->keyboard : nullptr;
    if (!keyboard || readOnly || keyboard->IsKeyDown(kKeyControl))
        return;
    const uint16_t typed = keyboard->character;
    if (typed == 8 || typed == 9 || typed == 27 || typed == 127)
        return;
    if (typed == 13 && !multiline)
        return;
    if (typed > 0xFF)
        return;
    const uint8_t byte = (uint8_t)typed;
    if (!GuiIsGraphicAnsi(byte) && byte != u' ' && byte != 13)
        return;
    const uint32_t selected = (uint32_t)(anchor < end ? end - anchor : anchor - end);
    if (maxLength != 0 && text.Length() - selected >= maxLength)
        return;
    if (numericOnly && Units(g_numericFilterChars).find((char16_t)byte) == std::u16string::npos)
        return;
    char16_t c = byte == 13 ? u'\n' : AnsiCharToWide(byte);
    if (charCase == CC_Lower)
        c = GuiToLower(c);
    else if (charCase == CC_Upper)
        c = GuiToUpper(c);
    if (HasSelection())
        RemoveSelection();
    const char16_t one[2] = {c, 0};
    Replace(caret, caret, CGeWString(one));
}

uint32_t CGuiEdit::WordStartBefore(uint32_t index) const
{
    const char16_t* s = text.c_str();
    uint32_t i = index < text.Length() ? index : text.Length();
    while (i > 0 && IsBreak(s[i - 1]))
        --i;
    while (i > 0 && !IsBreak(s[i - 1]))
        --i;
    return i;
}

uint32_t CGuiEdit::WordEndAfter(uint32_t index) const
{
    const char16_t* s = text.c_str();
    const uint32_t n = text.Length();
    uint32_t i = index + 1;
    while (i < n && !IsBreak(s[i]))
        ++i;
    return i < n ? i : n;
}

void CGuiEdit::MoveCaret(uint32_t newCaret, bool extend)
{
    caret = newCaret;
    end = (int32_t)caret;
    if (!extend)
        anchor = (int32_t)caret;
    PlaceCaret();
    LayoutSelection();
}

void CGuiEdit::CopySelection()
{
    if (!HasSelection())
        return;
    const uint32_t a = (uint32_t)(anchor < end ? anchor : end);
    const uint32_t b = (uint32_t)(anchor < end ? end : anchor);
    if (!OpenClipboard(g_pGmDevice ? g_pGmDevice->GetWindow() : nullptr))
        return;
    EmptyClipboard();
    const uint32_t n = b - a;
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 2 * (size_t)n + 2);
    if (char16_t* units = static_cast<char16_t*>(GlobalLock(block))) {
        for (uint32_t i = 0; i < n; ++i)
            units[i] = text.c_str()[a + i];
        units[n] = 0;
        GlobalUnlock(block);
        if (!SetClipboardData(CF_UNICODETEXT, block))
            GlobalFree(block);
    }
    CloseClipboard();
}

void CGuiEdit::Paste()
{
    RemoveSelection();
    if (!OpenClipboard(g_pGmDevice ? g_pGmDevice->GetWindow() : nullptr))
        return;
    std::u16string pasted;
    bool found = false;
    if (IsClipboardFormatAvailable(CF_UNICODETEXT)) {
        HANDLE data = GetClipboardData(CF_UNICODETEXT);
        const size_t units = GlobalSize(data) / 2;
        if (const char16_t* p = static_cast<const char16_t*>(GlobalLock(data))) {
            found = true;
            for (size_t i = 0; i < units && p[i]; ++i) {
                if (p[i] == u'\r' || (p[i] == u'\n' && !multiline))
                    continue;
                pasted.push_back(p[i] == u'\t' ? u' ' : p[i]);
            }
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    if (found)
        Replace(caret, caret, Wide(pasted));
}

void CGuiEdit::HandleKey()
{
    CGuiManager* manager = Manager();
    const CGeKeyboardState* keyboard = manager ? manager->keyboard : nullptr;
    if (!keyboard || readOnly)
        return;
    const bool shift = keyboard->IsKeyDown(kKeyShift);
    const bool ctrl = keyboard->IsKeyDown(kKeyControl);
    const uint32_t length = text.Length();
    const uint32_t low = (uint32_t)(anchor < end ? anchor : end);
    const uint32_t high = (uint32_t)(anchor < end ? end : anchor);
    switch (keyboard->lastPressedKey) {
    case kKeyBackspace:
        if (ctrl)
            Replace(WordStartBefore(caret), caret, CGeWString());
        else if (length == 0)
            break;
        else if (HasSelection())
            RemoveSelection();
        else if (caret > 0)
            Replace(caret - 1, caret, CGeWString());
        break;
    case kKeyDelete:
        if (ctrl) {
            if (!shift && caret < length)
                Replace(caret, WordEndAfter(caret), CGeWString());
        } else if (length == 0) {
            break;
        } else if (HasSelection()) {
            RemoveSelection();
        } else if (caret < length) {
            Replace(caret, caret + 1, CGeWString());
        }
        break;
    case kKeyLeft:
        if (ctrl) {
            MoveCaret(WordStartBefore(caret), shift);
        } else if (caret == 0) {
            if (HasSelection() && !shift) {
                end = anchor;
                LayoutSelection();
            }
        } else if (HasSelection() && !shift) {
            MoveCaret(low, false);
        } else {
            MoveCaret(caret - 1, shift);
        }
        break;
    case kKeyRight:
        if (ctrl) {
            const char16_t* s = text.c_str();
            uint32_t i = caret;
            while (i < length && !IsBreak(s[i]))
                ++i;
            while (i < length && IsBreak(s[i]))
                ++i;
            MoveCaret(i, shift);
        } else if (caret >= length) {
            if (HasSelection() && !shift) {
                anchor = end;
                LayoutSelection();
            }
        } else if (HasSelection() && !shift) {
            MoveCaret(high, false);
        } else {
            MoveCaret(caret + 1, shift);
        }
        break;
    case kKeyUp:
    case kKeyDown: {
        const Vec2 g = GlyphPlace(caret);
        if (g.x == kNoPlace)
            break;
        const float dy = keyboard->lastPressedKey == kKeyUp ? -textVisual->lineHeight : textVisual->lineHeight;
        MoveCaret(IndexAtPoint(g.x, g.y + dy), shift);
        break;
    }
    case kKeyHome:
        if (ctrl) {
            MoveCaret(0, shift);
        } else if (caret > 0) {
            const Vec2 g = GlyphPlace(caret);
            if (g.x != kNoPlace)
                MoveCaret(IndexAtPoint(-10000.0f, g.y), shift);
        }
        break;
    case kKeyEnd:
        if (ctrl) {
            MoveCaret(length, shift);
        } else if (caret < length) {
            const Vec2 g = GlyphPlace(caret);
            if (g.x != kNoPlace)
                MoveCaret(IndexAtPoint(g.x + 100000.0f, g.y), shift);
        }
        break;
    case kKeyC:
        if (ctrl && !shift)
            CopySelection();
        break;
    case kKeyX:
        if (ctrl && !shift && HasSelection()) {
            CopySelection();
            RemoveSelection();
        }
        break;
    case kKeyV:
        if (ctrl && !shift)
            Paste();
        break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// Control slots.

void CGuiEdit::LayoutText()
{
    if (caretSprite) {
        const float lh = textVisual->lineHeight;
        const float* px = caretSprite->imageSet.framePixelSize;
        caretSprite->SetSize(px[1] > 0.0f ? px[0] * lh / px[1] : 0.0f, lh);
    }
    CGuiTextControl::LayoutText();
    if (autosize == TAS_Both && caretSprite)
        CGuiControl::SetSize(width + caretSprite->size[0], height);
}

void CGuiEdit::SetSize(float newWidth, float newHeight)
{
    CGuiTextControl::SetSize(newWidth, newHeight);
    PlaceCaret();
    LayoutSelection();
}

void CGuiEdit::SetVisualState(uint8_t state)
{
    CGuiTextControl::SetVisualState(state);
    if (caretSprite)
        caretSprite->SetColor(state ? 0xFFFFFFFF : disabledColor);
}

void CGuiEdit::Refresh()
{
    LayoutText();
    PlaceCaret();
}

void CGuiEdit::UpdateFrame()
{
    CGuiTextControl::UpdateFrame();
    if (caretSprite)
        caretSprite->Update();
    for (CGmSprite* sprite : selectionSprites)
        if (sprite)
            sprite->Update();
}

void CGuiEdit::OnEvent(uint32_t code)
{
    CGuiControl::OnEvent(code);
    switch (code) {
    case GUI_EV_FRAME_CHANGED: LayoutText(); break;
    case GUI_EV_PRESS:
        CaretFromPointer();
        anchor = end = (int32_t)caret;
        LayoutSelection();
        break;
    case GUI_EV_MOVE: {
        CGuiManager* manager = Manager();
        if (manager && manager->mouse && manager->mouse->buttons[0]) {
            CaretFromPointer();
            end = (int32_t)caret;
            LayoutSelection();
        }
        break;
    }
    case GUI_EV_RELEASE:
        CaretFromPointer();
        end = (int32_t)caret;
        LayoutSelection();
        break;
    case GUI_EV_CHAR: TypeCharacter(); break;
    case GUI_EV_KEY_DOWN: HandleKey(); break;
    case GUI_EV_FOCUS_GAINED: Select(0, -1); break;
    case GUI_EV_TEXT_CHANGED:
        if (caret > text.Length()) {
            caret = text.Length();
            PlaceCaret();
        }
        break;
    default: break;
    }
}

void CGuiEdit::Draw()
{
    blinkTimer += g_geTimer ? g_geTimer->delta : 0.0f;
    const bool focused = HasFocus();
    if (focused && HasSelection())
        for (CGmSprite* sprite : selectionSprites)
            if (sprite)
                sprite->Render();
    textVisual->Render();
    if (!focused || !caretSprite)
        return;
    if (blinkTimer > kBlinkTime) {
        blinkTimer = 0.0f;
        caretSprite->visible = caretSprite->visible ? 0 : 1;
    }
    if (!caretPlaceable)
        caretSprite->visible = 0;
    caretSprite->Render();
}

void CGuiEdit::DrawContent()
{
    Draw();
}

void CGuiEdit::DrawContentAgain()
{
    Draw();
}

// ---------------------------------------------------------------------------
// Properties.

void CGuiEdit::SetProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    if (index != EP_Text && index != EP_Multiline && index != EP_TagsVisible)
        CGuiTextControl::SetProperty(index, value, false);
    switch (index) {
    case EP_Text:
        CGuiTextControl::SetProperty(index, value, false);
        ApplyFilters();
        break;
    case EP_NumericOnly: {
        const uint8_t v = GuiValueBool(value);
        if (!multiline && v != numericOnly) {
            numericOnly = v;
            ApplyFilters();
        }
        break;
    }
    case EP_Multiline:
        if (!numericOnly && !passwordChar)
            CGuiTextControl::SetProperty(index, value, false);
        break;
    case EP_CharCase: {
        const uint32_t v = GuiValueUInt(value);
        if (v != charCase) {
            charCase = v;
            ApplyFilters();
        }
        break;
    }
    case EP_PasswordChar: {
        if (multiline)
            break;
        const CGeWString given = GuiValueWideString(value);
        const char16_t v = given.IsEmpty() ? 0 : given.c_str()[0];
        if (v != passwordChar) {
            passwordChar = v;
            ApplyFilters();
        }
        break;
    }
    case EP_ReadOnly: readOnly = GuiValueBool(value); break;
    case EP_MaxLength: {
        const uint32_t v = GuiValueUInt(value);
        if (v != maxLength) {
            maxLength = v;
            ApplyFilters();
        }
        break;
    }
    case EP_CaretPic: SetCaretPicture(GuiValueString(value)); break;
    case EP_CaretPicOffsetX: caretOffset[0] = GuiValueFloat(value); break;
    case EP_CaretPicOffsetY: caretOffset[1] = GuiValueFloat(value); break;
    case EP_CaretBlendMode:
        caretBlendMode = GuiValueUInt(value);
        if (caretSprite)
            caretSprite->SetBlendMode(caretBlendMode);
        break;
    case EP_SelectionPic: SetSelectionPicture(GuiValueString(value)); break;
    case EP_SelectionPicTiled: {
        selectionTiled = GuiValueBool(value);
        const CGeString name = selectionPicName;
        SetSelectionPicture(name);
        break;
    }
    case EP_SelectionBlendMode:
        selectionBlendMode = GuiValueUInt(value);
        for (CGmSprite* sprite : selectionSprites)
            if (sprite)
                sprite->SetBlendMode(selectionBlendMode);
        break;
    default: break;
    }
    if (refresh)
        Refresh();
}

bool CGuiEdit::GetProperty(uint32_t index, CGeWString& out)
{
    CGeValue v;
    switch (index) {
    case EP_NumericOnly: v = GuiMakeBool(numericOnly); break;
    case EP_CharCase: v = GuiMakeUInt(charCase); break;
    case EP_PasswordChar: {
        const char16_t one[2] = {passwordChar, 0};
        v = CGeValue(CGeWString(one));
        break;
    }
    case EP_ReadOnly: v = GuiMakeBool(readOnly); break;
    case EP_MaxLength: v = GuiMakeUInt(maxLength); break;
    case EP_CaretPic: v = CGeValue(caretPicName); break;
    case EP_CaretPicOffsetX: v = GuiMakeFloat(caretOffset[0]); break;
    case EP_CaretPicOffsetY: v = GuiMakeFloat(caretOffset[1]); break;
    case EP_CaretBlendMode: v = GuiMakeUInt(caretBlendMode); break;
    case EP_SelectionPic: v = CGeValue(selectionPicName); break;
    case EP_SelectionPicTiled: v = GuiMakeBool(selectionTiled); break;
    case EP_SelectionBlendMode: v = GuiMakeUInt(selectionBlendMode); break;
    default: return CGuiTextControl::GetProperty(index, out);
    }
    out = PropertyValueToText(v, index);
    return true;
}
