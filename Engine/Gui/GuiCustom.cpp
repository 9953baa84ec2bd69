#include "Engine/Gui/GuiCustom.h"

#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"
#include "Engine/Gui/GuiFrameLink.h"
#include "Engine/Gui/GuiProperties.h"
#include "Engine/Gui/GuiValues.h"

#include <algorithm>

CGeRect GuiCameraClipRect()
{
    CGmCamera* camera = CGeHub::s_cameras2d[CGeHub::s_currentSlot];
    if (!camera)
        return {0.0f, 0.0f, 0.0f, 0.0f};
    float* r = camera->clipRect;
    if (r[0] == 0.0f && r[1] == 0.0f && r[2] == 0.0f && r[3] == 0.0f) {
        // In the view's units, as every clip rectangle of the 2D camera.
        r[2] = camera->boundWidth;
        r[3] = camera->boundHeight;
    }
    return {r[0], r[1], r[2], r[3]};
}

CGuiCustom::CGuiCustom(float w, float h) : CGuiControl(w, h)
{
    typeId = (GUI_CONTROL_CATEGORY << 16) | EGCT_CUSTOM;
    clientSize[0] = w;
    clientSize[1] = h;
    cursorType = 11;
}

CGuiCustom::~CGuiCustom()
{
    DetachVisual();
}

void CGuiCustom::SetSize(float newWidth, float newHeight)
{
    CGuiControl::SetSize(newWidth, newHeight);
    UpdateClientRect();
}

void CGuiCustom::SetProperty(uint32_t index, const CGeValue& value, bool refresh)
{
    CGuiControl::SetProperty(index, value, refresh);
    if (index == EP_ClipInner)
        clipInner = GuiValueBool(value);
}

bool CGuiCustom::GetProperty(uint32_t index, CGeWString& text)
{
    if (index != EP_ClipInner)
        return CGuiControl::GetProperty(index, text);
    text = PropertyValueToText(GuiMakeBool(clipInner), index);
    return true;
}

void CGuiCustom::UpdateFrame()
{
    CGuiControl::UpdateFrame();
    if (attached)
        attached->Update();
}

void CGuiCustom::OnEvent(uint32_t code)
{
    CGuiControl::OnEvent(code);
    if (code == GUI_EV_FRAME_CHANGED)
        UpdateClientRect();
}

void CGuiCustom::AttachVisual(CGmVisualObject* visual)
{
    DetachVisual();
    if (!visual)
        return;
    attached = visual;
    frame.AddChild(&visual->frame);
    RebuildMatrices();
    visual->frame.UpdateWorldMatrix();
    UpdateClientRect();
}

void CGuiCustom::DetachVisual()
{
    if (!attached)
        return;
    CGeFrame3D::DetachChild(&attached->frame, &frame);
    attached->frame.Invalidate();
    attached->frame.UpdateWorldMatrix();
    attached = nullptr;
}

void CGuiCustom::UpdateClientRect()
{
    const GuiFrameInsets in = GuiFrameGetInsets(boundFrame);
    clientOrigin[0] = in.left;
    clientOrigin[1] = in.top;
    clientSize[0] = width - in.left - in.right;
    clientSize[1] = height - in.top - in.bottom;
}

void CGuiCustom::DrawVisual()
{
    CGmCamera* camera = clipInner ? CGeHub::s_cameras2d[CGeHub::s_currentSlot] : nullptr;
    bool hadClip = false;
    CGeRect outer = {0.0f, 0.0f, 0.0f, 0.0f};
    if (camera) {
        if (camera->locked) {
            hadClip = true;
            camera->locked = 0;
            outer = GuiCameraClipRect();
        }
        RebuildMatrices();
        // The screen bounds of the client area's four corners: a turned or
        // zoomed control clips to where its content is drawn, not to an
        // upright rectangle hung from its first corner.
        const float xs[2] = {clientOrigin[0], clientOrigin[0] + clientSize[0]};
        const float ys[2] = {clientOrigin[1], clientOrigin[1] + clientSize[1]};
        Vec2 low = TransformPoint2D(*this, xs[0], ys[0]), high = low;
        for (float x : xs)
            for (float y : ys) {
                const Vec2 p = TransformPoint2D(*this, x, y);
                low = {std::min(low.x, p.x), std::min(low.y, p.y)};
                high = {std::max(high.x, p.x), std::max(high.y, p.y)};
            }
        CGeRect c = {low.x, low.y, high.x - low.x, high.y - low.y};
        if (hadClip)
            c = CGeRect::Intersect(c, outer);
        const float rect[4] = {c.x, c.y, c.width, c.height};
        camera->SetClipRect(rect);
        camera->locked = 1;
    }
    if (attached)
        attached->Render();
    if (camera) {
        camera->locked = 0;
        if (hadClip) {
            const float rect[4] = {outer.x, outer.y, outer.width, outer.height};
            camera->SetClipRect(rect);
            camera->locked = 1;
        }
    }
}
