// The control base: life, properties, geometry, children, frames and events.
// Drawing, hit tests and input are in GuiControlInput.cpp, tab order in
// GuiTabOrder.cpp.
#include "Engine/Gui/GuiControl.h"

#include "Engine/Core/Common/CiDispatcher.h"
#include "Engine/Gui/GeMouse.h"
#include "Engine/Gui/GuiControlSet.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiManager.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiValues.h"

#include <cmath>

namespace {

// Rebuilds a node's world matrix from the root down, so that a moved
// ancestor is seen even when the node itself was not marked.
void RefreshWorld(CGeFrame3D& node)
{
    if (node.parent)
        RefreshWorld(*node.parent);
    node.UpdateWorldMatrix();
}

CGeWString Text(const CGeValue& value, uint32_t index)
{
    return PropertyValueToText(value, index);
}

} // namespace

// ---------------------------------------------------------------------------
// Life.

CGuiControl::CGuiControl(float w, float h) : width(w), height(h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_CONTROL;
    // Only to post: no dispatcher row (the factory hands the dispatcher over).
    if (dispatcher) {
        dispatcher->UnregisterClient(this);
        dispatcher = nullptr;
    }
    placement.AddChild(&frame);
    frame.SetPosition({0.0f, 0.0f, 0.0f});
    RebuildMatrices();
}

CGuiControl::~CGuiControl()
{
    // A control that dies in its set stops being the set's focus, capture
    // and member, and no relative keeps a link to it.
    if (ownerSet)
        ownerSet->Forget(this);
    if (parent) {
        if (auto* node = parent->children.Find(parent->children.head, parent->children.tail, this))
            parent->children.Remove(node);
        if (auto* entry = parent->childrenByName.Find(name))
            if (entry->value == this)
                parent->childrenByName.Erase(entry);
        parent = nullptr;
    }
    for (auto* node = children.head; node; node = node->next)
        node->value->parent = nullptr;
    CGeFrame3D::DetachChild(&frame, &placement);
    if (dispatcher)
        dispatcher->PurgeClient(this);
    GuiFrameDelete(boundFrame);
    GuiFrameDelete(hoverFrame);
    boundFrame = hoverFrame = nullptr;
    delete pendingParent;
    pendingParent = nullptr;
    listeners.Destroy();
    childrenByName.Destroy();
    children.Destroy();
}

void CGuiControl::RebuildMatrices()
{
    RefreshWorld(placement);
    frame.UpdateWorldMatrix();
}

CGuiManager* CGuiControl::Manager() const
{
    return ownerSet ? ownerSet->owner : nullptr;
}

// ---------------------------------------------------------------------------
// Geometry.

void CGuiControl::SetPosition(float x, float y)
{
    const Vec3& p = placement.position;
    if (std::fabs(x - p.x) <= 0.1f && std::fabs(y - p.y) <= 0.1f && std::fabs(p.z) <= 0.1f)
        return;
    placement.SetPosition({x, y, 0.0f});
    RebuildMatrices();
    PostEventToListeners(GUI_EV_POSITION_CHANGED);
}

void CGuiControl::PlaceAt(float x, float y)
{
    placement.SetPosition({x, y, 0.0f});
    RebuildMatrices();
}

