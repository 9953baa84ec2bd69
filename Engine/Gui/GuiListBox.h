// The list box: a scrollable text whose lines are items. The items are one
// wide text (EP_Items), an item per line; the list box keeps a current item
// (-1 for none), draws a selection picture under it (beneath the text, cut to
// the inner area when the item is scrolled partly out of view, hidden when
// wholly out), moves it with the pointer, the arrow keys and typed letters,
// and announces every change of the current item as event 48 (to the
// dispatcher, its own OnEvent and its listeners). Enter or a double click on
// a current item chooses it: event 52, to the dispatcher and the listeners.
//
// Counting: EP_ItemCount counts the pieces between line feeds (none for an
// empty text, a line feed at the very end adds none, two in a row make an
// empty item); SetCurItem accepts the indices of the text's laid-out lines.
// Setting EP_Items clears the current item without event 48.
//
// Typing: the typed byte is read through the code page, then tested by our
// own letter-or-digit test over UTF-16 (Latin, Greek and Cyrillic letters,
// ASCII digits), never the C library's locale; the first item from the one
// after the current that starts with it (A to Z folded, nothing else)
// becomes current, searching from the top when none below does. A letter
// that starts no item clears the current item.
//
// Choices: with no line height, no item lies under any point and none can be
// made current; a tiled selection picture without width repeats once.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Gui/GuiText.h"

class CGmSprite;

class CGuiListBox : public CGuiText {
public:
    CGuiListBox(float width, float height);
    ~CGuiListBox() override;

    void SetVisualState(uint8_t state) override;
    void SetProperty(uint32_t index, const CGeValue& value, bool refresh) override;
    bool GetProperty(uint32_t index, CGeWString& text) override;
    void Refresh() override;
    void UpdateFrame() override;
    void OnEvent(uint32_t code) override;
    void DrawContent() override;
    void DrawContentAgain() override;
    void SetScrollOffset(const Vec2& offset) override;
    void Layout() override;
    void OnChildEvent(CGuiControl* child, uint32_t code) override;

    void SetCurItem(int32_t index);
    int32_t FindItem(const CGeWString& text) const;
    int32_t FindItemPrefix(int32_t start, const CGeWString& text) const;
    void GetItem(int32_t index, CGeWString& text) const;
    void GetCurItemText(CGeWString& text);
    // The item under a point of the text control's local space; -1 for none.
    int32_t ItemFromPoint(const Vec2& point) const;
    void EnsureVisible();
    uint32_t GetItemCount() const;
    void PlaceSelection();

    CGmSprite* selection = nullptr;
    CGeString selectionPic;
    uint8_t selectionTiled = 0;
    int32_t selectionBlendMode = 5;
    int32_t curItem = -1;

private:
    void Items(CGeArray<CGeWString>& items) const;
    void SetSelectionPicture(const CGeString& schemaName);
};

// The small wide-text operations the lists and edit fields share.
void GuiAppendChar(CGeWString& text, char16_t c);
void GuiDropLastChar(CGeWString& text);
// The index of the first string of [first, first + count) equal to text; -1.
int32_t GuiFindString(const CGeWString* first, uint32_t count, const CGeWString& text);
// Empties every string of the array, then the array.
void GuiFreeStrings(CGeArray<CGeWString>& strings);
// A and B agree over the shorter length, A to Z folded (no other letters).
bool GuiPrefixMatchFoldAscii(const CGeWString& a, const CGeWString& b);
// A letter of the Latin, Greek or Cyrillic alphabets, or a decimal digit,
// whatever the C library's locale says.
bool GuiIsLetterOrDigit(char16_t c);
