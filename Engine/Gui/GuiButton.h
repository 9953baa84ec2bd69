// The push button: a text control that shows, behind its caption, a picture
// of three pieces (left, right, centre) for each of four states (normal,
// pressed, hover, disabled). It reacts to the first mouse button and to
// Enter, fades its hover pictures in and out over 0.3 s, shifts its caption
// by the text bias while pressed and reports every change of state made
// through SetState as event 42. The click is the control's event 3; Enter
// pressed and released on the focused button posts 3 too.
//
// The twelve state sprites are made from sprite schemas of the GUI
// resources, hang under the control's visual node and belong to the button.
// Setting EP_FocusEnabled to 0 on the focused button posts 41 twice: once
// from the button itself, once from its set as the focus is cleared.
#pragma once

#include "Engine/Gui/GuiTextControl.h"

class CGmSprite;

enum EGuiButtonState : uint32_t {
    GUI_BUTTON_NORMAL = 0,
    GUI_BUTTON_PRESSED = 1,
    GUI_BUTTON_HOVER = 2,
    GUI_BUTTON_DISABLED = 3,
};

enum EGuiButtonPiece : uint32_t {
    GUI_PIECE_LEFT = 0,
    GUI_PIECE_RIGHT = 1,
    GUI_PIECE_CENTRE = 2,
};

class CGuiButton : public CGuiTextControl {
public:
    CGuiButton(float width, float height);
    ~CGuiButton() override;

    void SetSize(float newWidth, float newHeight) override;
    void SetVisualState(uint8_t state) override;
    void SetProperty(uint32_t index, const CGeValue& value, bool refresh) override;
    bool GetProperty(uint32_t index, CGeWString& text) override;
    void Refresh() override;
    void UpdateFrame() override;
    void UpdateFade() override;
    void OnEvent(uint32_t code) override;
    void DrawContent() override;
    void DrawContentAgain() override;
    void LayoutText() override;

    void SetState(uint32_t newState);
    void ShowStateSprites();
    void DrawStateSprites();
    void SetSpritesColor(uint32_t argb);
    void Track();

    CGmSprite* sprites[3][4] = {};  // [piece][state]
    CGeString pictureNames[3][4];
    uint32_t state = GUI_BUTTON_NORMAL;
    float textBias[2] = {1.0f, 1.0f};
    uint8_t centerTiled = 0;
    uint32_t blendMode = 5;
    float stateFadeTimer = 0.0f;
    uint8_t pressStarted = 0;

private:
    void SetPicture(uint32_t piece, uint32_t pictureState, const CGeString& schemaName);
    void LayoutPictures();
    bool PointerInActiveArea();
};
