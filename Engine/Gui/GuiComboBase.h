// What the combo box and the drop-down list share: a value part (the combo's
// edit field, the drop-down's text control), a button that opens and closes
// a list box dropping below the control (or above it where there is room
// above and none below), the stepping through the items, the open list drawn
// last with its frame, and a hit rectangle that covers the open list.
//
// The list is open exactly while the list box is visible. Opening lays the
// control out, makes the item that starts with the shown text current, shows
// the list and posts event 53; taking a value posts 54 (dispatcher and own
// OnEvent, not the listeners). A button press anywhere outside the control
// and its parts closes the list.
//
// Choices: the wheel stops at the first and the last item (no wrap); a list
// of one item stays on it. A child whose name is taken in the set is not
// made, and every step skips a missing child.
#pragma once

#include "Engine/Gui/GuiControl.h"

class CGuiButton;
class CGuiListBox;
class CGuiTextControl;

constexpr uint32_t GUI_EV_LIST_OPENED = 53;
constexpr uint32_t GUI_EV_VALUE_TAKEN = 54;
// Two codes on which the control lays itself out again (nothing here posts
// them; a part or game code may).
constexpr uint32_t GUI_EV_RELAYOUT_FIRST = 49;
constexpr uint32_t GUI_EV_RELAYOUT_SECOND = 50;

class CGuiComboBase : public CGuiControl {
public:
    CGuiComboBase(float width, float height);
    ~CGuiComboBase() override;

    void SetSize(float newWidth, float newHeight) override;
    void SetVisualState(uint8_t state) override;
    void Refresh() override;
    void PreMouseMessage(uint32_t code) override;
    void DrawContent() override;
    void DrawContentAgain() override;
    CGeRect GetRect() override;
    // The base's events, then: a new frame lays out; Enter takes the open
    // list's current item; Up and Down (Down only without Ctrl) step with
    // wrap-around; Down released with Ctrl held opens; the focus lost closes.
    void OnEvent(uint32_t code) override;
    // Slots 24 and 25.
    virtual void Layout();
    // Clicks on the button and the list, the pointer over the list, an item
    // chosen in it, the wheel over the value part.
    virtual void OnChildEvent(CGuiControl* child, uint32_t code);

    bool IsOpen() const;
    void Open();
    void Close();
    // The value part's text becomes the list's current item; true when the
    // shown text changed.
    bool TakeValue();
    // Makes the item that starts with the shown text current, or item 0 when
    // none does; false for an empty list.
    bool FindCurrent();
    // One item on, wrapping at the ends (Up and Down).
    void StepWrapping(int32_t direction);
    // The wheel's notches of this frame, stopping at the ends.
    void StepByWheel();
    // The text the value part shows.
    CGeWString ShownText() const;
    // The key is one that steps or takes the list's items (Enter, Up, Down
    // without Ctrl).
    bool IsListKey(uint32_t key) const;
    // Makes the first item that starts with the text current, while open.
    void SearchOpenList(const CGeWString& prefix);

    CGuiListBox* listBox = nullptr;
    CGuiTextControl* valuePart = nullptr; // the edit, or the text control
    CGuiButton* button = nullptr;
    uint32_t maxDropItemCount = 0;
    float buttonWidth = 0.0f;
    float listBoxOffset[2] = {0.0f, 0.0f};

protected:
    // Takes the value, then lets the value part select it (the combo's edit
    // selects its whole text); true when the shown text changed.
    bool TakeAndSelect();
    virtual void SelectShownText() {}
    // The list box, made directly; the button, made through the factory.
    void MakeListBox();
    void MakeButton();
    // Parents the three parts (list box, value part, button), sets the value
    // part up as one clipped, unwrapped line, hides the list, marks the parts
    // and listens to them and to the list's text control.
    void AdoptChildren(bool tagsVisible);
    // The properties both classes treat alike; false for any other. The
    // getter tells in *answered whether the property was answered.
    bool SetCommonProperty(uint32_t index, const CGeValue& value, bool refresh);
    bool GetCommonProperty(uint32_t index, CGeWString& text, bool* answered);
    static void ChildListener(void* object, CGuiControl* child, uint32_t code);
};

extern const char* const kGuiListBoxSuffix;
extern const char* const kGuiButtonSuffix;