void CGuiControl::SetSize(float newWidth, float newHeight)
{
    const float dw = newWidth - width;
    const float dh = newHeight - height;
    if (dw == 0.0f && dh == 0.0f)
        return;
    const float oldWidth = width;
    const float oldHeight = height;
    width = newWidth;
    height = newHeight;
    GuiFrameSetSize(boundFrame, width, height);
    GuiFrameSetSize(hoverFrame, width, height);

    for (auto* node = children.head; node; node = node->next) {
        CGuiControl* child = node->value;
        const bool l = child->anchors[0], t = child->anchors[1], r = child->anchors[2], b = child->anchors[3];
        if (l && t && !r && !b)
            continue;
        float cx = child->X(), cy = child->Y(), cw = child->width, ch = child->height;
        if (l && r)
            cw += dw;
        else if (r)
            cx += dw;
        else if (!l && oldWidth != 0.0f) {
            // Proportional; an old extent of 0 leaves the axis alone.
            const float f = 1.0f + dw / oldWidth;
            cx *= f;
            cw *= f;
        }
        if (t && b)
            ch += dh;
        else if (b)
            cy += dh;
        else if (!t && oldHeight != 0.0f) {
            const float f = 1.0f + dh / oldHeight;
            cy *= f;
            ch *= f;
        }
        if (cw != child->width || ch != child->height || (!t && !b && dh != 0.0f))
            child->SetSize(cw, ch);
        if (cx != child->X() || cy != child->Y())
            child->SetPosition(cx, cy);
    }
    PostEventToListeners(GUI_EV_SIZE_CHANGED);
}

void CGuiControl::SetPivot(float x, float y, float z)
{
    pivot[0] = x;
    pivot[1] = y;
    pivot[2] = z;
    frame.SetPosition({-x, -y, -z});
    RebuildMatrices();
}

CGeRect CGuiControl::GetRect()
{
    const Vec2 origin = ScreenOrigin();
    return {origin.x, origin.y, width, height};
}

Vec2 CGuiControl::ScreenOrigin() const
{
    RefreshWorld(const_cast<CGeFrame3D&>(frame));
    return TransformPoint2D(*this, 0.0f, 0.0f);
}

bool CGuiControl::ScreenToLocal(float x, float y, float* lx, float* ly) const
{
    RefreshWorld(const_cast<CGeFrame3D&>(frame));
    Matrix4 inverse;
    if (!MatrixInverse(frame.world, inverse))
        return false;
    *lx = inverse.m[0] * x + inverse.m[1] * y + inverse.m[3];
    *ly = inverse.m[4] * x + inverse.m[5] * y + inverse.m[7];
    return true;
}

// ---------------------------------------------------------------------------
// Visual state and frames.

void CGuiControl::SetVisualState(uint8_t state)
{
    enabledState = state;
    if (!boundFrame)
        return;
    if (state == 0)
        GuiFrameSetColor(boundFrame, disabledColor);
    else
        RestoreFrameColors();
}

void CGuiControl::RestoreFrameColors()
{
    CGuiManager* manager = Manager();
    uint32_t bg = 0;
    if (!boundFrame || !manager || !GuiFrameSetBgColor(&manager->frameSets, boundFrameSetName, &bg))
        return;
    GuiFrameSetColor(boundFrame, 0xFFFFFFFF);
    GuiFrameSetBgColor(boundFrame, bg);
}

void CGuiControl::ReplaceFrame(CGuiBoundFrame** slot, CGeString* storedName, const CGeString& setName, bool hover)
{
    CGuiManager* manager = Manager();
    const GuiFrameSetTable* table = manager ? &manager->frameSets : nullptr;
    if (setName.IsEmpty() || !GuiFrameSetExists(table, setName)) {
        GuiFrameDelete(*slot);
        *slot = nullptr;
        *storedName = CGeString();
    } else {
        *slot = GuiFrameCreate(*slot, table, setName, &frame, width, height);
        *storedName = setName;
        if (hover && *slot) {
            GuiFrameSetVisible(*slot, 0);
            GuiFrameSetAlpha(*slot, 0);
        }
    }
    if (!hover)
        PostEvent(GUI_EV_FRAME_CHANGED);
}

void CGuiControl::CreateBoundFrame(const CGeString& setName)
{
    ReplaceFrame(&boundFrame, &boundFrameSetName, setName, false);
}

void CGuiControl::CreateHoverFrame(const CGeString& setName)
{
    ReplaceFrame(&hoverFrame, &hoverFrameSetName, setName, true);
}

void CGuiControl::UpdateFrame()
{
    GuiFrameUpdate(boundFrame);
    GuiFrameUpdate(hoverFrame);
}

