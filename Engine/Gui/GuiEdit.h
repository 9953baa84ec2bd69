// The edit field: a text control the player types into. It keeps a caret and
// a selection as character indices into its text (anchor where the selection
// started, end following the caret; equal indices mean no selection), draws a
// blinking caret picture and up to three selection pictures (first line,
// middle lines, last line), takes typed characters and editing keys from the
// keyboard device, places the caret with the mouse, and copies, cuts and
// pastes Unicode text through the clipboard of the device window.
//
// Filters run after every text change: numeric only (the registry's numeric
// filter), a maximum length, lower or upper case over the whole text, and a
// password character that the text visual shows in place of each character
// while EP_Text still reads the text itself. Read only blocks typing and
// every key, copying and caret movement included; the mouse still moves the
// caret and the selection.
//
// Typed characters are bytes of the engine's code page (Windows-1251): a
// byte is accepted when it is graphic by our own table for that code page
// (Cyrillic letters are accepted), a space or, in a multi-line edit, a
// carriage return (which becomes a line feed).
//
// Choices:
// - Words are delimited by spaces and line feeds. Ctrl+Left moves to the
//   start of the word before the caret (spaces just before the caret are
//   passed over first), Ctrl+Backspace deletes from that same place up to the
//   caret, Ctrl+Delete deletes from the caret up to the next space or line
//   feed found from the character after the caret (so at a space it takes
//   that space and the word behind it).
// - The maximum length counts the text without the selection that typing
//   replaces, so a full field whose text is selected can be typed over.
// - Every edit of the text collapses the selection at the new caret.
// - The caret at the end of a line stands right of the line's last
//   character; Up and Down on the first or last line stay on that line.
// - The caret widens an autosizing edit only in the mode that sizes both
//   ways (the one-way mode keeps the width it was given).
// - Copy and cut close the clipboard again, so a later paste can open it.
#pragma once

#include "Engine/Gui/GuiTextControl.h"

class CGmSprite;

class CGuiEdit : public CGuiTextControl {
public:
    CGuiEdit(float width, float height);
    ~CGuiEdit() override;

    void SetSize(float newWidth, float newHeight) override;
    void SetVisualState(uint8_t state) override;
    void SetProperty(uint32_t index, const CGeValue& value, bool refresh) override;
    bool GetProperty(uint32_t index, CGeWString& text) override;
    void Refresh() override;
    void UpdateFrame() override;
    void OnEvent(uint32_t code) override;
    void DrawContent() override;
    void DrawContentAgain() override;
    void SetText(const CGeWString& newText) override;
    void LayoutText() override;

    // Anchor := min(start, length); end and caret := end, the length for -1
    // or beyond it; then the caret placement.
    void Select(int32_t start, int32_t end);
    void ApplyFilters();
    void PlaceCaret();
    void LayoutSelection();
    // The caret at the mouse pointer (nothing for an empty text).
    void CaretFromPointer();
    // Event 33: the keyboard device's character typed.
    void TypeCharacter();
    // Event 34: the keyboard device's last key pressed.
    void HandleKey();

    // The caret picture's place in the control and its size: (1e30, 1e30)
    // without a picture or a placed caret, size (0, 0) without a picture.
    Vec2 CaretPosition() const;
    Vec2 CaretSize() const;
    bool HasSelection() const { return anchor != end; }
    // The glyph place of the caret standing before character index, in the
    // text visual's space; (1e30, 1e30) when the text is not laid out.
    Vec2 GlyphPlace(uint32_t index) const;
    // The caret index nearest to a point of the text visual's space.
    uint32_t IndexAtPoint(float x, float y) const;
    // The edit or, for an inner part, its nearest compound ancestor holds
    // its set's focus.
    bool HasFocus() const;

    uint8_t numericOnly = 0;
    uint8_t readOnly = 0;
    char16_t passwordChar = 0;
    uint32_t charCase = 0;
    uint32_t maxLength = 0;
    CGmSprite* caretSprite = nullptr;
    CGeString caretPicName;
    float caretOffset[2] = {0.0f, 0.0f};
    float blinkTimer = 0.0f;
    uint32_t caret = 0;
    uint8_t caretPlaceable = 0;
    uint32_t caretBlendMode = 5;
    int32_t anchor = 0;
    int32_t end = 0;
    CGmSprite* selectionSprites[3] = {};
    CGeString selectionPicName;
    uint8_t selectionTiled = 0;
    uint32_t selectionBlendMode = 5;

private:
    void SetCaretPicture(const CGeString& schemaName);
    void SetSelectionPicture(const CGeString& schemaName);
    void Draw();
    // Replaces [from, to) with insert through SetText; the caret goes to
    // from + the inserted length and the selection collapses there.
    void Replace(uint32_t from, uint32_t to, const CGeWString& insert);
    void RemoveSelection();
    void MoveCaret(uint32_t newCaret, bool extend);
    void CopySelection();
    void Paste();
    uint32_t WordStartBefore(uint32_t index) const;
    uint32_t WordEndAfter(uint32_t index) const;
    // What the text visual shows: the text, or the password mask.
    CGeWString Shown() const;
};

// The edit's caret and filter properties (53 to 56, 123 to 127), and its
// selection picture properties (66 to 68): what compounds pass to their edit.
bool GuiIsEditCaretOrFilterProperty(uint32_t index);
bool GuiIsSelectionPictureProperty(uint32_t index);

// The name suffix of the edit that a memo or a combo box makes as its part.
extern const char* const kGuiEditSuffix;
