// The physics world's lists: spaces of geoms, rigid bodies (a space with a
// pose) and physics groups of bodies and child groups. Every list is intrusive
// and doubly linked; nothing here allocates, and nothing is destroyed by being
// unlinked.
//
// Three program-wide objects live for the whole run: the collision world,
// whose bodies and child groups' bodies hold the obstacles of the cloth; the
// cloth world, one body per simulated cloth; and the static-environment body
// that holds the current location's static geometry.
#pragma once

#include "Engine/Core/Common/GeMath.h"
#include "Engine/Physics/GeCollisionGeom.h"

#include <cstdint>

class CGePhysGroup;

class CGeCollisionSpace {
public:
    CGeCollisionSpace() = default;
    // Unlinks the geoms that are still listed; they are not destroyed.
    virtual ~CGeCollisionSpace();

    CGeCollisionSpace(const CGeCollisionSpace&) = delete;
    CGeCollisionSpace& operator=(const CGeCollisionSpace&) = delete;

    // Links the geom at the head. A null geom, or one already in a space (this
    // one included), is left alone.
    void Add(CGeCollisionGeom* geom);
    // Unlinks a geom of this space; the caller must pass the geom's own space.
    void Remove(CGeCollisionGeom* geom);
    // Unlinks every geom; the geoms themselves stay alive.
    void Clear();

    CGeCollisionGeom* firstGeom = nullptr;
    uint32_t geomCount = 0;
};

// A space with a pose. Its geoms' world poses follow SetTransform; nothing
// integrates a body.
class CGeRigidBody : public CGeCollisionSpace {
public:
    CGeRigidBody();
    // Unlinks its geoms and leaves its group.
    ~CGeRigidBody() override;

    // m: rotation in the 3x3 block, translation in column 3. The body's rows
    // become the rotation's columns; every geom's world pose follows. Bounding
    // boxes are left as they are.
    void SetTransform(const Matrix4& m);

    CGePhysGroup* group = nullptr;
    CGeRigidBody* nextBody = nullptr;
    CGeRigidBody* prevBody = nullptr;
    uint32_t enabled = 1;
    Vec3 position{0.0f, 0.0f, 0.0f};
    Vec3 rotation[3];
    float mass = 0.0f;
};

class CGePhysGroup {
public:
    CGePhysGroup() = default;
    // Leaves its parent, then detaches its children and bodies (nothing is
    // destroyed).
    virtual ~CGePhysGroup();

    CGePhysGroup(const CGePhysGroup&) = delete;
    CGePhysGroup& operator=(const CGePhysGroup&) = delete;

    // Enabled bodies with a mass go to the head, others to the tail: the walks
    // from the head meet the moving bodies first. A body already in a group is
    // left where it is.
    void AddBody(CGeRigidBody* body);
    // Unlinks a body of this group; a body of another group is left alone.
    void RemoveBody(CGeRigidBody* body);
    // A group without a parent becomes the collision world's first child.
    void AttachToWorld();
    // Leaves the parent's child list (its count drops by one); a group
    // without a parent is left alone.
    void DetachFromParent();
    void DetachChildren();
    void DetachBodies();

    uint32_t reserved = 0;
    CGePhysGroup* parent = nullptr;
    CGePhysGroup* nextSibling = nullptr;
    CGePhysGroup* prevSibling = nullptr;
    CGePhysGroup* firstChild = nullptr;
    uint32_t childCount = 0;
    CGeRigidBody* firstBody = nullptr;
    CGeRigidBody* lastBody = nullptr;
    uint32_t bodyCount = 0;
};

extern CGePhysGroup g_collisionWorld;
extern CGePhysGroup g_clothWorld;
extern CGeRigidBody g_staticBody;

// Takes the static body out of its group and destroys every geom it holds.
void ClearStaticEnvironment();
