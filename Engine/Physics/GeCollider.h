// Collision primitives: small value-like shapes that answer "what does this ray
// or moving shape hit first" (picking, particles, the walk-grid lock) and "do
// these two shapes overlap".
//
// Every primitive carries a class index 0 to 7 in its typed-object word; the
// per-class operations (pose, bounds, transform, position) are tables indexed by
// it, and the pair tests are two 9-by-9 tables indexed by two class indices
// (GeColliderDispatch.h). A primitive can be a member of one owner list at a
// time (a collision group); it unlinks itself when destroyed, so temporaries on
// the stack never leave dangling links.
//
// Matrices follow the engine's convention (GeMath.h): a pose is an affine
// Matrix4 whose columns 0 to 2 are the rotated axes and whose column 3 is the
// translation.
//
// These are not the physics world's geoms: those carry their own type codes and
// take part only in the cloth step.
#pragma once

#include <cstdint>

#include "Engine/Core/Common/GeMath.h"
#include "Engine/Core/Common/GeTypedObject.h"

// The "unbounded" and "empty" extent of boxes and the "no limit" distance.
constexpr float kColliderHuge = 1.0e30f;
// The smallest squared length the tests treat as nonzero.
constexpr float kColliderEpsilon = 1.1920929e-7f;

enum ColliderClass : uint32_t {
    COLLIDER_RAY = 0,
    COLLIDER_PLANE = 1,
    COLLIDER_AABB = 2,
    COLLIDER_SPHERE = 3,
    COLLIDER_BOX = 4,
    COLLIDER_TRANSFORMED_AABB = 5,
    COLLIDER_COMPOSITE = 6,
    COLLIDER_FRUSTUM = 7,
    COLLIDER_CLASS_COUNT = 8,
};

class CGeCollider;

// An owner list {first member, count}; members are linked newest first.
struct CGeOwnedList {
    CGeCollider* first = nullptr;
    uint32_t count = 0;

    // Links at the head; a primitive in another list leaves that one first.
    void PushFront(CGeCollider* primitive);
    // Unlinks a primitive from whatever list holds it; nothing when it is in none.
    static void Remove(CGeCollider* primitive);
};

class CGeCollider : public CGeTypedObject {
public:
    virtual ~CGeCollider()
    {
        if (m_list)
            CGeOwnedList::Remove(this);
    }

    uint32_t GetClass() const { return typeId; }
    CGeCollider* Next() const { return m_next; }
    CGeCollider* Previous() const { return m_previous; }
    CGeOwnedList* List() const { return m_list; }

    // An opaque pointer for the game side (a collider shape points it at its
    // collider); picking hands it back through the hit primitive.
    void* owner = nullptr;

protected:
    explicit CGeCollider(uint32_t classIndex) { typeId = classIndex; }
    // Copies the class and the owner pointer, never the links: a copy starts in
    // no list, and assignment keeps the target's own membership.
    CGeCollider(const CGeCollider& other);
    CGeCollider& operator=(const CGeCollider& other);

private:
    friend struct CGeOwnedList;
    CGeCollider* m_previous = nullptr;
    CGeCollider* m_next = nullptr;
    CGeOwnedList* m_list = nullptr;
};

// Class 0: a half-line from origin along direction.
class CGeRayProbe : public CGeCollider {
public:
    CGeRayProbe() : CGeRayProbe(Vec3{0.0f, 0.0f, 0.0f}, Vec3{1.0f, 0.0f, 0.0f}) {}
    CGeRayProbe(const Vec3& origin_, const Vec3& direction_)
        : CGeCollider(COLLIDER_RAY), origin(origin_), direction(direction_)
    {
    }

    Vec3 origin;
    Vec3 direction;
};

// Class 1: the points p with normal . p = d; the solid side is normal . p < d.
class CGeColliderPlane : public CGeCollider {
public:
    CGeColliderPlane();
    CGeColliderPlane(const Vec3& normal, float d);

    Vec3 normal;
    float d;
};

