#include "Engine/Gui/GuiScrollArea.h"

#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiValues.h"

#include <cmath>
#include <string>

CGuiScrollArea::CGuiScrollArea(float w, float h) : CGuiControl(w, h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_SCROLLAREA;
}

CGuiScrollArea::~CGuiScrollArea()
{
    // The children stay in the set and stop calling back.
    const GuiListener mine = {static_cast<void*>(this), &CGuiScrollArea::ChildListener};
    for (auto* node = children.head; node; node = node->next) {
        CGePoolList<GuiListener>& list = node->value->listeners;
        while (auto* record = list.Find(list.head, list.tail, mine))
            list.Remove(record);
    }
}

void CGuiScrollArea::ChildListener(void* object, CGuiControl*, uint32_t code)
{
    if (code == GUI_EV_SIZE_CHANGED || code == GUI_EV_POSITION_CHANGED)
        static_cast<CGuiScrollArea*>(object)->UpdateExtent();
}

void CGuiScrollArea::AddChild(CGuiControl* child)
{
    if (!child || child->parent == this)
        return;
    CGuiControl::AddChild(child);
    if (child != this && child->parent == this)
        child->AddListener(static_cast<void*>(this), &CGuiScrollArea::ChildListener);
}

void CGuiScrollArea::RemoveChild(CGuiControl* child)
{
    if (!child)
        return;
    const GuiListener mine = {static_cast<void*>(this), &CGuiScrollArea::ChildListener};
    if (auto* record = child->listeners.Find(child->listeners.head, child->listeners.tail, mine))
        child->listeners.Remove(record);
    CGuiControl::RemoveChild(child);
}

void CGuiScrollArea::UpdateExtent()
{
    const float oldLeft = contentLeft, oldTop = contentTop;
    const float oldWidth = contentWidth, oldHeight = contentHeight;
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    float left = in.left, top = in.top;
    float right = width - in.left - in.right, bottom = height - in.top - in.bottom;
    for (auto* node = children.head; node; node = node->next) {
        const CGuiControl* child = node->value;
        left = std::fmin(left, child->X());
        top = std::fmin(top, child->Y());
        right = std::fmax(right, child->X() + child->width * child->placement.scale.x);
        bottom = std::fmax(bottom, child->Y() + child->height * child->placement.scale.y);
    }
    contentLeft = left;
    contentTop = top;
    contentWidth = right - left;
    contentHeight = bottom - top;
    if (children.count == 0)
        return;
    if (contentLeft != oldLeft || contentTop != oldTop)
        PostEventToListeners(GUI_EV_CONTENT_MOVED);
    if (contentWidth != oldWidth || contentHeight != oldHeight)
        PostEventToListeners(GUI_EV_CONTENT_RESIZED);
}

void CGuiScrollArea::SetScrollOffset(float x, float y)
{
    float wantX = -x, wantY = -y;
    if (wantX == contentLeft && wantY == contentTop)
        return;
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    wantX = std::fmin(std::fmax(wantX, width - in.right - contentWidth), in.left);
    wantY = std::fmin(std::fmax(wantY, height - in.bottom - contentHeight), in.top);
    if ((wantX == contentLeft && wantY == contentTop) || children.count == 0)
        return;
    const float dx = wantX - contentLeft, dy = wantY - contentTop;
    for (auto* node = children.head; node; node = node->next) {
        CGuiControl* child = node->value;
        const Vec3 p = child->placement.position;
        child->placement.SetPosition({p.x + dx, p.y + dy, p.z});
        child->placement.UpdateWorldMatrix();
        child->frame.UpdateWorldMatrix();
    }
    contentLeft = wantX;
    contentTop = wantY;
    PostEventToListeners(GUI_EV_CONTENT_MOVED);
}

void CGuiScrollArea::AdoptPending()
{
    if (!ownerSet || pendingChildren.IsEmpty())
        return;
    CGeArray<CGeString> missing;
    for (const CGeString& childName : pendingChildren) {
        CGuiControl* child = ownerSet->FindControl(childName);
        if (!child)
            missing.Add(childName);
        else if (child != this && child->parent != this)
            child->SetParent(this);
    }
    pendingChildren = missing;
}

void CGuiScrollArea::Refresh()
{
    AdoptPending();
    UpdateExtent();
}

void CGuiScrollArea::OnEvent(uint32_t code)
{
    CGuiControl::OnEvent(code);
    if (code == GUI_EV_FRAME_CHANGED || code == GUI_EV_RESIZE_ENDED)
        UpdateExtent();
}

void CGuiScrollArea::SetProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    CGuiControl::SetProperty(index, value, false);
    switch (index) {
    case EP_ScrollOffsetX: SetScrollOffset(GuiValueFloat(value), -contentTop); break;
    case EP_ScrollOffsetY: SetScrollOffset(-contentLeft, GuiValueFloat(value)); break;
    case EP_ScrollAreaChildren: {
        // One name a line; empty lines name nothing.
        const CGeString names = GuiValueString(value);
        const char* s = names.c_str();
        for (uint32_t start = 0, i = 0; i <= names.Length(); ++i) {
            if (i < names.Length() && s[i] != '\n')
                continue;
            if (i > start)
                pendingChildren.Add(CGeString(std::string(s + start, i - start).c_str()));
            start = i + 1;
        }
        AdoptPending();
        break;
    }
    default: break;
    }
    if (refresh)
        Refresh();
}

bool CGuiScrollArea::GetProperty(uint32_t index, CGeWString& text)
{
    switch (index) {
    case EP_ScrollOffsetX: text = PropertyValueToText(GuiMakeFloat(-contentLeft), index); return true;
    case EP_ScrollOffsetY: text = PropertyValueToText(GuiMakeFloat(-contentTop), index); return true;
    default: return CGuiControl::GetProperty(index, text);
    }
}
