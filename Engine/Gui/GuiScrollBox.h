// The scroll box: a scroll area holding the scrolled content, a horizontal
// bar along its bottom and a vertical bar along its right side, laid out
// inside the box's bound frame. The bars' ranges follow the area's content
// box; a bar moved by the user, the wheel over any part and the arrow keys
// scroll the area (in whole pixels from the bars and the wheel); the bars'
// look and the clipping pass on to the parts. The three parts are controls
// of the box's set named by its name and a fixed suffix; the box draws the
// area's children, then the vertical and the horizontal bar.
//
// Keys: Left raises the horizontal offset and Right lowers it, Up raises the
// vertical offset and Down lowers it, by the bar's small change (big change
// with Shift); releasing an arrow key brings the bars back into step.
// Properties the box does not route are ignored, even the base's background.
//
// A part whose name is already taken in the set is not made; the layout then
// does nothing and every step skips the missing part.
#pragma once

#include "Engine/Gui/GuiControl.h"

class CGuiScrollArea;
class CGuiScrollBar;

class CGuiScrollBox : public CGuiControl {
public:
    CGuiScrollBox(float width, float height);
    ~CGuiScrollBox() override;

    void SetSize(float newWidth, float newHeight) override;
    void SetVisualState(uint8_t state) override;
    void SetProperty(uint32_t index, const CGeValue& value, bool refresh) override;
    bool GetProperty(uint32_t index, CGeWString& text) override;
    void Refresh() override;
    void CreateChildren() override;
    void OnEvent(uint32_t code) override;
    void DrawContent() override;
    void DrawContentAgain() override;
    virtual void Layout();
    virtual void OnChildEvent(CGuiControl* child, uint32_t code);

    void SyncScrollBars();

    CGuiScrollBar* horzBar = nullptr;
    CGuiScrollBar* vertBar = nullptr;
    CGuiScrollArea* area = nullptr;
    float horzBarWidth = 0.0f;
    float vertBarWidth = 0.0f;
    int32_t autosize = 0;

private:
    // The area's offset, (-content left, -content top).
    Vec2 Offset() const;
    static void ChildListener(void* object, CGuiControl* child, uint32_t code);
};

extern const char* const kGuiScrollAreaSuffix;