// ---------------------------------------------------------------------------
// Events.

void CGuiControl::PostEvent(uint32_t code)
{
    PostMessage(code);
    OnEvent(code);
}

void CGuiControl::NotifyListeners(uint32_t code)
{
    // A listener may add or clear listeners: walk a snapshot.
    const uint32_t n = listeners.count;
    if (n == 0)
        return;
    GuiListener local[8];
    GuiListener* entries = n <= 8 ? local : new GuiListener[n];
    uint32_t i = 0;
    for (auto* node = listeners.head; node && i < n; node = node->next)
        entries[i++] = node->value;
    for (uint32_t k = 0; k < i; ++k)
        if (entries[k].object && entries[k].callback)
            entries[k].callback(entries[k].object, this, code);
    if (entries != local)
        delete[] entries;
}

void CGuiControl::PostEventToListeners(uint32_t code)
{
    PostMessage(code);
    NotifyListeners(code);
}

void CGuiControl::FireEvent(uint32_t code)
{
    PostMessage(code);
    OnEvent(code);
    NotifyListeners(code);
}

void CGuiControl::AddListener(void* object, GuiListenerCallback callback)
{
    listeners.PushBack({object, callback});
}

void CGuiControl::ClearListeners()
{
    listeners.Destroy();
}

void CGuiControl::OnEvent(uint32_t code)
{
    switch (code) {
    case GUI_EV_FOCUS_GAINED:
        if (boundFrame)
            GuiFrameSetColor(boundFrame, focusedColor);
        break;
    case GUI_EV_FOCUS_LOST: RestoreFrameColors(); break;
    case GUI_EV_PRESS: {
        // Start a manual move or resize.
        const float px = lastLocalPointer[0], py = lastLocalPointer[1];
        const bool inner = InInnerRect(px, py);
        if (manuallyMovable && (!manuallySizeable || inner))
            moving = 1;
        if (manuallySizeable && !inner) {
            const bool top = py < sizingArea[1], bottom = py >= height - sizingArea[3];
            const bool left = px < sizingArea[0], right = px >= width - sizingArea[2];
            int32_t edge = 0;
            if (top && left)
                edge = 5;
            else if (bottom && left)
                edge = 7;
            else if (top && right)
                edge = 6;
            else if (bottom && right)
                edge = 8;
            else if (top)
                edge = 1;
            else if (bottom)
                edge = 2;
            else if (left)
                edge = 3;
            else if (right)
                edge = 4;
            sizingEdge = edge;
            if (edge)
                sizing = 1;
        }
        if ((moving || sizing) && ownerSet) {
            const CGeMouseState* mouse = Manager() ? Manager()->mouse : nullptr;
            dragAnchor[0] = mouse ? mouse->x : 0.0f;
            dragAnchor[1] = mouse ? mouse->y : 0.0f;
            ownerSet->capture = this;
        }
        break;
    }
    case GUI_EV_RELEASE: EndManipulation(); break;
    default: break;
    }
}

// ---------------------------------------------------------------------------
// Children.

void CGuiControl::AddChild(CGuiControl* child)
{
    if (!child || child->parent == this)
        return;
    if (ownerSet && child->ownerSet != ownerSet)
        ownerSet->AddControl(child);
    if (child->parent)
        child->parent->RemoveChild(child);
    frame.AddChild(&child->placement);
    RebuildMatrices();
    child->RebuildMatrices();
    children.PushBack(child);
    childrenByName[child->name] = child;
    child->parent = this;
}

void CGuiControl::RemoveChild(CGuiControl* child)
{
    if (!child)
        return;
    auto* node = children.Find(children.head, children.tail, child);
    if (!node)
        return;
    child->parent = nullptr;
    children.Remove(node);
    if (auto* entry = childrenByName.Find(child->name))
        if (entry->value == child)
            childrenByName.Erase(entry);
    CGeFrame3D::DetachChild(&child->placement, &frame);
    child->placement.Invalidate();
    RebuildMatrices();
    child->RebuildMatrices();
}

