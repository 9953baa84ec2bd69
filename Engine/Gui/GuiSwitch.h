// The switch: a control with a fixed number of states, shown as the frames
// of one picture (state n shows frame n of the EP_ImageList sprite schema).
// A click of the first mouse button steps forward, of the second backward,
// both cyclically; the focused switch also steps with Right, Left and the
// space bar (backward with Shift), and Enter returns it to state 0. Every
// change the user makes is reported as event 45 to the dispatcher and the
// listeners (not to the switch's own OnEvent).
//
// EP_CurState stores any value unchecked and without an event; the picture
// then shows its last frame for a value beyond it, and the next step wraps
// from the stored value. A new picture resets the state to 0; an unknown
// picture name removes the picture but keeps the states count.
//
// Choice: a switch without states (no picture was ever set) ignores every
// step and reports nothing.
#pragma once

#include "Engine/Gui/GuiControl.h"

class CGmSprite;

constexpr uint32_t GUI_EV_SWITCH_STATE = 45;

class CGuiSwitch : public CGuiControl {
public:
    CGuiSwitch(float width, float height);
    ~CGuiSwitch() override;

    void SetSize(float newWidth, float newHeight) override;
    void SetVisualState(uint8_t state) override;
    void SetProperty(uint32_t index, const CGeValue& value, bool refresh) override;
    bool GetProperty(uint32_t index, CGeWString& text) override;
    void Refresh() override;
    void UpdateFrame() override;
    void OnEvent(uint32_t code) override;
    void DrawContent() override;
    void DrawContentAgain() override;

    void Layout();
    void Step(bool forward);

    uint32_t currentState = 0;
    uint32_t statesCount = 0;
    CGmSprite* sprite = nullptr;
    CGeString pictureName;
    uint32_t blendMode = 5;

private:
    void SetPicture(const CGeString& schemaName);
    void DrawPicture();
};
