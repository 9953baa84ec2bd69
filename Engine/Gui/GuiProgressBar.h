// The progress bar: a value within [minimum, maximum] shown as one picture
// that fills the client area from the left in proportion to the value,
// stretched, tiled (repeated horizontally at its texture's pixel width) or
// clipped (kept at the full width with only its left part showing). It takes
// no input; mini-games move it through SetValue.
//
// The property setters keep minimum <= value <= maximum whatever order they
// come in: EP_MinPos never rises above the value, EP_MaxPos never falls
// below it, EP_CurPos is clamped. None of them lays the bar out; Refresh, a
// size change or a new bound frame does.
//
// Choice: a range whose maximum equals its minimum shows the fraction 0 (an
// empty bar).
#pragma once

#include "Engine/Gui/GuiControl.h"

class CGmSprite;

class CGuiProgressBar : public CGuiControl {
public:
    CGuiProgressBar(float width, float height);
    ~CGuiProgressBar() override;

    void SetSize(float newWidth, float newHeight) override;
    void SetVisualState(uint8_t state) override;
    void SetProperty(uint32_t index, const CGeValue& value, bool refresh) override;
    bool GetProperty(uint32_t index, CGeWString& text) override;
    void Refresh() override;
    void UpdateFrame() override;
    void OnEvent(uint32_t code) override;
    void DrawContent() override;
    void DrawContentAgain() override;

    void SetValue(float v);
    void Recalc();
    // (value - minimum) / (maximum - minimum); 0 for an empty range.
    float Fraction() const;

    float value = 0.0f;
    float maximum = 1.0f;
    float minimum = 0.0f;
    CGmSprite* sprite = nullptr;
    CGeString pictureName;
    uint32_t blendMode = 5;
    uint8_t tiled = 0;
    uint8_t clipped = 0;
};