void CGuiControl::SetParent(CGuiControl* newParent)
{
    if (newParent == parent)
        return;
    CGuiControl* former = parent;
    if (former)
        former->RemoveChild(this);
    if (newParent) {
        newParent->AddChild(this);
        return;
    }
    if (former && former->parent)
        former->parent->AddChild(this);
}

void CGuiControl::SetName(const CGeString& newName)
{
    if (ownerSet && !ownerSet->RenameControl(name, newName))
        return;
    if (parent) {
        if (auto* entry = parent->childrenByName.Find(name))
            if (entry->value == this)
                parent->childrenByName.Erase(entry);
        parent->childrenByName[newName] = this;
    }
    name = newName;
}

namespace {

template <typename List, typename T>
void MoveInList(List& list, const T& value, bool toFront)
{
    auto* node = list.Find(list.head, list.tail, value);
    if (!node)
        return;
    list.Remove(node);
    if (!toFront) {
        list.PushBack(value);
        return;
    }
    // Push at the front: append, then relink the new tail before the head.
    auto* added = list.PushBack(value);
    if (list.head == added)
        return;
    list.tail = added->prev;
    list.tail->next = nullptr;
    added->prev = nullptr;
    added->next = list.head;
    list.head->prev = added;
    list.head = added;
}

} // namespace

void CGuiControl::BringToFront()
{
    if (parent)
        MoveInList(parent->children, this, false);
    else if (ownerSet)
        MoveInList(ownerSet->controls, this, false);
}

void CGuiControl::SendToBack()
{
    if (parent)
        MoveInList(parent->children, this, true);
    else if (ownerSet)
        MoveInList(ownerSet->controls, this, true);
}

bool CGuiControl::IsFocused() const
{
    return ownerSet && ownerSet->focused == this;
}

void CGuiControl::SetStateRecursive(uint8_t state)
{
    for (auto* node = children.head; node; node = node->next) {
        CGuiControl* child = node->value;
        if (!child->internalPart)
            child->SetVisualState(state);
        child->SetStateRecursive(state);
    }
}

bool CGuiControl::HasActiveArea() const
{
    return activeArea[0] || activeArea[1] || activeArea[2] || activeArea[3];
}

// ---------------------------------------------------------------------------
// Properties.

