#include "Source/GameClasses/QmPropCollider.h"

#include "Engine/Physics/GeCollider.h"
#include "Engine/Physics/GeColliderDispatch.h"

CollisionGroup* g_activeColliders = nullptr;

namespace {

void Unlink(CGeCollider* shape)
{
    if (shape && g_activeColliders && shape->List() == &g_activeColliders->members)
        CGeOwnedList::Remove(shape);
}

template <typename Shape>
Shape* MakeShape(CQmPropCollider* collider)
{
    if (!collider)
        return nullptr;
    auto* shape = new Shape();
    shape->owner = collider;
    collider->SetShape(shape);
    return shape;
}

} // namespace

CQmPropCollider::~CQmPropCollider()
{
    SetShape(nullptr);
}

void CQmPropCollider::SetShape(CGeCollider* newShape)
{
    if (newShape == shape)
        return;
    if (shape) {
        Unlink(shape);
        shape->owner = nullptr;
        delete shape;
    }
    shape = newShape;
    if (shape && enabled && g_activeColliders)
        g_activeColliders->Add(shape);
}

void CQmPropCollider::SetEnabled(bool flag)
{
    const uint8_t value = flag ? 1 : 0;
    if (value == enabled)
        return;
    enabled = value;
    if (!shape)
        return;
    if (value) {
        if (g_activeColliders)
            g_activeColliders->Add(shape);
    } else {
        Unlink(shape);
    }
}

void CQmPropCollider::Update()
{
    if (!shape || shape->GetClass() == COLLIDER_COMPOSITE)
        return;
    ColliderSetPose(shape, MatrixMultiply3x4(owner->frame.world, local));
}

CGeColliderAabb* CreateColliderAabbShape(CQmPropCollider* collider)
{
    return MakeShape<CGeColliderAabb>(collider);
}

CGeColliderSphere* CreateColliderSphereShape(CQmPropCollider* collider)
{
    return MakeShape<CGeColliderSphere>(collider);
}

CGeColliderBox* CreateColliderBoxShape(CQmPropCollider* collider)
{
    return MakeShape<CGeColliderBox>(collider);
}

void CreateActiveColliders()
{
    if (!g_activeColliders)
        g_activeColliders = new CollisionGroup();
}

void DestroyActiveColliders()
{
    if (!g_activeColliders)
        return;
    g_activeColliders->Clear();
    delete g_activeColliders;
    g_activeColliders = nullptr;
}

CQmEntity* PickColliderEntity(const Vec3& origin, const Vec3& direction, Vec3* hitPoint)
{
    if (!g_activeColliders)
        return nullptr;
    CGeRayProbe ray(origin, direction);
    CGeCollisionQuery query;
    query.maxDistance = kColliderHuge;
    PickInCollisionSpace(*g_activeColliders, &ray, query);
    if (!query.hit || query.startsInside || !query.hitPrimitive)
        return nullptr;
    if (hitPoint)
        *hitPoint = query.point;
    auto* collider = static_cast<CQmPropCollider*>(query.hitPrimitive->owner);
    return collider ? collider->owner : nullptr;
}
