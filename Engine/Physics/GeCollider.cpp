#include "Engine/Physics/GeCollider.h"

#include <cmath>

#include "Engine/Physics/GeColliderMath.h"

#include "Engine/Physics/GeColliderDispatch.h"

using namespace collider_math;

namespace {

Vec3 Column(const Matrix4& m, int c) { return Vec3{m.m[c], m.m[4 + c], m.m[8 + c]}; }

void SetColumn(Matrix4& m, int c, const Vec3& v)
{
    m.m[c] = v.x;
    m.m[4 + c] = v.y;
    m.m[8 + c] = v.z;
}

Matrix4 FromColumns(const Vec3 axes[3], const Vec3& translation)
{
    Matrix4 m = Matrix4::Identity();
    for (int c = 0; c < 3; c++)
        SetColumn(m, c, axes[c]);
    SetColumn(m, 3, translation);
    return m;
}

// Rotation columns times a vector.
Vec3 Rotate(const Vec3 columns[3], const Vec3& v)
{
    return Add(Add(Scale(columns[0], v.x), Scale(columns[1], v.y)), Scale(columns[2], v.z));
}

// A rotation that takes the X axis onto a direction, placed at a translation.
Matrix4 FrameAlong(const Vec3& direction, const Vec3& translation)
{
    Vec3 unit = direction;
    unit.Normalize();
    Matrix4 m = RotationBetweenVectors(Vec3{1.0f, 0.0f, 0.0f}, unit);
    SetColumn(m, 3, translation);
    return m;
}

void SetUnbounded(CGeColliderAabb& box)
{
    box.min = Vec3{-kColliderHuge, -kColliderHuge, -kColliderHuge};
    box.max = Vec3{kColliderHuge, kColliderHuge, kColliderHuge};
}

// Pose ------------------------------------------------------------------------

void SetPoseRay(CGeCollider* p, const Matrix4& m)
{
    auto* ray = static_cast<CGeRayProbe*>(p);
    ray->origin = Column(m, 3);
    ray->direction = Column(m, 0);
}

void SetPosePlane(CGeCollider* p, const Matrix4& m)
{
    auto* plane = static_cast<CGeColliderPlane*>(p);
    plane->normal = Column(m, 0);
    plane->d = Dot(plane->normal, Column(m, 3));
}

void SetPoseAabb(CGeCollider* p, const Matrix4& m) { ColliderSetPosition(p, Column(m, 3)); }

void SetPoseSphere(CGeCollider* p, const Matrix4& m)
{
    static_cast<CGeColliderSphere*>(p)->centre = Column(m, 3);
}

void SetPoseBox(CGeCollider* p, const Matrix4& m)
{
    auto* box = static_cast<CGeColliderBox*>(p);
    for (int c = 0; c < 3; c++)
        box->axis[c] = Column(m, c);
    box->centre = Column(m, 3);
    box->UpdateAabb();
}

void SetPoseTransformedAabb(CGeCollider* p, const Matrix4& m)
{
    auto* box = static_cast<CGeColliderTransformedAabb*>(p);
    for (int c = 0; c < 3; c++)
        box->rotation[c] = Column(m, c);
    box->translation = Column(m, 3);
    ComputeOrientedBoxAabb(box->localMin, box->localMax, box->rotation, box->bounds);
    box->bounds.min = Add(box->bounds.min, box->translation);
    box->bounds.max = Add(box->bounds.max, box->translation);
}

void SetPoseComposite(CGeCollider* p, const Matrix4& m)
{
    auto* composite = static_cast<CGeColliderComposite*>(p);
    composite->pose = m;
    composite->UpdateBounds();
}

void SetPoseFrustum(CGeCollider* p, const Matrix4& m)
{
    auto* frustum = static_cast<CGeColliderFrustum*>(p);
    for (int c = 0; c < 3; c++)
        frustum->rotation[c] = Column(m, c);
    frustum->apex = Column(m, 3);
    for (int i = 0; i < 4; i++)
        frustum->corners[i] = Add(frustum->apex, Rotate(frustum->rotation, frustum->localCorners[i]));
    frustum->UpdatePlanes();
    frustum->UpdateBounds();
}

// Bounds ----------------------------------------------------------------------

void GetAabbRay(const CGeCollider* p, CGeColliderAabb& out)
{
    const auto* ray = static_cast<const CGeRayProbe*>(p);
    out.min = ray->origin;
    out.max = ray->origin;
}

void GetAabbPlane(const CGeCollider*, CGeColliderAabb& out) { SetUnbounded(out); }

void GetAabbAabb(const CGeCollider* p, CGeColliderAabb& out)
{
    const auto* box = static_cast<const CGeColliderAabb*>(p);
    out.min = box->min;
    out.max = box->max;
}

void GetAabbSphere(const CGeCollider* p, CGeColliderAabb& out)
{
    SphereAabb(*static_cast<const CGeColliderSphere*>(p), out);
}

void GetAabbBox(const CGeCollider* p, CGeColliderAabb& out)
{
    GetAabbAabb(&static_cast<const CGeColliderBox*>(p)->bounds, out);
}

void GetAabbTransformedAabb(const CGeCollider* p, CGeColliderAabb& out)
{
    GetAabbAabb(&static_cast<const CGeColliderTransformedAabb*>(p)->bounds, out);
}

void GetAabbComposite(const CGeCollider* p, CGeColliderAabb& out)
{
    GetAabbAabb(&static_cast<const CGeColliderComposite*>(p)->bounds, out);
}

void GetAabbFrustum(const CGeCollider* p, CGeColliderAabb& out)
{
    GetAabbAabb(&static_cast<const CGeColliderFrustum*>(p)->bounds, out);
}

// Transform -------------------------------------------------------------------

void GetTransformRay(const CGeCollider* p, Matrix4& out)
{
    const auto* ray = static_cast<const CGeRayProbe*>(p);
    out = FrameAlong(ray->direction, ray->origin);
}

void GetTransformPlane(const CGeCollider* p, Matrix4& out)
{
    const auto* plane = static_cast<const CGeColliderPlane*>(p);
    out = FrameAlong(plane->normal, Scale(plane->normal, plane->d));
}

void GetTransformAabb(const CGeCollider* p, Matrix4& out)
{
    out = Matrix4::Identity();
    SetColumn(out, 3, static_cast<const CGeColliderAabb*>(p)->GetCenter());
}

void GetTransformSphere(const CGeCollider* p, Matrix4& out)
{
    out = Matrix4::Identity();
    SetColumn(out, 3, static_cast<const CGeColliderSphere*>(p)->centre);
}

void GetTransformBox(const CGeCollider* p, Matrix4& out)
{
    const auto* box = static_cast<const CGeColliderBox*>(p);
    out = FromColumns(box->axis, box->centre);
}

void GetTransformTransformedAabb(const CGeCollider* p, Matrix4& out)
{
    const auto* box = static_cast<const CGeColliderTransformedAabb*>(p);
    out = FromColumns(box->rotation, box->translation);
}

void GetTransformComposite(const CGeCollider* p, Matrix4& out)
{
    out = static_cast<const CGeColliderComposite*>(p)->pose;
}

void GetTransformFrustum(const CGeCollider* p, Matrix4& out)
{
    const auto* frustum = static_cast<const CGeColliderFrustum*>(p);
    out = FromColumns(frustum->rotation, frustum->apex);
}

// Position --------------------------------------------------------------------

void SetPositionRay(CGeCollider* p, const Vec3& v) { static_cast<CGeRayProbe*>(p)->origin = v; }

void SetPositionPlane(CGeCollider* p, const Vec3& v)
{
    auto* plane = static_cast<CGeColliderPlane*>(p);
    plane->d = Dot(plane->normal, v);
}

void SetPositionAabb(CGeCollider* p, const Vec3& v)
{
    auto* box = static_cast<CGeColliderAabb*>(p);
    const Vec3 half = Scale(Sub(box->max, box->min), 0.5f);
    box->max = Add(v, half);
    box->min = Sub(v, half);
}

void SetPositionSphere(CGeCollider* p, const Vec3& v) { static_cast<CGeColliderSphere*>(p)->centre = v; }

void SetPositionBox(CGeCollider* p, const Vec3& v)
{
    auto* box = static_cast<CGeColliderBox*>(p);
    box->centre = v;
    box->UpdateAabb();
}

void SetPositionTransformedAabb(CGeCollider* p, const Vec3& v)
{
    auto* box = static_cast<CGeColliderTransformedAabb*>(p);
    const Vec3 offset = Sub(v, box->translation);
    box->translation = Add(box->translation, offset);
    box->bounds.min = Add(box->bounds.min, offset);
    box->bounds.max = Add(box->bounds.max, offset);
}

void SetPositionComposite(CGeCollider* p, const Vec3& v)
{
    auto* composite = static_cast<CGeColliderComposite*>(p);
    SetColumn(composite->pose, 3, v);
    composite->UpdateBounds();
}

void SetPositionFrustum(CGeCollider* p, const Vec3& v)
{
    auto* frustum = static_cast<CGeColliderFrustum*>(p);
    const Vec3 offset = Sub(v, frustum->apex);
    frustum->apex = Add(frustum->apex, offset);
    for (Vec3& corner : frustum->corners)
        corner = Add(corner, offset);
    frustum->UpdatePlanes();
    frustum->UpdateBounds();
}

void GetPositionRay(const CGeCollider* p, Vec3& out) { out = static_cast<const CGeRayProbe*>(p)->origin; }

void GetPositionPlane(const CGeCollider* p, Vec3& out)
{
    const auto* plane = static_cast<const CGeColliderPlane*>(p);
    out = Scale(plane->normal, plane->d);
}

void GetPositionAabb(const CGeCollider* p, Vec3& out) { out = static_cast<const CGeColliderAabb*>(p)->GetCenter(); }

void GetPositionSphere(const CGeCollider* p, Vec3& out)
{
    out = static_cast<const CGeColliderSphere*>(p)->centre;
}

void GetPositionBox(const CGeCollider* p, Vec3& out) { out = static_cast<const CGeColliderBox*>(p)->centre; }

void GetPositionTransformedAabb(const CGeCollider* p, Vec3& out)
{
    out = static_cast<const CGeColliderTransformedAabb*>(p)->translation;
}

void GetPositionComposite(const CGeCollider* p, Vec3& out)
{
    out = Column(static_cast<const CGeColliderComposite*>(p)->pose, 3);
}

void GetPositionFrustum(const CGeCollider* p, Vec3& out) { out = static_cast<const CGeColliderFrustum*>(p)->apex; }

typedef void (*SetPoseFn)(CGeCollider*, const Matrix4&);
typedef void (*GetAabbFn)(const CGeCollider*, CGeColliderAabb&);
typedef void (*GetTransformFn)(const CGeCollider*, Matrix4&);
typedef void (*SetPositionFn)(CGeCollider*, const Vec3&);
typedef void (*GetPositionFn)(const CGeCollider*, Vec3&);

const SetPoseFn kSetPose[COLLIDER_CLASS_COUNT] = {
    SetPoseRay, SetPosePlane, SetPoseAabb, SetPoseSphere,
    SetPoseBox, SetPoseTransformedAabb, SetPoseComposite, SetPoseFrustum,
};
const GetAabbFn kGetAabb[COLLIDER_CLASS_COUNT] = {
    GetAabbRay, GetAabbPlane, GetAabbAabb, GetAabbSphere,
    GetAabbBox, GetAabbTransformedAabb, GetAabbComposite, GetAabbFrustum,
};
const GetTransformFn kGetTransform[COLLIDER_CLASS_COUNT] = {
    GetTransformRay, GetTransformPlane, GetTransformAabb, GetTransformSphere,
    GetTransformBox, GetTransformTransformedAabb, GetTransformComposite, GetTransformFrustum,
};
const SetPositionFn kSetPosition[COLLIDER_CLASS_COUNT] = {
    SetPositionRay, SetPositionPlane, SetPositionAabb, SetPositionSphere,
    SetPositionBox, SetPositionTransformedAabb, SetPositionComposite, SetPositionFrustum,
};
const GetPositionFn kGetPosition[COLLIDER_CLASS_COUNT] = {
    GetPositionRay, GetPositionPlane, GetPositionAabb, GetPositionSphere,
    GetPositionBox, GetPositionTransformedAabb, GetPositionComposite, GetPositionFrustum,
};

} // namespace

