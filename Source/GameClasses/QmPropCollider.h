// The collider property: a collision shape that follows its entity and,
// while the property is enabled, belongs to the program-wide list of active
// colliders that cursor picking tests.
//
// The shape is one of the collision primitives (axis-aligned box, sphere,
// oriented box); its owner pointer leads back to the property, whose owner is
// the entity. `local` places the shape relative to the entity; Update poses
// the shape at entity world x local every frame.
//
// Choices:
// - The destructor takes the shape out of the active list before deleting
//   it, so picking never walks a freed shape.
// - Without the active list (before start-up, after shutdown) enabling only
//   stores the flag.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Source/GameClasses/QmEntity.h"

class CGeCollider;
class CGeColliderAabb;
class CGeColliderBox;
class CGeColliderSphere;
struct CollisionGroup;

class CQmPropCollider : public CQmProp {
public:
    explicit CQmPropCollider(CQmEntity* owner) : CQmProp(owner) {}
    ~CQmPropCollider() override;

    // Links the shape at the head of the active list, or unlinks it; nothing
    // when the flag does not change.
    void SetEnabled(bool flag) override;
    // Poses the shape from the entity's world matrix (composites are not
    // posed here).
    void Update() override;
    // Deletes the shape (unlinked first) and takes the new one; null for none.
    void SetShape(CGeCollider* newShape);

    Matrix4 local = Matrix4::Identity();
    CGeCollider* shape = nullptr; // owned
};

// Shape makers: each makes the primitive, stores it as the collider's shape
// (replacing one it had) with its owner pointing at the collider.
CGeColliderAabb* CreateColliderAabbShape(CQmPropCollider* collider);
CGeColliderSphere* CreateColliderSphereShape(CQmPropCollider* collider);
CGeColliderBox* CreateColliderBoxShape(CQmPropCollider* collider);

// The active colliders; made by start-up, cleared and deleted by shutdown.
extern CollisionGroup* g_activeColliders;
void CreateActiveColliders();
void DestroyActiveColliders();

// The entity whose collider the ray from origin along direction meets
// first among the active colliders; null when it meets none or starts inside
// one. The first hit point goes to hitPoint when it is given.
CQmEntity* PickColliderEntity(const Vec3& origin, const Vec3& direction, Vec3* hitPoint = nullptr);
