// The scroll area: a plain container whose children move together by a
// scroll offset. It keeps the bounding box of its children (the content box,
// never smaller than its own inner area, zoom counted), follows their resizes
// and moves through a listener it hangs on every child it adopts, and reports
// a changed corner (event 38) and size (event 39) to the dispatcher and its
// listeners. The offset seen from outside is the content box's corner
// negated; scrolling writes the children's positions straight (no move
// events) and keeps the corner within what the content allows. An area
// without children never moves nor reports.
//
// Listener records are appended without looking for duplicates and removed
// first match first; their cells come back from the list's block pool. A
// control that already is a child gets no second record: the area removes
// one record when the child leaves, and a second would outlive the area.
//
// EP_ScrollAreaChildren names controls of the set (one name a line) that
// become the area's children; a name not yet in the set is tried again at
// the next refresh, so that a layout may list controls it makes later.
#pragma once

#include "Engine/Core/Common/GeArray.h"
#include "Engine/Gui/GuiControl.h"

class CGuiScrollArea : public CGuiControl {
public:
    CGuiScrollArea(float width, float height);
    ~CGuiScrollArea() override;

    void SetProperty(uint32_t index, const CGeValue& value, bool refresh) override;
    bool GetProperty(uint32_t index, CGeWString& text) override;
    void Refresh() override;
    void OnEvent(uint32_t code) override;
    void AddChild(CGuiControl* child) override;
    void RemoveChild(CGuiControl* child) override;

    void UpdateExtent();
    void SetScrollOffset(float x, float y);
    // The child listener: a resized or moved child updates the content box.
    static void ChildListener(void* object, CGuiControl* child, uint32_t code);

    float contentLeft = 0.0f;
    float contentTop = 0.0f;
    float contentWidth = 0.0f;
    float contentHeight = 0.0f;
    CGeArray<CGeString> pendingChildren;

private:
    void AdoptPending();
};