// Class 2: an axis-aligned box; it starts empty (min +1e30, max -1e30).
class CGeColliderAabb : public CGeCollider {
public:
    CGeColliderAabb() : CGeCollider(COLLIDER_AABB) { SetEmpty(); }
    CGeColliderAabb(const Vec3& minCorner, const Vec3& maxCorner)
        : CGeCollider(COLLIDER_AABB), min(minCorner), max(maxCorner)
    {
    }

    // Stores both corners as given: neither sorted nor tested.
    void SetCorners(const Vec3& minCorner, const Vec3& maxCorner)
    {
        min = minCorner;
        max = maxCorner;
    }
    Vec3 GetCenter() const
    {
        return Vec3{(min.x + max.x) * 0.5f, (min.y + max.y) * 0.5f, (min.z + max.z) * 0.5f};
    }
    void SetEmpty()
    {
        min = Vec3{kColliderHuge, kColliderHuge, kColliderHuge};
        max = Vec3{-kColliderHuge, -kColliderHuge, -kColliderHuge};
    }

    Vec3 min;
    Vec3 max;
};

// Class 3.
class CGeColliderSphere : public CGeCollider {
public:
    CGeColliderSphere() : CGeColliderSphere(Vec3{0.0f, 0.0f, 0.0f}, 0.0f) {}
    CGeColliderSphere(const Vec3& centre_, float radius_)
        : CGeCollider(COLLIDER_SPHERE), centre(centre_), radius(radius_)
    {
    }

    Vec3 centre;
    float radius;
};

// Class 4: an oriented box. The stored world bounds match the size, axes and
// centre only after UpdateAabb has run since they last changed; every
// operation here that changes them runs it.
class CGeColliderBox : public CGeCollider {
public:
    CGeColliderBox();

    // Size (full edge lengths), axes = the matrix's columns 0 to 2, centre = its
    // translation column; then the bounds.
    void SetSizeAndRotation(const Vec3& size, const Matrix4& pose);
    void UpdateAabb();
    Vec3 GetCenter() const { return centre; }

    Vec3 size;
    Vec3 axis[3];
    Vec3 centre;
    CGeColliderAabb bounds;
};

// Class 5: a local axis-aligned box carried by a rotation and a translation.
// It joins groups through its own links, like every other class.
class CGeColliderTransformedAabb : public CGeCollider {
public:
    CGeColliderTransformedAabb();
    CGeColliderTransformedAabb(const Vec3& localMin, const Vec3& localMax);

    CGeColliderAabb bounds; // world bounds
    Vec3 localMin;
    Vec3 localMax;
    Vec3 translation;
    Vec3 rotation[3]; // columns
};

// A node of a composite's tree. The nodes and their primitives belong to the
// composite's builder; the composite only reads them.
struct CGeColliderNode {
    CGeCollider* primitive = nullptr;
    CGeColliderNode* parent = nullptr; // the enclosing level's node, null at the top
    Matrix4 pose = Matrix4::Identity(); // relative to the enclosing level
    CGeColliderNode* next = nullptr;    // next sibling
};

// Class 6: a tree of child primitives under one pose. A child of class 6 opens
// a nested level through its own first child; a leaf's world pose is the
// composite's pose times the poses of the nodes on its path.
class CGeColliderComposite : public CGeCollider {
public:
    CGeColliderComposite();

    // Recomputes the bounds from the posed leaves (empty when there are none).
    void UpdateBounds();

    CGeColliderNode* firstChild = nullptr;
    Matrix4 pose = Matrix4::Identity();
    CGeColliderAabb bounds;
    // Leaves are copied here and posed in world space for each test.
    CGeColliderAabb scratchAabb;
    CGeColliderSphere scratchSphere;
    CGeColliderBox scratchBox;
};

// Class 7: a four-sided pyramid from an apex to four base corners.
class CGeColliderFrustum : public CGeCollider {
public:
    CGeColliderFrustum();

    // Stores the apex and corners, keeps the corners relative to the apex as the
    // local corners, sets the rotation to identity and rebuilds planes and bounds.
    void Build(const Vec3& apex, const Vec3 corners[4]);
    // Rebuilds the four side planes and the base from the apex and the world
    // corners. Normals are unit length and point outwards whichever way round
    // the corners run.
    void UpdatePlanes();
    // Bounds from empty, grown over the apex and the four corners.
    void UpdateBounds();

