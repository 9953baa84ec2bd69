// The scrollable text: a wide text that may be larger than the control,
// scrolled by two scroll bars, the arrow keys and the mouse wheel. It is a
// compound control: a text control and a horizontal and a vertical scroll bar
// are ordinary controls of the same set (the set owns them), named by this
// control's name and a fixed suffix, laid out inside this control's bound
// frame and kept in step with the text's scroll offset.
//
// The scroll offset is not stored here: it is the scroll offset of the text
// control's text visual, always whole units within 0 and the scroll range
// (the text's measured size less the visible area). The bars follow it; a
// bar moved by the user scrolls the text. The wheel over the text scrolls by
// a line (by a space's width with Shift held); the bars' own wheel handling
// is off. Left lowers the horizontal offset; Up raises the vertical one and
// Down lowers it, while the wheel rolled away from the user lowers it.
//
// A child whose name is already taken in the set is not made: its pointer
// stays null, Layout does nothing, and every step that would use it skips it.
// Properties this control does not list are ignored, frame and background
// pictures among them; autosize "Both" and "Vertical" size the control after
// the text, so EP_W and EP_H have no effect then.
#pragma once

#include "Engine/Gui/GuiControl.h"

#include <initializer_list>

class CGuiFont;
class CGuiScrollBar;
class CGuiTextControl;

class CGuiText : public CGuiControl {
public:
    CGuiText(float width, float height);
    ~CGuiText() override;

    void SetSize(float newWidth, float newHeight) override;
    void SetVisualState(uint8_t state) override;
    void SetProperty(uint32_t index, const CGeValue& value, bool refresh) override;
    bool GetProperty(uint32_t index, CGeWString& text) override;
    void Refresh() override;
    void CreateChildren() override;
    void OnEvent(uint32_t code) override;
    void DrawContent() override;
    void DrawContentAgain() override;
    // Slots 24 to 26.
    virtual void SetScrollOffset(const Vec2& offset);
    virtual void Layout();
    virtual void OnChildEvent(CGuiControl* child, uint32_t code);

    Vec2 GetScrollOffset() const;
    // Virtual: the memo leaves room for its caret in the same layout.
    virtual Vec2 GetScrollRange() const;
    // The text's measured size; (0, 0) without a text control.
    Vec2 TextSize() const;
    float LineHeight() const;
    float SpaceWidth() const;

    CGuiScrollBar* horzBar = nullptr;
    CGuiScrollBar* vertBar = nullptr;
    CGuiTextControl* textControl = nullptr;
    float horzBarWidth = 0.0f;
    float vertBarWidth = 0.0f;
    uint32_t autosize = 0;

protected:
    struct MeasureCache {
        CGeWString text;
        const CGuiFont* font = nullptr;
        float lineHeight = 0.0f;
        float spacing = 0.0f;
        uint32_t showTags = 0;
        Vec2 size = {0.0f, 0.0f};
        bool valid = false;
    };
    mutable MeasureCache m_measured;

    // Enables each bar that has a range, while this control is enabled.
    void UpdateBarStates();
    // Makes the three parts (those that exist) this control's: parents them,
    // sets the text part up for scrolling, turns the bars and listens to all
    // three.
    void AdoptChildren();
    // The listener callback that routes a child's events to OnChildEvent.
    static void ChildListener(void* object, CGuiControl* child, uint32_t code);
};

// A part of a compound control: a control of the owner's set, named by the
// owner's name and the suffix, made by the factory (its own parts included);
// null when the owner has no set or no name, or the name is taken.
CGuiControl* GuiMakePart(CGuiControl* owner, uint32_t type, const char* suffix);
// Takes every record of (object, callback) off those parts that still are
// the owner's children (a part deleted before its owner is not touched).
void GuiForgetParts(CGuiControl* owner, std::initializer_list<CGuiControl*> parts, void* object,
                    GuiListenerCallback callback);
// The properties a compound control passes on to both of its scroll bars.
bool GuiIsScrollBarProperty(uint32_t index);

// The internal parts' name suffixes.
extern const char* const kGuiTextControlSuffix;
extern const char* const kGuiHorzBarSuffix;
extern const char* const kGuiVertBarSuffix;