void CGuiControl::SetProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    switch (index) {
    case EP_DisabledColor:
        disabledColor = GuiValueUInt(value);
        SetVisualState(enabledState);
        break;
    case EP_FocusedColor:
        focusedColor = GuiValueUInt(value);
        if (IsFocused() && boundFrame)
            GuiFrameSetColor(boundFrame, focusedColor);
        break;
    case EP_SizingAreaLeft: sizingArea[0] = GuiValueFloat(value); break;
    case EP_SizingAreaRight: sizingArea[2] = GuiValueFloat(value); break;
    case EP_SizingAreaTop: sizingArea[1] = GuiValueFloat(value); break;
    case EP_SizingAreaBottom: sizingArea[3] = GuiValueFloat(value); break;
    case EP_MinWidth: minWidth = GuiValueFloat(value); break;
    case EP_MinHeight: minHeight = GuiValueFloat(value); break;
    case EP_MaxWidth: maxWidth = GuiValueFloat(value); break;
    case EP_MaxHeight: maxHeight = GuiValueFloat(value); break;
    case EP_ManuallyMovable: manuallyMovable = GuiValueBool(value); break;
    case EP_ManuallySizeable: manuallySizeable = GuiValueBool(value); break;
    case EP_TransparentForManipulator: transparentForManipulator = GuiValueBool(value); break;
    case EP_BoundFrameSet: CreateBoundFrame(GuiValueString(value)); break;
    case EP_BoundFrameSetHover: CreateHoverFrame(GuiValueString(value)); break;
    case EP_OwnerSet:
        if (ownerSet && Manager())
            if (CGuiControlSet* set = Manager()->FindControlSet(GuiValueString(value)))
                set->AddControl(this);
        break;
    case EP_Parent:
        if (ownerSet) {
            const CGeString parentName = GuiValueString(value);
            SetParent(parentName.IsEmpty() ? nullptr : ownerSet->FindControl(parentName));
        }
        break;
    case EP_Name: {
        const CGeString newName = GuiValueString(value);
        if (newName != name)
            SetName(newName);
        break;
    }
    case EP_Visible: visible = GuiValueBool(value); break;
    case EP_BoundFrameVisible: boundFrameVisible = GuiValueBool(value); break;
    case EP_Enable: SetVisualState(GuiValueBool(value)); break;
    case EP_X: SetPosition(GuiValueFloat(value), Y()); break;
    case EP_Y: SetPosition(X(), GuiValueFloat(value)); break;
    case EP_W: SetSize(GuiValueFloat(value), height); break;
    case EP_H: SetSize(width, GuiValueFloat(value)); break;
    case EP_ActiveAreaOffsetLeft: activeArea[0] = GuiValueUInt(value); break;
    case EP_ActiveAreaOffsetTop: activeArea[1] = GuiValueUInt(value); break;
    case EP_ActiveAreaOffsetRight: activeArea[2] = GuiValueUInt(value); break;
    case EP_ActiveAreaOffsetBottom: activeArea[3] = GuiValueUInt(value); break;
    case EP_TabStop: tabStop = GuiValueBool(value); break;
    case EP_TabOrder: tabOrder = GuiValueInt(value); break;
    case EP_LeftAnchor: anchors[0] = GuiValueBool(value); break;
    case EP_TopAnchor: anchors[1] = GuiValueBool(value); break;
    case EP_RightAnchor: anchors[2] = GuiValueBool(value); break;
    case EP_BottomAnchor: anchors[3] = GuiValueBool(value); break;
    case EP_CursorType: cursorType = GuiValueInt(value); break;
    case EP_Clipping: clipping = GuiValueBool(value); break;
    case EP_ClippingMinDepth: clippingDepth = GuiValueInt(value); break;
    case EP_ZoomX:
    case EP_ZoomY: {
        Vec3 s = placement.scale;
        (index == EP_ZoomX ? s.x : s.y) = GuiValueFloat(value);
        placement.SetScale(s);
        RebuildMatrices();
        break;
    }
    case EP_Rotate:
        placement.SetAngles({0.0f, 0.0f, GuiValueFloat(value) * (3.14159265358979f / 180.0f)});
        RebuildMatrices();
        break;
    case EP_PivotX: SetPivot(GuiValueFloat(value), pivot[1], 0.0f); break;
    case EP_PivotY: SetPivot(pivot[0], GuiValueFloat(value), 0.0f); break;
    default: break;
    }
    if (refresh)
        Refresh();
}

