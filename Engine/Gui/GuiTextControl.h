// The text control: one wide text in a GUI font inside the control's client
// area, laid out and drawn by an owned text visual that hangs under the
// control's visual node. It is a control of its own (labels, captions) and
// the base of the button.
//
// Autosize 0 fits the text into the client area (hidden when the area is
// below 1 by 1), 1 gives the control the text's size (W and H are then
// ignored), 2 keeps the width and takes the wrapped text's height.
//
// The Text property and SetText differ on purpose: the property removes
// line feeds and backslash-n pairs while multiline is off and posts nothing;
// SetText removes only line feeds, lays the control out and reports event
// 44. Enabling the control paints its text white, whatever colour it had.
//
// Choice: autosize 2 takes the height of the text as laid out in the box
// width (wrapped), so that a narrower control grows taller.
#pragma once

#include "Engine/Gui/GuiControl.h"

class CGmText;

class CGuiTextControl : public CGuiControl {
public:
    CGuiTextControl(float width, float height);
    ~CGuiTextControl() override;

    void SetPosition(float x, float y) override;
    void SetSize(float newWidth, float newHeight) override;
    void SetVisualState(uint8_t state) override;
    void SetProperty(uint32_t index, const CGeValue& value, bool refresh) override;
    bool GetProperty(uint32_t index, CGeWString& text) override;
    void Refresh() override;
    void UpdateFrame() override;
    void OnEvent(uint32_t code) override;
    void DrawContent() override;
    void DrawContentAgain() override;
    // Slots 24 and 25.
    virtual void SetText(const CGeWString& newText);
    virtual void LayoutText();

    CGmText* textVisual = nullptr;
    CGeWString text;
    uint32_t autosize = 0;
    uint8_t multiline = 1;
    uint8_t clipText = 1;
    float textShift[2] = {0.0f, 0.0f};
    float textOffset[2] = {0.0f, 0.0f};
};

// The text without line feeds, and without backslash-n pairs when asked.
CGeWString GuiRemoveLineBreaks(const CGeWString& text, bool backslashN);
