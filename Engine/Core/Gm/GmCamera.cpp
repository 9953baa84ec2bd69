#include "Engine/Core/Gm/GmCamera.h"

#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Gm/GLibLoc/D3d/GmDeviceWrapper.h"
#include "Engine/Core/Gm/GeHub.h"

#include <cmath>

namespace {

bool SameViewport(const GeViewport& a, const GeViewport& b)
{
    return a.X == b.X && a.Y == b.Y && a.Width == b.Width && a.Height == b.Height && a.MinZ == b.MinZ &&
           a.MaxZ == b.MaxZ;
}

constexpr float kPi = 3.14159265358979f;

}  // namespace

CGmCamera::CGmCamera()
{
    requestedViewport = {0, 0, 100, 100, 1.0f, 1000.0f};
    if (g_videoSettings) {
        screenWidth = g_videoSettings->width;
        screenHeight = g_videoSettings->height;
    }
}

void CGmCamera::SetViewportParams(const GeViewport& values)
{
    requestedViewport = values;
    SetViewport(CGeHub::GetViewportOverride());
}

void CGmCamera::SetViewport(const GeViewport* override)
{
    const GeViewport& wanted = override ? *override : requestedViewport;
    if (SameViewport(wanted, currentViewport))
        return;
    currentViewport = wanted;
    scaleX = screenWidth ? (float)currentViewport.Width / (float)screenWidth : 1.0f;
    scaleY = screenHeight ? (float)currentViewport.Height / (float)screenHeight : 1.0f;
    frame.localDirty = 1;
}

void CGmCamera::SetClipRect(const float* rect)
{
    if (locked)
        return;
    if (!rect) {
        clipRect[0] = 0.0f;
        clipRect[1] = 0.0f;
        clipRect[2] = (float)screenWidth;
        clipRect[3] = (float)screenHeight;
        return;
    }
    for (int i = 0; i < 4; ++i)
        clipRect[i] = rect[i];
}

void CGmCamera::Apply(const GeViewport& values)
{
    SetViewportParams(values);
    if (g_pGmDevice)
        g_pGmDevice->SetViewPort(currentViewport);
    // The device now shows the whole viewport: the next clip rectangle must
    // reach the device even when it equals the one applied before.
    appliedClipRect[2] = -1.0f;
}

void CGmCamera::UpdateViewportMatrix()
{
    const GeViewport& v = currentViewport;
    Matrix4 m = Matrix4::Identity();
    m.At(0, 0) = (float)v.Width * 0.5f;
    m.At(0, 3) = (float)(v.X + v.Width / 2);
    m.At(1, 1) = -(float)v.Height * 0.5f;
    m.At(1, 3) = (float)(v.Y + v.Height / 2);
    m.At(2, 2) = v.MaxZ - v.MinZ;
    m.At(2, 3) = v.MinZ;
    viewportMatrix = m;
}

void CGmCamera::UpdateView()
{
    Vec3 f = {target.x - eye.x, target.y - eye.y, target.z - eye.z};
    f.Normalize();
    up.Normalize();
    Vec3 s = Vec3::Cross(up, f);
    s.Normalize();
    const Vec3 u = Vec3::Cross(f, s);
    Matrix4 m = MatrixFromAxes(s, u, f);
    m.m[3] = eye.x;
    m.m[7] = eye.y;
    m.m[11] = eye.z;
    frame.SetMatrix(m);
}

void CGmCamera::UpdateProjection()
{
    const float c = 1.0f / std::tan(fov * 0.5f * kPi / 180.0f);
    const float aspect = screenHeight ? (float)screenWidth / (float)screenHeight : 1.0f;
    const float q = farPlane / (farPlane - nearPlane);
    Matrix4 p = {};
    p.At(0, 0) = c;
    p.At(1, 1) = c * aspect;
    p.At(2, 2) = q;
    p.At(2, 3) = -q * nearPlane;
    p.At(3, 2) = 1.0f;
    projection = p;
}

void CGmCamera::ApplyViewProjection(CGmDeviceWrapper* device) const
{
    if (device)
        device->SetViewProjection(view.m, projection.m);
}

Vec4 CGmCamera::ProjectPoint(const Vec3& p) const
{
    const Matrix4 m = MatrixMultiply4x4(viewportMatrix, MatrixMultiply4x4(projection, view));
    const Vec4 r = MatrixTransformVector4(m, {p.x, p.y, p.z, 1.0f});
    return {r.x / r.w, r.y / r.w, r.z, r.w};
}

Vec3 CGmCamera::ScreenToRay(float sx, float sy) const
{
    const float w = (float)currentViewport.Width;
    const float h = (float)currentViewport.Height;
    Vec3 d = {(2.0f * sx / w - 1.0f) / projection.At(0, 0), -((2.0f * sy / h - 1.0f) / projection.At(1, 1)), 1.0f};
    Matrix4 inverseView = Matrix4::Identity();
    MatrixInverse(view, inverseView);
    d = MatrixTransformNormal(inverseView, d);
    d.Normalize();
    return d;
}

Matrix4 CGmStaticCamera::GetViewProjection()
{
    Matrix4 m = frame.world;
    frame.UpdateWorldMatrix();
    for (int c = 0; c < 4; ++c) {
        m.At(0, c) *= scaleX;
        m.At(1, c) *= scaleY;
    }
    return m;
}

void CGmStaticCamera::SetClipRect(const float* rect)
{
    if (locked)
        return;
    CGmCamera::SetClipRect(rect);
    const CGeRect clipped = CGeRect::Intersect({clipRect[0], clipRect[1], clipRect[2], clipRect[3]},
                                               {0.0f, 0.0f, boundWidth, boundHeight});
    const float values[4] = {clipped.x, clipped.y, clipped.width, clipped.height};
    bool same = true;
    for (int i = 0; i < 4; ++i)
        same = same && values[i] == appliedClipRect[i];
    if (same)
        return;
    for (int i = 0; i < 4; ++i)
        appliedClipRect[i] = values[i];
    GeViewport device;
    device.X = (uint32_t)((float)(int32_t)values[0] * scaleX);
    device.Y = (uint32_t)((float)(int32_t)values[1] * scaleY);
    device.Width = (uint32_t)((float)(int32_t)values[2] * scaleX);
    device.Height = (uint32_t)((float)(int32_t)values[3] * scaleY);
    device.MinZ = 0.0f;
    device.MaxZ = 1.0f;
    if (g_pGmDevice)
        g_pGmDevice->SetViewPort(device);
}

CGmPerspectiveCamera::CGmPerspectiveCamera()
{
    frame.SetComposeMode(CGeFrame3D::COMPOSE_FIXED);
    frame.Invalidate();
}

Matrix4 CGmPerspectiveCamera::GetViewProjection()
{
    matrix = MatrixMultiply4x4(projection, view);
    return matrix;
}

void CGmPerspectiveCamera::Apply(const GeViewport& values)
{
    CGmCamera::Apply(values);
    UpdateViewportMatrix();
    if (viewMode == 1)
        UpdateView();
    frame.UpdateWorldMatrix();
    MatrixInverse(frame.world, view);
    UpdateProjection();
}