bool CGuiControl::GetProperty(uint32_t index, CGeWString& text)
{
    text = CGeWString();
    switch (index) {
    case EP_DisabledColor: text = Text(GuiMakeUInt(disabledColor), index); break;
    case EP_FocusedColor: text = Text(GuiMakeUInt(focusedColor), index); break;
    case EP_SizingAreaLeft: text = Text(GuiMakeFloat(sizingArea[0]), index); break;
    case EP_SizingAreaRight: text = Text(GuiMakeFloat(sizingArea[2]), index); break;
    case EP_SizingAreaTop: text = Text(GuiMakeFloat(sizingArea[1]), index); break;
    case EP_SizingAreaBottom: text = Text(GuiMakeFloat(sizingArea[3]), index); break;
    case EP_MinWidth: text = Text(GuiMakeFloat(minWidth), index); break;
    case EP_MinHeight: text = Text(GuiMakeFloat(minHeight), index); break;
    case EP_MaxWidth: text = Text(GuiMakeFloat(maxWidth), index); break;
    case EP_MaxHeight: text = Text(GuiMakeFloat(maxHeight), index); break;
    case EP_Type: text = Text(CGeValue(EgctToName(ControlType())), index); break;
    case EP_ManuallyMovable: text = Text(GuiMakeBool(manuallyMovable), index); break;
    case EP_ManuallySizeable: text = Text(GuiMakeBool(manuallySizeable), index); break;
    case EP_TransparentForManipulator: text = Text(GuiMakeBool(transparentForManipulator), index); break;
    case EP_BoundFrameSet: text = Text(CGeValue(boundFrameSetName), index); break;
    case EP_BoundFrameSetHover: text = Text(CGeValue(hoverFrameSetName), index); break;
    case EP_OwnerSet: text = Text(CGeValue(ownerSet ? ownerSet->name : CGeString()), index); break;
    case EP_Parent: text = Text(CGeValue(parent ? parent->name : CGeString()), index); break;
    case EP_Children: {
        CGeString names;
        for (auto* node = children.head; node; node = node->next) {
            names.Append(node->value->name.c_str());
            if (node->next)
                names.Append("\n");
        }
        text = Text(CGeValue(names), index);
        break;
    }
    case EP_Name: text = Text(CGeValue(name), index); break;
    case EP_Visible: text = Text(GuiMakeBool(visible), index); break;
    case EP_BoundFrameVisible: text = Text(GuiMakeBool(boundFrameVisible), index); break;
    case EP_Enable: text = Text(GuiMakeBool(enabledState), index); break;
    case EP_X: text = Text(GuiMakeFloat(X()), index); break;
    case EP_Y: text = Text(GuiMakeFloat(Y()), index); break;
    case EP_W: text = Text(GuiMakeFloat(width), index); break;
    case EP_H: text = Text(GuiMakeFloat(height), index); break;
    case EP_ActiveAreaOffsetLeft: text = Text(GuiMakeUInt(activeArea[0]), index); break;
    case EP_ActiveAreaOffsetTop: text = Text(GuiMakeUInt(activeArea[1]), index); break;
    case EP_ActiveAreaOffsetRight: text = Text(GuiMakeUInt(activeArea[2]), index); break;
    case EP_ActiveAreaOffsetBottom: text = Text(GuiMakeUInt(activeArea[3]), index); break;
    case EP_TabStop: text = Text(GuiMakeBool(tabStop), index); break;
    case EP_TabOrder: text = Text(GuiMakeInt(tabOrder), index); break;
    case EP_LeftAnchor: text = Text(GuiMakeBool(anchors[0]), index); break;
    case EP_TopAnchor: text = Text(GuiMakeBool(anchors[1]), index); break;
    case EP_RightAnchor: text = Text(GuiMakeBool(anchors[2]), index); break;
    case EP_BottomAnchor: text = Text(GuiMakeBool(anchors[3]), index); break;
    case EP_CursorType: text = Text(GuiMakeUInt((uint32_t)cursorType), index); break;
    case EP_Clipping: text = Text(GuiMakeBool(clipping), index); break;
    case EP_ClippingMinDepth: text = Text(GuiMakeInt(clippingDepth), index); break;
    case EP_ZoomX: text = Text(GuiMakeFloat(placement.scale.x), index); break;
    case EP_ZoomY: text = Text(GuiMakeFloat(placement.scale.y), index); break;
    case EP_Rotate: text = Text(GuiMakeFloat((float)(placement.angles.z * 57.295780181884766)), index); break;
    case EP_PivotX: text = Text(GuiMakeFloat(pivot[0]), index); break;
    case EP_PivotY: text = Text(GuiMakeFloat(pivot[1]), index); break;
    default: return false;
    }
    return true;
}

bool RectDiffers(const CGeRect& a, const CGeRect& b)
{
    return !(a.x == b.x) || !(a.y == b.y) || !(a.width == b.width) || !(a.height == b.height);
}