    Vec3 apex;
    Vec3 corners[4];
    CGeColliderPlane planes[5]; // four sides, then the base
    CGeColliderAabb bounds;
    Vec3 localCorners[4];
    Vec3 rotation[3]; // columns
};

// A group a query walks: the members' owner list, bounds and a member filter.
struct CollisionGroup {
    typedef bool (*MemberFilter)(CGeCollider* member);

    CollisionGroup();
    ~CollisionGroup();
    CollisionGroup(const CollisionGroup&) = delete;
    CollisionGroup& operator=(const CollisionGroup&) = delete;

    void Add(CGeCollider* member) { members.PushFront(member); }
    // Unlinks every member (they are not destroyed), count 0, unbounded bounds.
    void Clear();

    CGeOwnedList members;
    CGeColliderAabb bounds;
    CGeColliderAabb sweptBounds; // the last query's swept bounds
    MemberFilter filter = nullptr; // null: every member counts
};

// What a sweep query carries into a pair test and what it brings back.
struct CGeCollisionQuery {
    Vec3 direction = {0.0f, 0.0f, 0.0f}; // a ray moves along its own direction instead
    float maxDistance = kColliderHuge;
    uint8_t boundsOnly = 0;
    uint32_t octant = 0;  // bit 2: direction.x < 0, bit 1: y < 0, bit 0: z < 0
    uint32_t swapped = 0; // set by CollideGeoms for the duration of one test
    uint8_t hit = 0;
    uint8_t startsInside = 0;
    float t = 0.0f;
    Vec3 point = {0.0f, 0.0f, 0.0f};
    Vec3 normal = {0.0f, 0.0f, 0.0f};
    CGeCollider* hitPrimitive = nullptr;
};

// The octant of a direction; a zero component counts as positive.
inline uint32_t DirectionOctant(const Vec3& d)
{
    return (d.x < 0.0f ? 4u : 0u) | (d.y < 0.0f ? 2u : 0u) | (d.z < 0.0f ? 1u : 0u);
}

// Per-class operations; a class index outside 0..7 does nothing (the bounds
// then come back unbounded, the transform and position as identity and zero).
void ColliderSetPose(CGeCollider* primitive, const Matrix4& pose);
void ColliderGetAabb(const CGeCollider* primitive, CGeColliderAabb& out);
void ColliderGetTransform(const CGeCollider* primitive, Matrix4& out);
void ColliderSetPosition(CGeCollider* primitive, const Vec3& position);
void ColliderGetPosition(const CGeCollider* primitive, Vec3& out);

// Routines the precise tests share.
inline Vec3 PointAlong(const Vec3& direction, const Vec3& origin, float t)
{
    return Vec3{origin.x + direction.x * t, origin.y + direction.y * t, origin.z + direction.z * t};
}
inline Vec3 RayPointAt(const CGeRayProbe& ray, float t)
{
    return PointAlong(ray.direction, ray.origin, t);
}
// Strict on every axis: boxes that only touch do not overlap.
inline bool AabbOverlap(const CGeColliderAabb& a, const CGeColliderAabb& b)
{
    return a.min.x < b.max.x && b.min.x < a.max.x && a.min.y < b.max.y && b.min.y < a.max.y &&
           a.min.z < b.max.z && b.min.z < a.max.z;
}
inline void SphereAabb(const CGeColliderSphere& sphere, CGeColliderAabb& out)
{
    const Vec3& c = sphere.centre;
    const float r = sphere.radius;
    out.min = Vec3{c.x - r, c.y - r, c.z - r};
    out.max = Vec3{c.x + r, c.y + r, c.z + r};
}
// Grows a box by a point (strict comparisons).
void AabbAddPoint(const Vec3& point, CGeColliderAabb& box);
// Bounds of a local box under a rotation (columns), before any translation.
void ComputeOrientedBoxAabb(const Vec3& localMin, const Vec3& localMax, const Vec3 rotation[3],
                            CGeColliderAabb& out);
