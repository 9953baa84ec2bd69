#include "Engine/Physics/GePhysWorld.h"

#include <cassert>

// Spaces ---------------------------------------------------------------------

CGeCollisionSpace::~CGeCollisionSpace()
{
    Clear();
}

void CGeCollisionSpace::Add(CGeCollisionGeom* geom)
{
    if (!geom || geom->space)
        return;
    geom->next = firstGeom;
    geom->prev = nullptr;
    if (firstGeom)
        firstGeom->prev = geom;
    firstGeom = geom;
    geom->space = this;
    ++geomCount;
}

void CGeCollisionSpace::Remove(CGeCollisionGeom* geom)
{
    if (!geom)
        return;
    assert(geom->space == this && "a geom is removed through the space that holds it");
    if (geom->prev)
        geom->prev->next = geom->next;
    else
        firstGeom = geom->next;
    if (geom->next)
        geom->next->prev = geom->prev;
    geom->space = nullptr;
    geom->next = nullptr;
    geom->prev = nullptr;
    --geomCount;
}

void CGeCollisionSpace::Clear()
{
    CGeCollisionGeom* geom = firstGeom;
    while (geom) {
        CGeCollisionGeom* following = geom->next;
        geom->space = nullptr;
        geom->next = nullptr;
        geom->prev = nullptr;
        geom = following;
    }
    firstGeom = nullptr;
    geomCount = 0;
}

// Rigid bodies -----------------------------------------------------------------

CGeRigidBody::CGeRigidBody()
{
    rotation[0] = Vec3{1.0f, 0.0f, 0.0f};
    rotation[1] = Vec3{0.0f, 1.0f, 0.0f};
    rotation[2] = Vec3{0.0f, 0.0f, 1.0f};
}

CGeRigidBody::~CGeRigidBody()
{
    Clear();
    if (group)
        group->RemoveBody(this);
}

void CGeRigidBody::SetTransform(const Matrix4& m)
{
    for (int i = 0; i < 3; ++i)
        rotation[i] = Vec3{m.At(0, i), m.At(1, i), m.At(2, i)};
    position = Vec3{m.At(0, 3), m.At(1, 3), m.At(2, 3)};
    for (CGeCollisionGeom* geom = firstGeom; geom; geom = geom->next) {
        geom->UpdateWorldRotation(rotation);
        geom->worldPosition = MatrixTransformPoint(m, geom->localPosition);
    }
}

// Groups -----------------------------------------------------------------------

CGePhysGroup::~CGePhysGroup()
{
    DetachFromParent();
    DetachChildren();
    DetachBodies();
}

void CGePhysGroup::DetachFromParent()
{
    if (parent) {
        if (prevSibling)
            prevSibling->nextSibling = nextSibling;
        else
            parent->firstChild = nextSibling;
        if (nextSibling)
            nextSibling->prevSibling = prevSibling;
        --parent->childCount;
        parent = nullptr;
        nextSibling = nullptr;
        prevSibling = nullptr;
    }
}

void CGePhysGroup::AddBody(CGeRigidBody* body)
{
    if (!body || body->group)
        return;
    body->group = this;
    if (body->enabled && body->mass != 0.0f) {
        body->prevBody = nullptr;
        body->nextBody = firstBody;
        if (firstBody)
            firstBody->prevBody = body;
        else
            lastBody = body;
        firstBody = body;
    } else {
        body->nextBody = nullptr;
        body->prevBody = lastBody;
        if (lastBody)
            lastBody->nextBody = body;
        else
            firstBody = body;
        lastBody = body;
    }
    ++bodyCount;
}

void CGePhysGroup::RemoveBody(CGeRigidBody* body)
{
    if (!body || body->group != this)
        return;
    if (body->prevBody)
        body->prevBody->nextBody = body->nextBody;
    else
        firstBody = body->nextBody;
    if (body->nextBody)
        body->nextBody->prevBody = body->prevBody;
    else
        lastBody = body->prevBody;
    body->group = nullptr;
    body->nextBody = nullptr;
    body->prevBody = nullptr;
    --bodyCount;
}

void CGePhysGroup::AttachToWorld()
{
    if (parent || this == &g_collisionWorld)
        return;
    parent = &g_collisionWorld;
    prevSibling = nullptr;
    nextSibling = g_collisionWorld.firstChild;
    if (nextSibling)
        nextSibling->prevSibling = this;
    g_collisionWorld.firstChild = this;
    ++g_collisionWorld.childCount;
}

void CGePhysGroup::DetachChildren()
{
    CGePhysGroup* child = firstChild;
    while (child) {
        CGePhysGroup* following = child->nextSibling;
        child->parent = nullptr;
        child->nextSibling = nullptr;
        child->prevSibling = nullptr;
        child = following;
    }
    firstChild = nullptr;
    childCount = 0;
}

void CGePhysGroup::DetachBodies()
{
    CGeRigidBody* body = firstBody;
    while (body) {
        CGeRigidBody* following = body->nextBody;
        body->group = nullptr;
        body->nextBody = nullptr;
        body->prevBody = nullptr;
        body = following;
    }
    firstBody = nullptr;
    lastBody = nullptr;
    bodyCount = 0;
}

// The program-wide objects -------------------------------------------------------
//
// Defined together so that they are built in this order and destroyed in the
// reverse one: the static environment's geoms go first, then the static body
// leaves the collision world while the world is still alive.

CGePhysGroup g_collisionWorld;
CGePhysGroup g_clothWorld;
CGeRigidBody g_staticBody;

void ClearStaticEnvironment()
{
    if (g_staticBody.group)
        g_staticBody.group->RemoveBody(&g_staticBody);
    while (CGeCollisionGeom* geom = g_staticBody.firstGeom) {
        g_staticBody.Remove(geom);
        delete geom;
    }
}

namespace {

// The static environment's geoms belong to the static body: free them at exit
// as a location change would.
struct StaticEnvironmentRelease {
    ~StaticEnvironmentRelease() { ClearStaticEnvironment(); }
} s_staticEnvironmentRelease;

} // namespace