// Owner lists -------------------------------------------------------------------

void CGeOwnedList::PushFront(CGeCollider* primitive)
{
    Remove(primitive);
    primitive->m_list = this;
    primitive->m_next = first;
    if (first)
        first->m_previous = primitive;
    first = primitive;
    count++;
}

void CGeOwnedList::Remove(CGeCollider* primitive)
{
    CGeOwnedList* list = primitive->m_list;
    if (!list)
        return;
    if (primitive->m_previous)
        primitive->m_previous->m_next = primitive->m_next;
    else
        list->first = primitive->m_next;
    if (primitive->m_next)
        primitive->m_next->m_previous = primitive->m_previous;
    primitive->m_previous = nullptr;
    primitive->m_next = nullptr;
    primitive->m_list = nullptr;
    list->count--;
}

// Primitives ----------------------------------------------------------------------

CGeCollider::CGeCollider(const CGeCollider& other) : CGeTypedObject(other), owner(other.owner) {}

CGeCollider& CGeCollider::operator=(const CGeCollider& other)
{
    typeId = other.typeId;
    owner = other.owner;
    return *this;
}

CGeColliderPlane::CGeColliderPlane() : CGeColliderPlane(Vec3{0.0f, 1.0f, 0.0f}, 0.0f) {}

CGeColliderPlane::CGeColliderPlane(const Vec3& normal_, float d_)
    : CGeCollider(COLLIDER_PLANE), normal(normal_), d(d_)
{
}

