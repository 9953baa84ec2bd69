// The memo: a multi-line text entry with two scroll bars. It is the
// scrollable text with an edit field in the place of its text control: the
// same layout, scroll offset, bar handling, wheel and visual state (the very
// operations of CGuiText), with a scroll range that leaves room for the caret
// and an offset that follows the caret while the user types, so the caret
// stays in view.
//
// The edit field is made directly (not through the factory) and is always
// multi-line: EP_Multiline and EP_TagsVisible set on the memo are ignored.
// Keys and characters reach the memo (the focused compound) and are handed
// to the edit; Backspace and Delete place the caret again on key up as well.
//
// A child whose name is taken in the set is not made; every step that would
// use it skips it, and Layout then does nothing.
#pragma once

#include "Engine/Gui/GuiText.h"

class CGuiEdit;

class CGuiMemo : public CGuiText {
public:
    CGuiMemo(float width, float height);

    void SetProperty(uint32_t index, const CGeValue& value, bool refresh) override;
    bool GetProperty(uint32_t index, CGeWString& text) override;
    void CreateChildren() override;
    void OnEvent(uint32_t code) override;
    void SetScrollOffset(const Vec2& offset) override;
    // The scrollable text's range, the horizontal one less the caret's width.
    Vec2 GetScrollRange() const override;

    // Scrolls so that the caret is inside the visible area.
    void FollowCaret();
    CGuiEdit* Edit() const;
};
