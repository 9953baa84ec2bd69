#include "Source/GameClasses/QmScreenTint.h"

#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Gm/GeHub.h"
#include "Engine/Core/Gm/GmCamera.h"

#include <cmath>

namespace {

CGmCamera* Camera2d()
{
    return CGeHub::s_cameras2d[CGeHub::s_currentSlot];
}

CGmCamera* Camera3d()
{
    return CGeHub::s_cameras3d[CGeHub::s_currentSlot];
}

void Refresh2d(CGmCamera& camera)
{
    camera.frame.UpdateWorldMatrix();
}

// The 3D camera's matrices from its eye and target, as the location's render
// builds them.
void Refresh3d(CGmCamera& camera)
{
    if (camera.viewMode == 1)
        camera.UpdateView();
    camera.frame.UpdateWorldMatrix();
    MatrixInverse(camera.frame.world, camera.view);
}

} // namespace

void CQmScreenTint::Start(int32_t newAmplitude, float newDuration)
{
    if (newDuration == 0.0f)
        Stop();
    if (active)
        return;
    duration = newDuration;
    amplitude = (float)newAmplitude;

    if (CGmCamera* camera = Camera3d()) {
        savedEye = camera->eye;
        savedTarget = camera->target;
        saved3dAngles = camera->frame.angles;
    }
    workingEye = savedEye;
    if (CGmCamera* camera = Camera2d()) {
        saved2dPosition = camera->frame.position;
        saved2dAngles = camera->frame.angles;
        working2dPosition = saved2dPosition;
        const float width = (float)camera->screenWidth;
        const float height = (float)camera->screenHeight;
        const float k = width != 0.0f ? (width + 2.0f * amplitude) / width : 1.0f;
        camera->frame.SetScale(Vec3{k, k, k});
        working2dPosition.x -= (width * k - width) * 0.5f;
        working2dPosition.y -= (height * k - height) * 0.5f;
        camera->frame.SetPosition(working2dPosition);
        Refresh2d(*camera);
    }
    sign = 1.0f;
    elapsed = 0.0f;
    active = true;
}

void CQmScreenTint::Update()
{
    if (!active)
        return;
    const float jolt = sign * amplitude;
    if (CGmCamera* camera = Camera2d()) {
        working2dPosition.x -= jolt;
        camera->frame.SetPosition(working2dPosition);
        Refresh2d(*camera);
    }
    if (CGmCamera* camera = Camera3d()) {
        // Sideways in the horizontal plane; a camera looking straight down
        // has no horizontal direction and shakes along x.
        Vec3 n = {camera->target.x - camera->eye.x, 0.0f, camera->target.z - camera->eye.z};
        n.Normalize();
        const Vec3 side = {-n.z, 0.0f, n.x};
        camera->eye = {camera->eye.x + jolt * side.x, camera->eye.y, camera->eye.z + jolt * side.z};
        camera->target = {camera->target.x + jolt * side.x, camera->target.y, camera->target.z + jolt * side.z};
        workingEye = camera->eye;
        Refresh3d(*camera);
    }
    sign = -sign;

    if (duration == kDecaying) {
        amplitude -= amplitude < 0.0f ? -kDecayStep : kDecayStep;
        if (std::fabs(amplitude) < kDecayEnd)
            Stop();
    } else {
        elapsed += g_geTimer ? g_geTimer->delta : 0.0f;
        if (elapsed >= duration)
            Stop();
    }
}

void CQmScreenTint::Stop()
{
    if (!active)
        return;
    active = false;
    if (CGmCamera* camera = Camera2d()) {
        camera->frame.SetScale(Vec3{1.0f, 1.0f, 1.0f});
        camera->frame.SetPosition(saved2dPosition);
        camera->frame.SetAngles(saved2dAngles);
        Refresh2d(*camera);
    }
    if (CGmCamera* camera = Camera3d()) {
        camera->eye = savedEye;
        camera->target = savedTarget;
        camera->frame.SetAngles(saved3dAngles);
        Refresh3d(*camera);
    }
}