CGeColliderBox::CGeColliderBox()
    : CGeCollider(COLLIDER_BOX), size{0.0f, 0.0f, 0.0f},
      axis{{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}}, centre{0.0f, 0.0f, 0.0f}
{
}

void CGeColliderBox::SetSizeAndRotation(const Vec3& size_, const Matrix4& pose)
{
    size = size_;
    for (int c = 0; c < 3; c++)
        axis[c] = Column(pose, c);
    centre = Column(pose, 3);
    UpdateAabb();
}

void CGeColliderBox::UpdateAabb()
{
    const Vec3 extent = {
        0.5f * (size.x * std::fabs(axis[0].x) + size.y * std::fabs(axis[1].x) + size.z * std::fabs(axis[2].x)),
        0.5f * (size.x * std::fabs(axis[0].y) + size.y * std::fabs(axis[1].y) + size.z * std::fabs(axis[2].y)),
        0.5f * (size.x * std::fabs(axis[0].z) + size.y * std::fabs(axis[1].z) + size.z * std::fabs(axis[2].z)),
    };
    bounds.min = Sub(centre, extent);
    bounds.max = Add(centre, extent);
}

CGeColliderTransformedAabb::CGeColliderTransformedAabb()
    : CGeColliderTransformedAabb(Vec3{0.0f, 0.0f, 0.0f}, Vec3{0.0f, 0.0f, 0.0f})
{
}

