#include "Engine/Core/Gm/GmCamera.h"

#include "Engine/Core/Common/GeDeviceConfig.h"
#include "Engine/Core/Gm/GeHub.h"

namespace {

bool SameViewport(const GeViewport& a, const GeViewport& b)
{
    return a.X == b.X && a.Y == b.Y && a.Width == b.Width && a.Height == b.Height && a.MinZ == b.MinZ &&
           a.MaxZ == b.MaxZ;
}

} // namespace

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
    dirty = 1;
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
