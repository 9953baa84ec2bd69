// The custom control: hosts one outside drawable (a picture, a 3D view, a
// game board) inside its client area, which the GUI places, clips and draws
// like any control. The hosted visual is not owned: detaching it or
// destroying the control leaves it alive.
//
// With clip inner on (the default) the visual is drawn through the 2D
// camera's clip set to the client area (its screen bounds when the control is
// turned or zoomed), intersected with any clip already in force, which is
// restored afterwards.
#pragma once

#include "Engine/Gui/GuiControl.h"

class CGuiCustom : public CGuiControl {
public:
    CGuiCustom(float width, float height);
    ~CGuiCustom() override;

    void SetSize(float newWidth, float newHeight) override;
    void SetProperty(uint32_t index, const CGeValue& value, bool refresh) override;
    bool GetProperty(uint32_t index, CGeWString& text) override;
    void UpdateFrame() override;
    void OnEvent(uint32_t code) override;
    void DrawContent() override { DrawVisual(); }
    void DrawContentAgain() override { DrawVisual(); }

    void AttachVisual(CGmVisualObject* visual);
    void DetachVisual();
    void UpdateClientRect();
    void DrawVisual();

    float clientOrigin[2] = {0.0f, 0.0f};
    float clientSize[2] = {0.0f, 0.0f};
    CGmVisualObject* attached = nullptr;
    uint8_t clipInner = 1;
};

// The 2D camera's clip rectangle in force; all zeros stand for the whole
// view, which is written back.
CGeRect GuiCameraClipRect();