CGeColliderTransformedAabb::CGeColliderTransformedAabb(const Vec3& localMin_, const Vec3& localMax_)
    : CGeCollider(COLLIDER_TRANSFORMED_AABB), localMin(localMin_), localMax(localMax_),
      translation{0.0f, 0.0f, 0.0f},
      rotation{{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}}
{
    bounds.SetCorners(localMin, localMax);
}

CGeColliderComposite::CGeColliderComposite() : CGeCollider(COLLIDER_COMPOSITE) {}

void CGeColliderComposite::UpdateBounds()
{
    bounds.SetEmpty();
    CGeColliderAabb leafBounds;
    for (const CGeColliderNode* node = CompositeFirstLeaf(*this); node; node = CompositeNextLeaf(node)) {
        CGeCollider* leaf = CompositePoseChild(*this, node);
        if (!leaf)
            continue;
        ColliderGetAabb(leaf, leafBounds);
        AabbAddPoint(leafBounds.min, bounds);
        AabbAddPoint(leafBounds.max, bounds);
    }
}

CGeColliderFrustum::CGeColliderFrustum()
    : CGeCollider(COLLIDER_FRUSTUM), apex{0.0f, 0.0f, 0.0f}, corners{},
      localCorners{}, rotation{{1.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 0.0f}, {0.0f, 0.0f, 1.0f}}
{
}

void CGeColliderFrustum::Build(const Vec3& apex_, const Vec3 corners_[4])
{
    apex = apex_;
    for (int i = 0; i < 4; i++) {
        corners[i] = corners_[i];
        localCorners[i] = Sub(corners_[i], apex_);
    }
    rotation[0] = Vec3{1.0f, 0.0f, 0.0f};
    rotation[1] = Vec3{0.0f, 1.0f, 0.0f};
    rotation[2] = Vec3{0.0f, 0.0f, 1.0f};
    UpdatePlanes();
    UpdateBounds();
}

