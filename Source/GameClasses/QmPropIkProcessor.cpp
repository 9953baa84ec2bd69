#include "Source/GameClasses/QmPropIkProcessor.h"

#include "Engine/Anim/GmMeshResource.h"
#include "Engine/Core/Common/GeTimer.h"
#include "Engine/Core/Common/GeXml.h"
#include "Engine/Core/Gm/GmScenicMesh.h"
#include "Source/GameClasses/QmPropAnimController.h"

#include <cmath>
#include <cstring>

#include <tinyxml.h>

const QmIkSpeedStep CQmPropIkProcessor::kVerticalSpeeds[3] = {
    {0.1745329f, 0.6283185f}, // under 10 degrees: 36 degrees a second
    {0.4363323f, 1.0471976f}, // under 25 degrees: 60 degrees a second
    {0.7853982f, 1.5707964f}, // under 45 degrees: 90 degrees a second
};

const QmIkSpeedStep CQmPropIkProcessor::kHorizontalSpeeds[3] = {
    {0.1745329f, 0.6283185f}, // under 10 degrees: 36 degrees a second
    {0.7853982f, 2.0943952f}, // under 45 degrees: 120 degrees a second
    {1.5707964f, 3.1415927f}, // under 90 degrees: 180 degrees a second
};

namespace {

// The speed of the first row whose threshold lies above distance.
float SpeedFor(const QmIkSpeedStep (&table)[3], float distance, float fallback)
{
    for (const QmIkSpeedStep& step : table)
        if (step.threshold > distance)
            return step.speed;
    return fallback;
}

float Clamp1(float v)
{
    return Clamp(-1.0f, 1.0f, v);
}

// +1 when the goal lies above the angle, -1 below, unchanged when equal.
void AimSign(QmIkAxis& axis)
{
    if (axis.goal > axis.angle)
        axis.sign = 1.0f;
    else if (axis.goal < axis.angle)
        axis.sign = -1.0f;
}

void Advance(QmIkAxis& axis, float seconds)
{
    if (axis.sign > 0.0f)
        axis.angle = std::fmin(axis.angle + axis.speed * seconds, axis.goal);
    else if (axis.sign < 0.0f)
        axis.angle = std::fmax(axis.angle - axis.speed * seconds, axis.goal);
}

Quat AboutAxis(float x, float y, float z, float angle)
{
    const float s = std::sin(angle * 0.5f);
    return Quat{x * s, y * s, z * s, std::cos(angle * 0.5f)};
}

Quat RotationOf(const GmJointRecord& joint)
{
    return Quat{joint.rotation[0], joint.rotation[1], joint.rotation[2], joint.rotation[3]};
}

void SetRotation(GmJointRecord& joint, const Quat& q)
{
    joint.rotation[0] = q.x;
    joint.rotation[1] = q.y;
    joint.rotation[2] = q.z;
    joint.rotation[3] = q.w;
}

bool SameRotation(const Quat& a, const Quat& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

} // namespace

void CQmPropIkProcessor::BindSkeleton(int32_t boneIndex)
{
    headBone = -1;
    headVisual = nullptr;
    skeleton = nullptr;
    m_wrote = false;
    const auto* controller = owner->Prop<CQmPropAnimController>(QM_PROP_ANIM_CONTROLLER);
    const auto* visuals = owner->Prop<CQmPropVisualObject>(QM_PROP_VISUAL_OBJECT);
    if (!controller || !visuals || controller->visualIndex >= visuals->visuals.Count())
        return;
    headVisual = dynamic_cast<CGmScenicMesh*>(visuals->visuals[controller->visualIndex]);
    skeleton = headVisual ? dynamic_cast<CGmMeshResource*>(headVisual->skeleton) : nullptr;
    if (skeleton && boneIndex >= 0 && uint32_t(boneIndex) < skeleton->JointCount())
        headBone = boneIndex;
    else
        skeleton = nullptr;
}

void CQmPropIkProcessor::LookAt(const Vec3& point)
{
    target = point;
    lookActive = 1;
    released = 0;
}

void CQmPropIkProcessor::ChooseSpeeds()
{
    const float dv = std::fabs(vertical.goal - vertical.angle);
    const float dh = std::fabs(horizontal.goal - horizontal.angle);
    vertical.speed = 0.0f;
    horizontal.speed = 0.0f;
    if (dv > kEpsilon && dh <= dv) {
        vertical.speed = SpeedFor(kVerticalSpeeds, dv, vertical.defaultSpeed);
        horizontal.speed = dh / dv * vertical.speed;
    } else if (dh > kEpsilon) {
        horizontal.speed = SpeedFor(kHorizontalSpeeds, dh, horizontal.defaultSpeed);
        vertical.speed = dv / dh * horizontal.speed;
    }
}

void CQmPropIkProcessor::Release()
{
    for (QmIkAxis* axis : {&vertical, &horizontal}) {
        axis->goal = 0.0f;
        axis->speed = 0.0f;
        if (axis->angle > 0.0f)
            axis->sign = -1.0f;
        else if (axis->angle < 0.0f)
            axis->sign = 1.0f;
    }
    ChooseSpeeds();
    released = 1;
    SetEnabled(true);
}

void CQmPropIkProcessor::ComputeGoals()
{
    owner->frame.UpdateWorldMatrix();
    const Matrix4 head = MatrixMultiply4x4(owner->frame.world, skeleton->WorldMatrix(uint32_t(headBone)));
    Matrix4 toHead = Matrix4::Identity();
    MatrixInverse(head, toHead);
    Vec3 d = MatrixTransformPoint(toHead, target);
    const float length = d.Length();
    if (length > 0.0f)
        d = Vec3{d.x / length, d.y / length, d.z / length};
    d = Vec3{Clamp1(d.x), Clamp1(d.y), Clamp1(d.z)};
    Vec3 h = {0.0f, d.y, d.z};
    if (h.LengthSquared() > kEpsilon) {
        const float hl = h.Length();
        h = Vec3{0.0f, Clamp1(h.y / hl), Clamp1(h.z / hl)};
    } else {
        h = Vec3{0.0f, 0.0f, 0.0f};
    }
    if (!released) {
        vertical.goal = Clamp(vertical.minAngle, vertical.maxAngle, std::asin(d.x));
        const float side = h.y >= 0.0f ? 1.0f : -1.0f;
        horizontal.goal = Clamp(horizontal.minAngle, horizontal.maxAngle, -std::acos(h.z) * side);
    }
    AimSign(vertical);
    AimSign(horizontal);
    ChooseSpeeds();
    lookActive = 0;
}

void CQmPropIkProcessor::Update()
{
    if (!skeleton || headBone < 0 || uint32_t(headBone) >= skeleton->joints.Count())
        return;
    GmJointRecord& joint = skeleton->joints[uint32_t(headBone)];
    const Quat current = RotationOf(joint);
    if (m_wrote && SameRotation(current, m_written)) {
        // Nothing posed the bone since our last write: start from the
        // animated rotation again instead of turning on top of our own.
        SetRotation(joint, m_animated);
        skeleton->dirty = 1;
        skeleton->UpdateWorldMatrices();
    } else {
        m_animated = current;
    }
    m_wrote = false;

    if (lookActive)
        ComputeGoals();
    const float seconds = g_geTimer ? g_geTimer->delta : 0.0f;
    Advance(vertical, seconds);
    Advance(horizontal, seconds);

    if (!(released && vertical.angle == 0.0f && horizontal.angle == 0.0f)) {
        // The vertical turn first, then the horizontal one, both in the
        // bone's own frame, then the animated rotation.
        const Quat turn = QuatMultiply(AboutAxis(1.0f, 0.0f, 0.0f, horizontal.angle),
                                       AboutAxis(0.0f, 1.0f, 0.0f, vertical.angle));
        m_written = QuatMultiply(m_animated, turn);
        m_wrote = true;
        SetRotation(joint, m_written);
    }
    skeleton->dirty = 1;
    skeleton->UpdateWorldMatrices();
}

void LoadProperty_IkProcessor(CQmEntity& entity, const TiXmlElement* element)
{
    XmlHandle handle;
    handle.element = const_cast<TiXmlElement*>(element);
    auto* processor = new CQmPropIkProcessor(&entity);
    const int32_t bone = XmlGetInt("head_bone_index", handle);
    entity.SetProp(QM_PROP_IK_PROCESSOR, processor);
    processor->SetEnabled(true);
    processor->BindSkeleton(bone);
}
