// The physics world's shapes: a geom is one obstacle (or a cloth) placed by a
// local pose relative to its body and a world pose that the body writes.
//
// Rotations are kept as three rows: row i is the shape's i-th axis expressed in
// the parent frame (local rotation) or in the world (world rotation). A point
// goes into the shape's frame as local_i = row_i . (p - world position) and
// back as p = sum_i local_i * row_i + world position.
//
// Bounding boxes are in the owning body's frame: ComputeAABB works from the
// local position and rotation only, and a body pose leaves them alone. For the
// static environment (posed at the identity) that is the world box; the cloth's
// axis-box response reads the box's extent around the local position and
// centres it on the world position.
#pragma once

#include "Engine/Core/Common/GeMath.h"

#include <cstdint>

class CGeCollisionSpace;

enum GeGeomType : uint32_t {
    GEOM_PLANE = 0,
    GEOM_AABB = 1,
    GEOM_SPHERE = 2,
    GEOM_BOX = 3,
    GEOM_CYLINDER = 4,
    GEOM_CAPSULE = 5,
    GEOM_CLOTH = 6,
    GEOM_NONE = 8, // the base before a kind sets its own
};

class CGeCollisionGeom {
public:
    CGeCollisionGeom();
    // Leaves the space that holds the geom, if any.
    virtual ~CGeCollisionGeom();

    CGeCollisionGeom(const CGeCollisionGeom&) = delete;
    CGeCollisionGeom& operator=(const CGeCollisionGeom&) = delete;

    // Writes the bounding box from the local pose; kinds without a box keep
    // whatever the bounds held.
    virtual void ComputeAABB();

    // world rotation := local rotation turned by the body's rotation rows.
    void UpdateWorldRotation(const Vec3 bodyRotation[3]);
    // Local pose from a matrix (rotation in the 3x3 block, translation in
    // column 3): the rows become the matrix's columns; then the bounds.
    void SetRotation(const Matrix4& m);

    Vec3 localPosition{0.0f, 0.0f, 0.0f};
    Vec3 localRotation[3];
    Vec3 worldPosition{0.0f, 0.0f, 0.0f};
    Vec3 worldRotation[3];
    uint32_t type = GEOM_NONE;
    uint8_t axisAligned = 0; // 1 for the plane and the axis box
    void* user = nullptr;
    Vec3 aabbMin{0.0f, 0.0f, 0.0f};
    Vec3 aabbMax{0.0f, 0.0f, 0.0f};
    CGeCollisionSpace* space = nullptr;
    CGeCollisionGeom* next = nullptr;
    CGeCollisionGeom* prev = nullptr;
};

// Origin at the world position; the normal is the first world rotation row.
class CGeCollisionGeomPlane : public CGeCollisionGeom {
public:
    CGeCollisionGeomPlane();
    void ComputeAABB() override; // unbounded
};

// An axis-aligned box; its constructor resets the rotation to the identity.
class CGeCollisionGeomAabb : public CGeCollisionGeom {
public:
    CGeCollisionGeomAabb();
    void ComputeAABB() override;

    Vec3 size{0.0f, 0.0f, 0.0f}; // full edge lengths
};

class CGeCollisionGeomSphere : public CGeCollisionGeom {
public:
    CGeCollisionGeomSphere();
    void ComputeAABB() override;

    float radius = 0.0f;
};

class CGeCollisionGeomBox : public CGeCollisionGeom {
public:
    CGeCollisionGeomBox();
    void ComputeAABB() override;

    Vec3 size{0.0f, 0.0f, 0.0f}; // full edge lengths along the box's own axes
};

// Cylinder and capsule share their data: a length along the local x axis (for
// the capsule, the length of its central segment) and a radius. Neither has a
// bounding box.
class CGeCollisionGeomCylinder : public CGeCollisionGeom {
public:
    CGeCollisionGeomCylinder();

    float length = 0.0f;
    float radius = 0.0f;
};

class CGeCollisionGeomCapsule : public CGeCollisionGeomCylinder {
public:
    CGeCollisionGeomCapsule();
};