void CGeColliderFrustum::UpdatePlanes()
{
    // A point strictly inside the pyramid (the mean of its five points) decides
    // which way each normal points, so either winding of the corners works.
    Vec3 inside = apex;
    for (const Vec3& corner : corners)
        inside = Add(inside, corner);
    inside = Scale(inside, 0.2f);

    for (int i = 0; i < 5; i++) {
        Vec3 normal;
        Vec3 through;
        if (i < 4) {
            const Vec3& c0 = corners[i];
            const Vec3& c1 = corners[(i + 1) & 3];
            normal = Vec3::Cross(Sub(apex, c0), Sub(c1, c0));
            through = c0;
        } else {
            normal = Vec3::Cross(Sub(corners[1], corners[0]), Sub(corners[2], corners[0]));
            through = corners[0];
        }
        normal.Normalize();
        if (Dot(normal, Sub(inside, through)) > 0.0f)
            normal = Scale(normal, -1.0f);
        planes[i].normal = normal;
        planes[i].d = Dot(normal, through);
    }
}

void CGeColliderFrustum::UpdateBounds()
{
    bounds.SetEmpty();
    AabbAddPoint(apex, bounds);
    for (const Vec3& corner : corners)
        AabbAddPoint(corner, bounds);
}

// Groups ------------------------------------------------------------------------

CollisionGroup::CollisionGroup()
{
    SetUnbounded(bounds);
}

CollisionGroup::~CollisionGroup()
{
    Clear();
}

void CollisionGroup::Clear()
{
    while (members.first)
        CGeOwnedList::Remove(members.first);
    members.count = 0;
    SetUnbounded(bounds);
}

// Per-class operations ------------------------------------------------------------

void ColliderSetPose(CGeCollider* primitive, const Matrix4& pose)
{
    if (primitive->GetClass() < COLLIDER_CLASS_COUNT)
        kSetPose[primitive->GetClass()](primitive, pose);
}

void ColliderGetAabb(const CGeCollider* primitive, CGeColliderAabb& out)
{
    if (primitive->GetClass() < COLLIDER_CLASS_COUNT)
        kGetAabb[primitive->GetClass()](primitive, out);
    else
        SetUnbounded(out);
}

void ColliderGetTransform(const CGeCollider* primitive, Matrix4& out)
{
    if (primitive->GetClass() < COLLIDER_CLASS_COUNT)
        kGetTransform[primitive->GetClass()](primitive, out);
    else
        out = Matrix4::Identity();
}

void ColliderSetPosition(CGeCollider* primitive, const Vec3& position)
{
    if (primitive->GetClass() < COLLIDER_CLASS_COUNT)
        kSetPosition[primitive->GetClass()](primitive, position);
}

void ColliderGetPosition(const CGeCollider* primitive, Vec3& out)
{
    if (primitive->GetClass() < COLLIDER_CLASS_COUNT)
        kGetPosition[primitive->GetClass()](primitive, out);
    else
        out = Vec3{0.0f, 0.0f, 0.0f};
}

// Shared routines ---------------------------------------------------------------

void AabbAddPoint(const Vec3& point, CGeColliderAabb& box)
{
    if (point.x < box.min.x)
        box.min.x = point.x;
    if (point.y < box.min.y)
        box.min.y = point.y;
    if (point.z < box.min.z)
        box.min.z = point.z;
    if (point.x > box.max.x)
        box.max.x = point.x;
    if (point.y > box.max.y)
        box.max.y = point.y;
    if (point.z > box.max.z)
        box.max.z = point.z;
}

void ComputeOrientedBoxAabb(const Vec3& localMin, const Vec3& localMax, const Vec3 rotation[3],
                            CGeColliderAabb& out)
{
    out.SetEmpty();
    for (int corner = 0; corner < 8; corner++) {
        const Vec3 local = {(corner & 4) ? localMax.x : localMin.x, (corner & 2) ? localMax.y : localMin.y,
                            (corner & 1) ? localMax.z : localMin.z};
        AabbAddPoint(Rotate(rotation, local), out);
    }
}
